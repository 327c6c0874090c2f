#include "data/AppContext.h"
#include "data/InstanceLock.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWiring.h"
#include "mainwindow/QtDialogs.h"

#include <QApplication>
#include <QDir>
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
    // The data folder is the folder the program is started in.
    context.connection.setDataFolder(QDir::currentPath());
    dialogs.setDataFolder(context.connection.DataFolder());

    // "--ignorer-verrou": the user says the folder is free; any lock gets the question.
    const auto ask = QApplication::arguments().contains(QStringLiteral("--ignorer-verrou"))
                         ? InstanceLock::Ask::WheneverHeld
                         : InstanceLock::Ask::WhenStale;
    InstanceLock lock;
    if (!lock.acquireOrRefuse(context.connection.DataFolder(), dialogs, clock.now(), ask))
        return 1;

    MainWindow window(context);
    ConnectMainWindow(window, context);
    if (!window.start())
        return 1;
    dialogs.setParent(&window);
    window.show();
    return QApplication::exec();
}
