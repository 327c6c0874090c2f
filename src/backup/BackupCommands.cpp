#include "BackupCommands.h"

#include "common/MainScreen.h"
#include "data/AppContext.h"

namespace {

const QString Abandon = QStringLiteral("Abandon");
const QString DestinationTitle = QStringLiteral("Choisir le répertoire de destination");
const QString BackupGivenUp = QStringLiteral("La procédure de sauvegarde a été abandonnée !");
const QString BackupFailed = QStringLiteral("La sauvegarde de la base de données à échouée !");
const QString RestoreGivenUp = QStringLiteral("La procédure de restauration a été abandonnée !");

std::optional<ChooserChoice> askFolder(AppContext &context, bool folderMode)
{
    return context.dialogs.chooseFolder({folderMode, QStringLiteral("*.mdb"), DestinationTitle});
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

} // namespace

void RunBackup(AppContext &context, MainScreen &screen, const BackupFiles::Faults &faults)
{
    const std::optional<ChooserChoice> choice = askFolder(context, true);
    if (!choice) {
        context.dialogs.message(Abandon, BackupGivenUp);
        return;
    }
    const SelectionKeys selected = context.session.keys();
    QString reason;
    bool copied;
    {
        BusyGuard busy(context.dialogs);
        context.connection.CloseDatabase();
        copied = BackupFiles::CopyOut(context.state.DataFolder, choice->folder, &reason, faults);
    }
    if (!copied) {
        reopen(context, screen, selected);
        context.dialogs.message(QStringLiteral("ATTENTION"), BackupFailed + QStringLiteral("\n\n") + reason,
                                Dialogs::Icon::Warning);
        return;
    }
    screen.restart();
    context.dialogs.message(QStringLiteral("Succès"), QStringLiteral("Sauvegarde réussie !"));
}

void RunRestore(AppContext &context, MainScreen &screen, const BackupFiles::Faults &faults)
{
    const std::optional<ChooserChoice> choice = askFolder(context, false);
    if (!choice) {
        context.dialogs.message(Abandon, RestoreGivenUp);
        return;
    }
    const SelectionKeys selected = context.session.keys();
    QString reason;
    bool copied;
    {
        BusyGuard busy(context.dialogs);
        context.connection.CloseDatabase();
        copied = BackupFiles::CopyIn(context.state.DataFolder, choice->folder, &reason, faults);
    }
    if (!copied) {
        reopen(context, screen, selected);
        context.dialogs.message(Abandon, RestoreGivenUp + QStringLiteral("\n\n") + reason, Dialogs::Icon::Warning);
        return;
    }
    screen.restart();
    if (context.connection.isOpen())
        context.dialogs.message(QStringLiteral("Succès"), QStringLiteral("Restauration réussie !"));
}
