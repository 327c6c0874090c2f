#include "ScheduledBackup.h"

#include "FolderPaths.h"
#include "data/DataFiles.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace ScheduledBackup {

namespace {

const QRegularExpression DatedPattern(QStringLiteral("^donnees-(\\d{8}-\\d{6})\\.mdb$"));
// The copy being written: hidden, and never mistaken for a dated copy.
const QRegularExpression TemporaryPattern(QStringLiteral("^\\.donnees-\\d{8}-\\d{6}\\.mdb\\.tmp(-journal)?$"));
const QString Usage = QStringLiteral("Utilisation : velorin-sauvegarde DOSSIER DESTINATION [--garder N]");

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

Result refused(const QString &message)
{
    return {Status::Refused, message, {}};
}

Result failed(const QString &message)
{
    return {Status::Failed, QStringLiteral("Échec de la sauvegarde : %1").arg(message), {}};
}

void removeCopy(const QString &temp)
{
    QFile::remove(temp);
    QFile::remove(temp + QStringLiteral("-journal"));
}

bool writable(const QString &folder)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
#else
    return QFileInfo(folder).isWritable();
#endif
}

// Why SQLite failed, in French (never its own English text).
QString sqliteReason(int code)
{
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("disque plein");
    case SQLITE_IOERR:
        return (code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC)
                   ? QStringLiteral("écriture impossible : disque plein ou fichier trop grand")
                   : QStringLiteral("erreur de lecture ou d'écriture");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("base de données occupée trop longtemps");
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        return QStringLiteral("fichier impossible à ouvrir");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("base de données endommagée");
    default:
        return QStringLiteral("erreur SQLite %1").arg(code);
    }
}

// Copies the database through SQLite's backup interface: the copy is the
// database as last committed, whatever another connection is writing.
bool backUp(const QString &live, const QString &temp, QString *error)
{
    SqliteSupport::RawDatabase source;
    SqliteSupport::RawDatabase target;
    if (!source.open(live, false)) {
        *error = QStringLiteral("lecture de « %1 » impossible (%2)").arg(shown(live), sqliteReason(source.errorCode()));
        return false;
    }
    if (!target.open(temp, true)) {
        *error =
            QStringLiteral("création de « %1 » impossible (%2)").arg(shown(temp), sqliteReason(target.errorCode()));
        return false;
    }
    sqlite3_backup *backup = sqlite3_backup_init(target.handle(), "main", source.handle(), "main");
    if (!backup) {
        *error = QStringLiteral("copie impossible (%1)").arg(sqliteReason(sqlite3_extended_errcode(target.handle())));
        return false;
    }
    // A commit of the program holds the file for a moment: wait for it (the
    // busy handler waits too), up to half a minute in all.
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 15; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(200);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        // The target's own code says more (a write that failed) than the step's.
        const int code = sqlite3_extended_errcode(target.handle());
        *error = QStringLiteral("copie de « %1 » vers « %2 » impossible (%3)")
                     .arg(shown(live), shown(temp), sqliteReason(code != SQLITE_OK ? code : rc));
        return false;
    }
    return true;
}

// Why the copy is not a sound database of this version; empty when it is.
QString checkCopy(const QString &copy)
{
    const Schema::FileCheck check = Schema::CheckDatabaseFile(copy, true); // quick_check included
    if (!check.sound())
        return QStringLiteral("la copie ne passe pas la vérification de la base de données");
    SqliteSupport::RawDatabase db;
    qint64 version = 0;
    if (!db.open(copy, false, true) || !db.queryInt(QStringLiteral("PRAGMA user_version"), &version))
        return QStringLiteral("la copie est illisible");
    if (version != Schema::Version)
        return QStringLiteral("la copie est de la version %1 au lieu de %2").arg(version).arg(Schema::Version);
    return {};
}

} // namespace

QString DatedName(const QDateTime &when)
{
    return QStringLiteral("donnees-%1.mdb").arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QDateTime DateOfName(const QString &name)
{
    const QRegularExpressionMatch match = DatedPattern.match(name);
    if (!match.hasMatch())
        return {};
    return QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
}

QStringList DatedCopies(const QString &folder)
{
    QStringList copies;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::Reversed))
        if (DateOfName(name).isValid() && QFileInfo(dir.filePath(name)).isFile() &&
            !QFileInfo(dir.filePath(name)).isSymLink())
            copies << name; // the names sort as their dates do
    return copies;
}

Result Run(const Request &request)
{
    const QString dataFolder = FolderPaths::WithoutTrailingSeparator(QDir::fromNativeSeparators(request.dataFolder));
    const QString destination = FolderPaths::WithoutTrailingSeparator(QDir::fromNativeSeparators(request.destination));
    if (request.keep < 1 || request.keep > MaxKept)
        return refused(QStringLiteral("Le nombre de copies à garder doit être compris entre 1 et %1.").arg(MaxKept));
    if (!QFileInfo(dataFolder).isDir())
        return refused(QStringLiteral("Le dossier de données « %1 » est introuvable.").arg(shown(dataFolder)));
    const QString live = DataFiles::LiveDatabase(dataFolder);
    if (live.isEmpty())
        return refused(QStringLiteral("Le dossier « %1 » ne contient pas de base de données « %2 ».")
                           .arg(shown(dataFolder), DataFiles::Database));
    if (const QString problem = DataFiles::RegularFileProblem(live); !problem.isEmpty())
        return refused(problem);

    const QFileInfo target(destination);
    if (target.exists() && !target.isDir())
        return refused(QStringLiteral("La destination « %1 » n'est pas un dossier.").arg(shown(destination)));
    if (FolderPaths::IsDataFolder(destination, dataFolder))
        return refused(QStringLiteral("La destination doit être un autre dossier que le dossier de données « %1 ».")
                           .arg(shown(dataFolder)));
    if (!target.exists()) {
        // One missing level is made (the default "Sauvegardes" of the data
        // folder); a longer missing path is more likely a mistyped one.
        if (!QFileInfo(target.absolutePath()).isDir() || !QDir().mkdir(destination))
            return refused(QStringLiteral("Le dossier de destination « %1 » est introuvable.").arg(shown(destination)));
    }
    if (!writable(destination))
        return refused(
            QStringLiteral("Impossible d'écrire dans le dossier de destination « %1 ».").arg(shown(destination)));

    {
        SqliteSupport::RawDatabase db;
        qint64 version = 0;
        if (!db.open(live, false, true) || !db.queryInt(QStringLiteral("PRAGMA user_version"), &version))
            return failed(QStringLiteral("la base de données « %1 » est illisible (%2).")
                              .arg(shown(live), sqliteReason(db.errorCode())));
        if (version != Schema::Version)
            return refused(QStringLiteral("La base de données « %1 » est de la version %2 ; ce programme sauvegarde la "
                                          "version %3. Ouvrez-la d'abord avec Rozodivo Velorin.")
                               .arg(shown(live))
                               .arg(version)
                               .arg(Schema::Version));
    }

    // What a run that was killed left behind.
    const QDir dir(destination);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (TemporaryPattern.match(name).hasMatch())
            QFile::remove(dir.filePath(name));

    const QString name = DatedName(request.now);
    const QString copy = dir.filePath(name);
    const QString temp = dir.filePath(QLatin1Char('.') + name + QStringLiteral(".tmp"));
    QString error;
    if (!backUp(live, temp, &error)) {
        removeCopy(temp);
        return failed(error + QLatin1Char('.'));
    }
    if (!DataFiles::SyncPath(temp)) {
        removeCopy(temp);
        return failed(QStringLiteral("écriture de « %1 » sur le disque impossible.").arg(shown(temp)));
    }
    if (const QString why = checkCopy(temp); !why.isEmpty()) {
        removeCopy(temp);
        return failed(why + QLatin1Char('.'));
    }
    if (!DataFiles::RenameReplacing(temp, copy, &error)) {
        removeCopy(temp);
        return failed(error);
    }
    QFile::remove(temp + QStringLiteral("-journal"));

    // Only once the new copy is in place do the oldest go.
    const QStringList copies = DatedCopies(destination);
    int removed = 0;
    for (int i = request.keep; i < copies.size(); ++i)
        if (QFile::remove(dir.filePath(copies.at(i))))
            ++removed;
    const int kept = int(DatedCopies(destination).size());
    return {Status::Done,
            QStringLiteral("Sauvegarde réussie : « %1 » (%2 copie(s) datée(s) gardée(s), %3 supprimée(s)).")
                .arg(shown(copy))
                .arg(kept)
                .arg(removed),
            copy};
}

Result RunCommandLine(const QStringList &arguments, const QDateTime &now)
{
    Request request;
    request.now = now;
    QStringList folders;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--garder")) {
            bool ok = false;
            request.keep = i + 1 < arguments.size() ? arguments.at(i + 1).toInt(&ok) : 0;
            if (!ok || request.keep < 1 || request.keep > MaxKept)
                return refused(
                    QStringLiteral("--garder attend un nombre de copies entre 1 et %1.\n%2").arg(MaxKept).arg(Usage));
            ++i;
        } else if (argument.startsWith(QLatin1Char('-'))) {
            return refused(QStringLiteral("Option inconnue « %1 ».\n%2").arg(argument, Usage));
        } else {
            folders << argument;
        }
    }
    if (folders.size() != 2 || folders.at(0).isEmpty() || folders.at(1).isEmpty())
        return refused(Usage);
    request.dataFolder = QDir::current().absoluteFilePath(folders.at(0));
    request.destination = QDir::current().absoluteFilePath(folders.at(1));
    return Run(request);
}

} // namespace ScheduledBackup
