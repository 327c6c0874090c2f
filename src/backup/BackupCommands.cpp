#include "BackupCommands.h"

#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "transfers/LastYearWindow.h"
#include "transfers/YearChangeWindow.h"

#include <QListWidget>

namespace {

const QString Abandon = QStringLiteral("Abandon");
const QString DestinationTitle = QStringLiteral("Choisir le répertoire de destination");
const QString BackupGivenUp = QStringLiteral("La procédure de sauvegarde a été abandonnée !");
const QString BackupFailed = QStringLiteral("La sauvegarde de la base de données à échouée !");
const QString RestoreGivenUp = QStringLiteral("La procédure de restauration a été abandonnée !");

void askFolder(AppContext &context, bool folderMode)
{
    AppState &state = context.state;
    state.ChooserFolderMode = folderMode;
    state.ChooserPattern = QStringLiteral("*.mdb");
    state.ChooserTitle = DestinationTitle;
    context.dialogs.showChooser(state);
}

// The start-up sequence again: compaction, reopening, school list.
void restart(Form1 &form, AppContext &context)
{
    context.state.ActivatedOnce = false;
    form.Form_Activate();
}

// The database was not changed: reopen it and select again what was selected.
void reopen(Form1 &form, AppContext &context)
{
    const int school = form.schoolList()->currentRow();
    const int klass = form.classList()->currentRow();
    const int pupil = form.pupilList()->currentRow();
    if (!context.connection.OpenDatabase()) {
        restart(form, context);
        return;
    }
    if (school < 0) {
        form.UpdateToolbars();
        return;
    }
    form.List3_Click();
    if (klass >= 0 && klass < form.classList()->count())
        form.classList()->setCurrentRow(klass);
    if (pupil >= 0 && pupil < form.pupilList()->count())
        form.pupilList()->setCurrentRow(pupil);
}

} // namespace

void RunBackup(Form1 &form, AppContext &context, const BackupFiles::Faults &faults)
{
    askFolder(context, true);
    if (context.state.ChosenFolder.isEmpty()) {
        context.dialogs.message(Abandon, BackupGivenUp);
        return;
    }
    QString reason;
    bool copied;
    {
        BusyGuard busy(context.dialogs);
        context.connection.CloseDatabase();
        copied = BackupFiles::CopyOut(context.state.DataFolder, context.state.ChosenFolder, &reason, faults);
    }
    if (!copied) {
        reopen(form, context);
        context.dialogs.message(QStringLiteral("ATTENTION"), BackupFailed + QStringLiteral("\n\n") + reason,
                                Dialogs::Icon::Warning);
        return;
    }
    restart(form, context);
    context.dialogs.message(QStringLiteral("Succès"), QStringLiteral("Sauvegarde réussie !"));
}

void RunRestore(Form1 &form, AppContext &context, const BackupFiles::Faults &faults)
{
    askFolder(context, false);
    if (context.state.ChosenFolder.isEmpty()) {
        context.dialogs.message(Abandon, RestoreGivenUp);
        return;
    }
    QString reason;
    bool copied;
    {
        BusyGuard busy(context.dialogs);
        context.connection.CloseDatabase();
        copied = BackupFiles::CopyIn(context.state.DataFolder, context.state.ChosenFolder, &reason, faults);
    }
    if (!copied) {
        reopen(form, context);
        context.dialogs.message(Abandon, RestoreGivenUp + QStringLiteral("\n\n") + reason, Dialogs::Icon::Warning);
        return;
    }
    restart(form, context);
    if (context.connection.isOpen())
        context.dialogs.message(QStringLiteral("Succès"), QStringLiteral("Restauration réussie !"));
}

void ConnectBackupAndTransfers(Form1 &form, AppContext &context)
{
    Form1::Routes &routes = form.routes();
    routes.backup = [&form, &context] { RunBackup(form, context); };
    routes.restore = [&form, &context] { RunRestore(form, context); };
    routes.yearChange = [&form, &context] { OpenYearChangeWindow(context, form); };
    routes.listCommands.insert(QStringLiteral("Toolbar4/ImpListe"), [&form, &context] {
        const int klass = form.classList()->currentRow();
        if (klass < 0)
            return;
        OpenLastYearWindow(context, form);
        form.UpdateToolbars();
        form.List3_Click();
        // Back on the class just filled, rather than the school's first class.
        if (klass < form.classList()->count())
            form.classList()->setCurrentRow(klass);
    });
}
