// Opens windows of the program on sample data, as a user sees them, for the
// screen-reader check (check_names.py) to walk: "main" the main window, a
// class dialog and the year-change window; "entry" the entry window. Writes
// "READY" to standard output once they are shown, then waits to be ended.
#include "WindowFixture.h"

#include "admin/ClassDialog.h"
#include "evaluation/EntryWindow.h"
#include "transfers/YearChangeWindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velorin-a11y"));
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main");

    WindowFixture f;
    f.fillSample();
    if (!f.start())
        return 2;
    f.window->show();
    f.select(f.classes(), QStringLiteral("Martin CP"));
    QList<QWidget *> windows;
    if (which == QLatin1String("main")) {
        auto *classDialog = new ClassDialog(f.context, *f.window, false, f.window.get());
        classDialog->setModal(false);
        classDialog->show();
        auto *yearChange = new YearChangeWindow(f.context, *f.window, f.window.get());
        yearChange->show();
        windows << classDialog << yearChange;
    } else {
        auto *entry = new EntryWindow(f.context, 2, 0, f.window.get());
        entry->setModal(false);
        entry->show();
        windows << entry;
    }
    // Long enough for the accessibility bridge to register the windows.
    QTimer::singleShot(1500, [] {
        std::puts("READY");
        std::fflush(stdout);
    });
    // Never left running: the check ends it, or this does after a while.
    QTimer::singleShot(120000, &app, &QApplication::quit);
    const int rc = QApplication::exec();
    qDeleteAll(windows);
    return rc;
}
