#include "data/AppContext.h"
#include "data/DataFolderChoice.h"
#include "data/StartupSequence.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWiring.h"
#include "mainwindow/QtDialogs.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rozodivo Velorin"));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));

    // Qt's own buttons in French: "Oui", "Non", "Annuler".
    InstallFrenchTranslation();

    QtDialogs dialogs;
    SystemClock clock;
    AppContext context(dialogs, clock);

    // "velorin [--ignorer-verrou] [DOSSIER]". "--ignorer-verrou": the user
    // says the folder is free; any lock gets the question.
    const DataFolderChoice::Arguments arguments = DataFolderChoice::Parse(QApplication::arguments().mid(1));
    if (!arguments.error.isEmpty()) {
        dialogs.message(QStringLiteral("ATTENTION"), arguments.error, Dialogs::Icon::Warning);
        return 1;
    }
    const DataFolderChoice::Decision decision = DataFolderChoice::Decide(DataFolderChoice::Observe(arguments.folder));
    const auto ask = arguments.ignoreLock ? InstanceLock::Ask::WheneverHeld : InstanceLock::Ask::WhenStale;
    if (!TakeDataFolder(context.connection, context.lock, decision.folder, dialogs, clock.now(), ask))
        return 1;
    dialogs.setDataFolder([&context] { return context.connection.DataFolder(); });

    MainWindow window(context);
    ConnectMainWindow(window, context);
    if (!window.start())
        return 1;
    DataFolderChoice::RememberLastUsed(context.connection.DataFolder());
    dialogs.setParent(&window);
    window.show();
    return QApplication::exec();
}
