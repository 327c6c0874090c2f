#include "MainWiring.h"

#include "AppContext.h"
#include "Form1.h"
#include "admin/AdministrationCommands.h"
#include "backup/BackupCommands.h"
#include "evaluation/EntryWindow.h"
#include "evaluation/ResultStore.h"
#include "reports/ReportWiring.h"
#include "transfers/PupilTransferCommands.h"

#include <QLabel>
#include <QListWidget>

#include <memory>

void ConnectMainWindow(Form1 &form, AppContext &context)
{
    auto store = std::make_shared<ResultStore>(context.connection, context.state);
    Form1::Routes &routes = form.routes();

    // Schools, classes and pupils: the record dialogs and the list toolbars' commands.
    ConnectAdministration(form, context);
    // Backup, restore, the year change and last year's pupils.
    ConnectBackupAndTransfers(form, context);
    // A pupil's export and import, text lists, and the zip reader.
    ConnectPupilTransfers(form, context);
    // "Synthèse" opens the class synthesis viewer.
    ConnectReports(form, context);

    // "Saisie", its trimester menu and a pupil's double-click open the entry
    // window of the class's level on the chosen tab, modal.
    routes.openEntryWindow = [&form, &context](int level, int tabIndex) {
        if (level >= 1 && level <= 3)
            OpenEntryWindow(context, form, level, tabIndex);
    };

    // The pupil panel shows the selected pupil's domain profiles.
    routes.computePupilProfile = [&form, store](int level) {
        const QListWidgetItem *pupil = form.pupilList()->currentItem();
        if (!pupil)
            return;
        const QStringList texts = store->ComputePupilProfile(level, pupil->text());
        for (int i = 0; i < texts.size() && i < 4; ++i)
            form.Label6(i)->setText(texts.at(i));
    };
    // The class panel shows the selected class's domain profiles.
    routes.computeClassProfile = [&form, store] {
        if (!form.classList()->currentItem())
            return;
        const QStringList texts = store->ComputeClassProfile(form.selectedLevelCode());
        for (int i = 0; i < texts.size() && i < 4; ++i)
            form.Label6(10 + i)->setText(texts.at(i));
    };
}
