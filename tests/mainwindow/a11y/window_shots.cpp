// Pictures of the main window (at the screen's size and at its smallest), of
// a class and a pupil dialog and of the year-change window, on sample data, into the
// folder given (default /tmp/shots): to look at them as a teacher would.
#include "WindowFixture.h"

#include "admin/ClassDialog.h"
#include "admin/PupilDialog.h"
#include "transfers/YearChangeWindow.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>

namespace {

void save(QWidget *w, const QString &path)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        std::printf("%s: not shown\n", qPrintable(path));
    QTest::qWait(300);
    w->grab().save(path);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/shots");
    QDir().mkpath(folder);
    WindowFixture f;
    f.fillSample();
    if (!f.start())
        return 2;
    f.select(f.classes(), QStringLiteral("Martin CP"));
    const QSize screen = QGuiApplication::primaryScreen()->availableSize();
    f.window->resize(screen);
    save(f.window.get(), folder + "/main_screen.png");
    f.window->resize(f.window->minimumSize());
    QTest::qWait(300);
    save(f.window.get(), folder + "/main_minimum.png");
    std::printf("minimum %dx%d, screen %dx%d\n", f.window->minimumWidth(), f.window->minimumHeight(), screen.width(),
                screen.height());

    ClassDialog dialog(f.context, *f.window, false, f.window.get());
    dialog.setModal(false);
    save(&dialog, folder + "/class_dialog.png");
    dialog.hide();
    PupilDialog pupil(f.context, *f.window, false, f.window.get());
    pupil.setModal(false);
    save(&pupil, folder + "/pupil_dialog.png");
    pupil.hide();
    YearChangeWindow yearChange(f.context, *f.window, f.window.get());
    save(&yearChange, folder + "/year_change.png");
    return 0;
}
