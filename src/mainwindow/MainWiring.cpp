#include "MainWiring.h"

#include "MainWindow.h"
#include "admin/AdministrationCommands.h"
#include "backup/BackupCommands.h"
#include "backup/DataFolderCommand.h"
#include "data/AppContext.h"
#include "evaluation/ClassGridWindow.h"
#include "evaluation/EntryWindow.h"
#include "reports/ReportPrinter.h"
#include "reports/SheetCommand.h"
#include "reports/SynthesisCommand.h"
#include "spreadsheets/SpreadsheetCommands.h"
#include "transfers/LastYearWindow.h"
#include "transfers/PupilTransferCommands.h"
#include "transfers/YearChangeWindow.h"

#include <memory>

void ConnectMainWindow(MainWindow &window, AppContext &context)
{
    MainScreen &screen = window;
    auto admin = std::make_shared<AdministrationCommands>(context, screen);

    // Schools, classes and pupils: the record dialogs, deletions and the
    // printed list; every list command ends with the toolbars' states.
    const std::pair<QString, RecordKind> lists[] = {
        {QStringLiteral("schoolToolbar"), RecordKind::School},
        {QStringLiteral("classToolbar"), RecordKind::Class},
        {QStringLiteral("pupilToolbar"), RecordKind::Pupil},
    };
    for (const auto &[toolbar, kind] : lists) {
        const RecordKind k = kind;
        auto command = [&window, admin, k](void (AdministrationCommands::*run)(RecordKind)) {
            return [&window, admin, k, run] {
                ((*admin).*run)(k);
                window.updateToolbars();
            };
        };
        window.setCommand(toolbar + QStringLiteral("/Ajouter"), command(&AdministrationCommands::add));
        window.setCommand(toolbar + QStringLiteral("/Modifier"), command(&AdministrationCommands::modify));
        window.setCommand(toolbar + QStringLiteral("/Supprimer"), command(&AdministrationCommands::remove));
    }
    window.setCommand(QStringLiteral("pupilToolbar/Imprime"), [&window, admin] {
        admin->PrintPupilList();
        window.updateToolbars();
    });

    // A pupil's export and import, text lists, last year's pupils.
    window.setCommand(QStringLiteral("pupilToolbar/Exporte"), [&context, &screen] { ExportPupil(context, screen); });
    window.setCommand(QStringLiteral("pupilToolbar/Importe"), [&context, &screen] { ImportPupil(context, screen); });
    window.setCommand(QStringLiteral("pupilToolbar/ImpEleve"), [&context, &screen] { ImportPupil(context, screen); });
    window.setCommand(QStringLiteral("pupilToolbar/EleveTXT"),
                      [&context, &screen] { ImportPupilList(context, screen); });
    window.setCommand(QStringLiteral("pupilToolbar/ImpListe"), [&context, &screen] {
        if (!context.session.hasClass())
            return;
        const SelectionKeys keys = context.session.keys();
        OpenLastYearWindow(context, screen.window());
        screen.updateToolbars();
        // Back on the class just filled, rather than the school's first class.
        screen.showSelection({keys.schoolNo, keys.classNo, 0});
    });

    // The main toolbar: backup, restore, the year change, the synthesis.
    window.setCommand(QStringLiteral("mainToolbar/Sauvegarde"), [&context, &screen] { RunBackup(context, screen); });
    window.setCommand(QStringLiteral("mainToolbar/Restaure"), [&context, &screen] { RunRestore(context, screen); });
    window.setCommand(QStringLiteral("mainToolbar/Dossier"),
                      [&context, &screen] { RunChangeDataFolder(context, screen); });
    window.setCommand(QStringLiteral("mainToolbar/Change"),
                      [&context, &screen] { OpenYearChangeWindow(context, screen); });
    window.setCommand(QStringLiteral("mainToolbar/Analyse"),
                      [&context, &screen] { OpenClassSynthesis(context, screen.programTitle(), screen.window()); });

    // The pupil's results sheet: "Imprime" for the selected pupil, "Imprimer"
    // of the entry windows for the one shown; one printer keeps the choices.
    auto *sheetPrinter = new ReportPrinter(&window);
    sheetPrinter->setObjectName(QStringLiteral("sheetPrinter"));
    const EntryWindow::SheetPrinter printSheet = [&context, &screen, sheetPrinter](qint64 key, QWidget *over) {
        PrintPupilSheet(context, screen.programTitle(), key, *sheetPrinter, over);
    };
    window.setCommand(QStringLiteral("mainToolbar/Imprime"),
                      [&context, &screen, printSheet] { printSheet(context.session.pupilKey(), screen.window()); });

    // "Tableur": results to and from spreadsheets, the administration's list of pupils.
    window.setCommand(QStringLiteral("spreadsheetMenu/ExportXlsx"),
                      [&context, &screen] { ExportClassResults(context, screen, false); });
    window.setCommand(QStringLiteral("spreadsheetMenu/ExportCsv"),
                      [&context, &screen] { ExportClassResults(context, screen, true); });
    window.setCommand(QStringLiteral("spreadsheetMenu/ExportSchool"),
                      [&context, &screen] { ExportSchoolResults(context, screen); });
    window.setCommand(QStringLiteral("spreadsheetMenu/ImportResults"),
                      [&context, &screen] { ImportResults(context, screen); });
    window.setCommand(QStringLiteral("spreadsheetMenu/ImportSchoolList"),
                      [&context, &screen] { ImportSchoolList(context, screen); });

    // "Saisie", its trimester menu and a pupil's double-click open the entry
    // window of the class's level on the chosen tab, modal.
    window.setEntryOpener([&context, &window, printSheet](int level, int tabIndex) {
        OpenEntryWindow(context, level, tabIndex, &window, printSheet);
    });
    // "Grille" and "Toute la classe…": the class's trimester as a grid.
    window.setGridOpener([&context, &window] { OpenClassGrid(context, 0, &window); });
}
