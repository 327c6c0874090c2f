#include "DataFolderCommand.h"

#include "FolderPaths.h"

#include "common/MainScreen.h"
#include "data/AppContext.h"
#include "data/DataFiles.h"
#include "data/DataFolderChoice.h"
#include "data/StartupSequence.h"

void RunChangeDataFolder(AppContext &context, MainScreen &screen)
{
    const std::optional<ChooserChoice> choice = context.dialogs.chooseFolder(
        {true, DataFiles::Database, QStringLiteral("Choisir le dossier de données"), QStringLiteral("donnees")});
    if (!choice || FolderPaths::IsDataFolder(choice->folder, context.connection.DataFolder()))
        return; // the chooser refuses the folder open; nothing to change
    const QString previous = context.connection.DataFolder();
    const SelectionKeys selected = context.session.keys();
    context.connection.CloseDatabase();
    if (TakeDataFolder(context.connection, context.lock, choice->folder, context.dialogs, context.clock.now())) {
        if (screen.restart()) {
            DataFolderChoice::RememberLastUsed(context.connection.DataFolder());
            return;
        }
        // The new folder's database was refused (the start-up said why): back to the previous one.
        context.connection.CloseDatabase();
        if (TakeDataFolder(context.connection, context.lock, previous, context.dialogs, context.clock.now()))
            screen.restart();
        return;
    }
    // Nothing changed: the previous database opens again on the same selection.
    if (!context.connection.OpenDatabase()) {
        screen.restart();
        return;
    }
    if (selected.schoolNo == 0)
        screen.updateToolbars();
    else
        screen.showSelection(selected);
}
