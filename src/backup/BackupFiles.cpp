#include "BackupFiles.h"

#include "FolderPaths.h"
#include "data/DataFiles.h"
#include "data/Migration.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace BackupFiles {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool stepDone(const Faults &faults, const char *step, QString *reason)
{
    if (!faults.afterStep || faults.afterStep(step))
        return true;
    *reason = QStringLiteral("Opération interrompue après l'étape « %1 ».").arg(QLatin1String(step));
    return false;
}

// Copies `from` into the new file `temp`, then flushes it to the disk. A
// failed copy removes what it wrote.
bool copyFile(const QString &from, const QString &temp, const Faults &faults, QString *reason)
{
    QFile in(from);
    QFile out(temp);
    auto failed = [&](const QString &why) {
        out.close();
        QFile::remove(temp);
        *reason = why;
        return false;
    };
    if (!in.open(QIODevice::ReadOnly))
        return failed(
            QStringLiteral("Impossible de lire le fichier « %1 » : %2").arg(shown(from), DataFiles::FrenchReason(in)));
    if (faults.unwritableFolder || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString why =
            faults.unwritableFolder ? DataFiles::FrenchReasonOfErrno(EACCES) : DataFiles::FrenchReason(out);
        return failed(QStringLiteral("Impossible d'écrire dans le dossier « %1 » : %2")
                          .arg(shown(QFileInfo(temp).absolutePath()), why));
    }
    const QString writeFailed = QStringLiteral("L'écriture du fichier « %1 » a échoué : %2");
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    qint64 written = 0;
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            return failed(QStringLiteral("La lecture du fichier « %1 » a échoué : %2")
                              .arg(shown(from), DataFiles::FrenchReason(in)));
        if (n == 0)
            break;
        if (faults.writeLimit >= 0 && written + n > faults.writeLimit) {
            out.write(buffer.constData(), faults.writeLimit - written);
            out.flush();
            return failed(writeFailed.arg(shown(temp), DataFiles::FrenchReasonOfErrno(ENOSPC)));
        }
        if (out.write(buffer.constData(), n) != n)
            return failed(writeFailed.arg(shown(temp), DataFiles::FrenchReason(out)));
        written += n;
    }
    if (!out.flush())
        return failed(writeFailed.arg(shown(temp), DataFiles::FrenchReason(out)));
    out.close();
    if (!DataFiles::SyncPath(temp))
        return failed(writeFailed.arg(shown(temp), DataFiles::FrenchReasonOfErrno(EIO)));
    return true;
}

// Why a copy cannot serve as the program's database; empty when it can.
// A file of an older stamped version is brought up to date (the copy, not
// the original). Version 1 is the first the program stamped, so an
// unstamped file is not one it knows how to convert.
QString unusable(const QString &copy, const QString &original)
{
    const Schema::FileCheck check = Schema::CheckDatabaseFile(copy, true);
    const QString file = shown(original);
    switch (check.state) {
    case Schema::FileState::Sound:
        break;
    case Schema::FileState::Missing:
        return QStringLiteral("Le fichier « %1 » est introuvable.").arg(file);
    case Schema::FileState::NotDatabase:
        return QStringLiteral("Le fichier « %1 » n'est pas une base de données.").arg(file);
    case Schema::FileState::WrongSchema:
        return QStringLiteral("Le fichier « %1 » n'est pas une base de données de Rozodivo Velorin.").arg(file);
    case Schema::FileState::NewerVersion:
        return QStringLiteral("Le fichier « %1 » a été créé par une version plus récente du programme.").arg(file);
    case Schema::FileState::Damaged:
        return QStringLiteral("Le fichier « %1 » est endommagé.").arg(file);
    case Schema::FileState::Altered:
        return QStringLiteral("Le fichier « %1 » a été modifié hors du programme (%2) : il est refusé.")
            .arg(file, check.detail);
    }
    SqliteSupport::RawDatabase db;
    qint64 version = 0;
    if (!db.open(copy, false, true) || !db.queryInt(QStringLiteral("PRAGMA user_version"), &version))
        return QStringLiteral("Le fichier « %1 » est illisible.").arg(file);
    db.close();
    // An older copy is brought up to date here, so that the live file is only
    // ever replaced by a file the program can open.
    if (version < 1 || (version < Schema::Version && !Migration::MigrateFile(copy, nullptr)))
        return QStringLiteral("Le fichier « %1 » a été créé par une version ancienne du programme "
                              "et ne peut pas être converti.")
            .arg(file);
    return {};
}

// Whether two paths name the same file (on a file system that ignores
// letter case, "DONNEES.MDB" and "donnees.mdb" are one file).
bool sameFile(const QString &a, const QString &b)
{
#ifdef Q_OS_UNIX
    struct stat sa, sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#else
    return a.compare(b, Qt::CaseInsensitive) == 0;
#endif
}

// The files in which SQLite keeps, beside a database, what a write in
// progress changes (the shared index is rebuilt from them, never copied).
const QStringList Companions = {QStringLiteral("-journal"), QStringLiteral("-wal")};

void removeWithCompanions(const QString &path)
{
    for (const QString &suffix :
         {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
}

bool refuseDataFolder(const QString &folder, const QString &dataFolder, QString *reason)
{
    if (!FolderPaths::IsDataFolder(folder, dataFolder))
        return false;
    *reason = QStringLiteral("Choisissez un répertoire différent de celui de la base de données actuelle");
    return true;
}

} // namespace

QString TemporaryName()
{
    return DataFiles::Database + QStringLiteral(".tmp");
}

bool CopyOut(const QString &dataFolder, const QString &folder, QString *reasonOut, const Faults &faults)
{
    QString ignored;
    QString *reason = reasonOut ? reasonOut : &ignored;
    if (refuseDataFolder(folder, dataFolder, reason))
        return false;
    if (!QFileInfo(folder).isDir()) {
        *reason = QStringLiteral("Le dossier « %1 » est introuvable.").arg(shown(folder));
        return false;
    }
    const QString live = DataFiles::LiveDatabase(dataFolder);
    if (live.isEmpty()) {
        *reason = QStringLiteral("La base de données « %1 » est introuvable dans le dossier « %2 ».")
                      .arg(DataFiles::Database, shown(dataFolder));
        return false;
    }
    const QString target = FolderPaths::FileIn(folder, DataFiles::Database);
    const QString temp = FolderPaths::FileIn(folder, TemporaryName());
    QFile::remove(temp);
    if (!copyFile(live, temp, faults, reason) || !stepDone(faults, "copied", reason))
        return false;
    // A damaged live file must not replace a good earlier backup.
    const QString why = unusable(temp, live);
    if (!why.isEmpty()) {
        QFile::remove(temp);
        *reason = why;
        return false;
    }
    if (!stepDone(faults, "checked", reason))
        return false;
    QString error;
    if (!DataFiles::RenameReplacing(temp, target, &error)) {
        QFile::remove(temp);
        *reason = QStringLiteral("Impossible de remplacer la sauvegarde précédente : %1").arg(error);
        return false;
    }
    if (!stepDone(faults, "renamed", reason))
        return false;
    // The folder keeps one backup: an earlier one named in other letter case goes.
    const QDir dir(FolderPaths::WithoutTrailingSeparator(folder));
    for (const QString &name : dir.entryList({DataFiles::Database}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = dir.filePath(name);
        if (name != DataFiles::Database && !sameFile(path, target))
            QFile::remove(path);
    }
    DataFiles::SyncPath(dir.path());
    return stepDone(faults, "variants-removed", reason);
}

bool CopyIn(const QString &dataFolder, const QString &folder, QString *reasonOut, const Faults &faults)
{
    QString ignored;
    QString *reason = reasonOut ? reasonOut : &ignored;
    if (refuseDataFolder(folder, dataFolder, reason))
        return false;
    const QString source = DataFiles::Resolve(FolderPaths::WithoutTrailingSeparator(folder), DataFiles::Database);
    if (source.isEmpty()) {
        *reason = QStringLiteral("Le dossier « %1 » ne contient pas de fichier « %2 ».")
                      .arg(shown(FolderPaths::WithoutTrailingSeparator(folder)), DataFiles::Database);
        return false;
    }
    return CopyInFile(dataFolder, source, reason, faults);
}

bool CopyInFile(const QString &dataFolder, const QString &source, QString *reasonOut, const Faults &faults)
{
    QString ignored;
    QString *reason = reasonOut ? reasonOut : &ignored;
    if (refuseDataFolder(QFileInfo(source).absolutePath(), dataFolder, reason))
        return false;
    if (const QString problem = DataFiles::RegularFileProblem(source); !problem.isEmpty()) {
        *reason = problem;
        return false;
    }
    QString live = DataFiles::LiveDatabase(dataFolder);
    if (live.isEmpty())
        live = QDir(dataFolder).filePath(DataFiles::Database);
    const QString temp = QDir(dataFolder).filePath(TemporaryName());
    removeWithCompanions(temp);
    // The copy takes the backup's journal along (a copy of a file caught
    // mid-write): SQLite then reads the copy as it was last committed, rolling
    // back what was never committed, and the backup itself is left untouched.
    bool copied = copyFile(source, temp, faults, reason);
    for (const QString &suffix : Companions) {
        const QString companion =
            DataFiles::Resolve(QFileInfo(source).absolutePath(), QFileInfo(source).fileName() + suffix);
        if (copied && !companion.isEmpty() && DataFiles::RegularFileProblem(companion).isEmpty())
            copied = copyFile(companion, temp + suffix, faults, reason);
    }
    if (!copied || !stepDone(faults, "copied", reason)) {
        removeWithCompanions(temp);
        return false;
    }
    const QString why = unusable(temp, source);
    if (!why.isEmpty()) {
        removeWithCompanions(temp);
        *reason = why;
        return false;
    }
    if (!stepDone(faults, "checked", reason))
        return false;
    // The connection is closed: a journal still beside the live file is dead,
    // and must not be played back onto the restored file.
    QFile::remove(live + QStringLiteral("-journal"));
    QString error;
    if (!DataFiles::RenameReplacing(temp, live, &error)) {
        QFile::remove(temp);
        *reason = QStringLiteral("Impossible de remplacer la base de données : %1").arg(error);
        return false;
    }
    return stepDone(faults, "renamed", reason);
}

} // namespace BackupFiles
