#include "BackupCommands.h"

#include "FolderPaths.h"
#include "ScheduledBackup.h"

#include "common/MainScreen.h"
#include "data/AppContext.h"
#include "data/DataFiles.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace {

const QString Abandon = QStringLiteral("Abandon");
const QString DestinationTitle = QStringLiteral("Choisir le répertoire de destination");
const QString RestoreTitle = QStringLiteral("Choisir la sauvegarde à restaurer");
const QString BackupGivenUp = QStringLiteral("La procédure de sauvegarde a été abandonnée !");
const QString BackupFailed = QStringLiteral("La sauvegarde de la base de données à échouée !");
const QString RestoreGivenUp = QStringLiteral("La procédure de restauration a été abandonnée !");

std::optional<ChooserChoice> askFolder(AppContext &context, bool folderMode)
{
    // Backup and restore remember one folder: a backup is restored from where it was written.
    // The restore lists the newest first: the scheduled dated copies, and "donnees.mdb" by its date.
    return context.dialogs.chooseFolder({folderMode, QStringLiteral("*.mdb"),
                                         folderMode ? DestinationTitle : RestoreTitle, QStringLiteral("sauvegarde"),
                                         !folderMode});
}

// The file a restore brings back: the dated copy selected, else the
// folder's "donnees.mdb" whatever file was selected.
QString restoredFile(const ChooserChoice &choice)
{
    if (ScheduledBackup::DateOfName(choice.file).isValid())
        return FolderPaths::FileIn(choice.folder, choice.file);
    return DataFiles::LiveDatabase(choice.folder);
}

// A restore replaces everything typed since the backup: asked first, naming
// the backup's date and time ("Non" unless chosen).
bool confirmRestore(AppContext &context, const QString &backup)
{
    if (backup.isEmpty() || !QFileInfo(backup).isFile())
        return true; // nothing to replace with: the copy says why
    // A dated copy was made at the instant its name gives, whatever its file's time says.
    const QDateTime dated = ScheduledBackup::DateOfName(QFileInfo(backup).fileName());
    const QDateTime written = dated.isValid() ? dated : QFileInfo(backup).lastModified();
    const QLocale french(QLocale::French);
    return context.dialogs.question(
        QStringLiteral("Confirmer"),
        QStringLiteral("Vous allez remplacer les données actuelles par la sauvegarde du %1 à %2.\n"
                       "Tout ce qui a été saisi depuis sera perdu.\nVoulez vous continuer ?")
            .arg(french.toString(written.date(), QStringLiteral("dd/MM/yyyy")),
                 french.toString(written.time(), QStringLiteral("HH:mm"))),
        true);
}

// The database was not changed: reopen it and select again what was selected.
void reopen(AppContext &context, MainScreen &screen, const SelectionKeys &selected)
{
    if (!context.connection.OpenDatabase()) {
        screen.restart();
        return;
    }
    if (selected.schoolNo == 0) {
        screen.updateToolbars();
        return;
    }
    screen.showSelection(selected);
}

// Closes the database, copies the file one way or the other, and reopens it:
// through the start-up sequence after a copy, as it was after a failure.
// Nothing when the user gives up choosing the folder.
std::optional<bool> copyWithDatabaseClosed(AppContext &context, MainScreen &screen, bool restoring,
                                           const BackupFiles::Faults &faults, QString *reason)
{
    const std::optional<ChooserChoice> choice = askFolder(context, !restoring);
    const QString restored = choice && restoring ? restoredFile(*choice) : QString();
    if (!choice || (restoring && !confirmRestore(context, restored)))
        return std::nullopt;
    const SelectionKeys selected = context.session.keys();
    bool copied;
    {
        BusyGuard busy(context.dialogs);
        context.connection.CloseDatabase();
        const QString &data = context.state.DataFolder;
        if (!restoring)
            copied = BackupFiles::CopyOut(data, choice->folder, reason, faults);
        else if (ScheduledBackup::DateOfName(choice->file).isValid())
            copied = BackupFiles::CopyInFile(data, restored, reason, faults);
        else
            copied = BackupFiles::CopyIn(data, choice->folder, reason, faults);
    }
    if (copied)
        screen.restart();
    else
        reopen(context, screen, selected);
    return copied;
}

} // namespace

void RunBackup(AppContext &context, MainScreen &screen, const BackupFiles::Faults &faults)
{
    QString reason;
    const std::optional<bool> copied = copyWithDatabaseClosed(context, screen, false, faults, &reason);
    if (!copied)
        context.dialogs.message(Abandon, BackupGivenUp);
    else if (!*copied)
        context.dialogs.message(QStringLiteral("ATTENTION"), BackupFailed + QStringLiteral("\n\n") + reason,
                                Dialogs::Icon::Warning);
    else
        context.dialogs.message(QStringLiteral("Succès"), QStringLiteral("Sauvegarde réussie !"));
}

void RunRestore(AppContext &context, MainScreen &screen, const BackupFiles::Faults &faults)
{
    QString reason;
    const std::optional<bool> copied = copyWithDatabaseClosed(context, screen, true, faults, &reason);
    if (!copied)
        context.dialogs.message(Abandon, RestoreGivenUp);
    else if (!*copied)
        context.dialogs.message(Abandon, RestoreGivenUp + QStringLiteral("\n\n") + reason, Dialogs::Icon::Warning);
    else if (context.connection.isOpen())
        context.dialogs.message(QStringLiteral("Succès"), QStringLiteral("Restauration réussie !"));
}
