#include "DatabaseStartup.h"

#include "Compaction.h"
#include "DataFiles.h"
#include "Schema.h"
#include "common/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

const QString Attention = QStringLiteral("ATTENTION");
const QString Confirmer = QStringLiteral("Confirmer");

QString describe(const Schema::FileCheck &check)
{
    switch (check.state) {
    case Schema::FileState::NotDatabase:
        return QStringLiteral("Ce fichier n'est pas une base de données.");
    case Schema::FileState::WrongSchema:
        return QStringLiteral(
            "Ce fichier n'est pas une base de données de Rozodivo Velorin : il lui manque des tables.");
    case Schema::FileState::NewerVersion:
        return QStringLiteral("Cette base de données a été créée par une version plus récente du programme.");
    case Schema::FileState::Damaged:
        return QStringLiteral("Cette base de données est endommagée.");
    case Schema::FileState::Missing:
        return QStringLiteral("Ce fichier est introuvable.");
    case Schema::FileState::Altered:
        return QStringLiteral("Cette base de données a été modifiée hors du programme (%1) : elle est refusée.")
            .arg(check.detail);
    case Schema::FileState::Sound:
        break;
    }
    return {};
}

QString stamp(const QDateTime &when)
{
    return QLocale(QLocale::French).toString(when, QStringLiteral("dd/MM/yyyy à HH:mm"));
}

// A free name beside `path` for a file set aside: donnees-endommage-AAAAMMJJ-HHMMSS.mdb.
QString asideName(const QString &folder, const QDateTime &now)
{
    const QDir dir(folder);
    const QString base = QStringLiteral("donnees-endommage-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = base + QStringLiteral(".mdb");
    for (int n = 2; !DataFiles::Resolve(folder, candidate).isEmpty(); ++n)
        candidate = base + QStringLiteral("-%1.mdb").arg(n);
    return dir.filePath(candidate);
}

bool putPreviousInPlace(const QString &folder, const QString &bak, QString *error)
{
    return DataFiles::CopyReplacing(bak, QDir(folder).filePath(DataFiles::Database), error);
}

// The transfer template is made when missing, once the database is known sound.
void ensureExportTemplate(const QString &dataFolder, Dialogs &dialogs)
{
    if (DataFiles::Resolve(dataFolder, DataFiles::ExportTemplate).isEmpty()) {
        QString error;
        if (!Schema::CreateExportTemplate(QDir(dataFolder).filePath(DataFiles::ExportTemplate), &error))
            dialogs.message(
                Attention, QStringLiteral("Impossible de créer le modèle de transfert « Export.vid » :\n%1").arg(error),
                Dialogs::Icon::Warning);
    }
}

} // namespace

bool OfferPreviousDatabase(const QString &dataFolder, const QString &damagedPath, const QString &reason,
                           Dialogs &dialogs, const QDateTime &now)
{
    const QString shown = QDir::toNativeSeparators(damagedPath);
    const QString bak = DataFiles::Resolve(dataFolder, DataFiles::PreviousDatabase);
    if (bak.isEmpty() || !Schema::CheckDatabaseFile(bak, true).sound()) {
        dialogs.message(Attention,
                        QStringLiteral("Impossible d'ouvrir la base de données « %1 ».\n%2\n\n"
                                       "Aucune copie de sécurité saine (donnees.BAK) n'est disponible dans ce dossier. "
                                       "Le programme s'arrête sans modifier aucun fichier.")
                            .arg(shown, reason),
                        Dialogs::Icon::Critical);
        return false;
    }
    const QString aside = asideName(dataFolder, now);
    const bool yes = dialogs.question(
        Confirmer, QStringLiteral("Impossible d'ouvrir la base de données « %1 ».\n%2\n\n"
                                  "La copie de sécurité « %3 » du %4 est saine. Voulez-vous la remettre en place ?\n"
                                  "Le fichier endommagé sera conservé sous le nom « %5 ».")
                       .arg(shown, reason, QFileInfo(bak).fileName(), stamp(QFileInfo(bak).lastModified()),
                            QFileInfo(aside).fileName()));
    if (!yes)
        return false;
    QString error;
    if (!DataFiles::RenameReplacing(damagedPath, aside, &error) || !putPreviousInPlace(dataFolder, bak, &error)) {
        dialogs.message(Attention,
                        QStringLiteral("La remise en place de la copie de sécurité a échoué :\n%1").arg(error),
                        Dialogs::Icon::Critical);
        return false;
    }
    return true;
}

bool AskForEmptyDatabase(const QString &dataFolder, Dialogs &dialogs)
{
    return dialogs.question(Confirmer, QStringLiteral("Le dossier « %1 » ne contient pas de base de données.\n"
                                                      "Voulez-vous créer une base de données vide dans ce dossier ?")
                                           .arg(QDir::toNativeSeparators(dataFolder)));
}

bool CreateEmptyDatabase(const QString &dataFolder, Dialogs &dialogs)
{
    QString error;
    if (Schema::CreateDatabase(QDir(dataFolder).filePath(DataFiles::Database), &error))
        return true;
    dialogs.message(Attention,
                    QStringLiteral("Impossible de créer la base de données dans le dossier « %1 » :\n%2")
                        .arg(QDir::toNativeSeparators(dataFolder), error),
                    Dialogs::Icon::Critical);
    return false;
}

bool PrepareDataFolder(const QString &dataFolder, Dialogs &dialogs, const QDateTime &now)
{
    const QString shownFolder = QDir::toNativeSeparators(dataFolder);
    CompleteInterruptedCompaction(dataFolder);
    // A copy interrupted before its rename (a restore, a recovery) leaves its
    // temporary file: the file it was to replace is still whole.
    if (const QString temp = DataFiles::Resolve(dataFolder, DataFiles::Database + QStringLiteral(".tmp"));
        !temp.isEmpty())
        for (const char *suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(temp + QLatin1String(suffix));

    QString live = DataFiles::LiveDatabase(dataFolder);
    if (live.isEmpty()) {
        const QString bak = DataFiles::Resolve(dataFolder, DataFiles::PreviousDatabase);
        if (!bak.isEmpty() && Schema::CheckDatabaseFile(bak, true).sound() &&
            dialogs.question(
                Confirmer,
                QStringLiteral("La base de données « donnees.mdb » est absente du dossier « %1 ».\n"
                               "La copie de sécurité « %2 » du %3 est saine. Voulez-vous la remettre en place ?")
                    .arg(shownFolder, QFileInfo(bak).fileName(), stamp(QFileInfo(bak).lastModified())))) {
            QString error;
            if (!putPreviousInPlace(dataFolder, bak, &error)) {
                dialogs.message(Attention,
                                QStringLiteral("La remise en place de la copie de sécurité a échoué :\n%1").arg(error),
                                Dialogs::Icon::Critical);
                return false;
            }
        }
    }
    live = DataFiles::LiveDatabase(dataFolder);
    if (live.isEmpty()) {
        if (!AskForEmptyDatabase(dataFolder, dialogs) || !CreateEmptyDatabase(dataFolder, dialogs))
            return false;
        live = DataFiles::LiveDatabase(dataFolder);
    }

    const Schema::FileCheck check = Schema::CheckDatabaseFile(live, false);
    if (check.sound()) {
        ensureExportTemplate(dataFolder, dialogs);
        return true;
    }
    if (check.state == Schema::FileState::NewerVersion) {
        dialogs.message(Attention,
                        QStringLiteral("Impossible d'ouvrir la base de données « %1 ».\n%2\n"
                                       "Le programme s'arrête sans modifier aucun fichier.")
                            .arg(QDir::toNativeSeparators(live), describe(check)),
                        Dialogs::Icon::Critical);
        return false;
    }
    if (!OfferPreviousDatabase(dataFolder, live, describe(check), dialogs, now) ||
        !Schema::CheckDatabaseFile(DataFiles::LiveDatabase(dataFolder), false).sound())
        return false;
    ensureExportTemplate(dataFolder, dialogs);
    return true;
}
