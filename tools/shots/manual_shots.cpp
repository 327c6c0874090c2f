// manual_shots DEMO OUT: the pictures of the user's manual (docs/manuel.md),
// taken on a copy of the data folder DEMO (made by velorin-gendata) as a
// teacher sees the windows: the main window, a pupil's entry window, the class
// grid, the class synthesis and its pupils' sheets, the year change and the
// restore chooser.
// scripts/manual-shots.sh runs it under Xvfb and stores the pictures in docs/images.
#include "WindowFixture.h"

#include "backup/FolderChooser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <functional>

#include <cstdio>

namespace {

QString out;
int failures = 0;

void save(QWidget *w, const QString &name)
{
    if (!w->isVisible())
        w->show();
    if (!QTest::qWaitForWindowExposed(w)) {
        std::fprintf(stderr, "manual_shots: %s: window not shown\n", qPrintable(name));
        ++failures;
    }
    QTest::qWait(400);
    const QString path = out + QLatin1Char('/') + name;
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "manual_shots: %s: not written\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s %dx%d\n", qPrintable(path), w->width(), w->height());
}

// Runs `act` on the next modal window other than `over`, once it is shown.
void onModalOver(QWidget *over, const std::function<void(QWidget *)> &act)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, over, act] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal != over) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

// Runs a main-toolbar command whose window is modal: pictured once shown, then
// `then` runs on it (if given), then it is closed.
void shootModal(WindowFixture &f, const QString &key, const QString &name, const QSize &size = {},
                const std::function<void(QWidget *)> &then = {})
{
    bool shown = false;
    WindowFixture::onNextModal([&](QWidget *modal) {
        shown = true;
        if (size.isValid())
            modal->resize(size);
        save(modal, name);
        if (then)
            then(modal);
        modal->close();
    });
    f.run(QStringLiteral("mainToolbar"), key);
    if (!shown) {
        std::fprintf(stderr, "manual_shots: %s: \"%s\" opened no window\n", qPrintable(name), qPrintable(key));
        ++failures;
    }
}

bool selectRow(QListWidget *list, int row)
{
    if (list->count() <= row)
        return false;
    list->setCurrentRow(row);
    QTest::qWait(50);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    if (argc != 3) {
        std::fprintf(stderr, "usage: manual_shots DEMO_FOLDER OUT_FOLDER\n");
        return 2;
    }
    const QString demo = QString::fromLocal8Bit(argv[1]);
    out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);

    WindowFixture f(true);
    for (const char *name : {"donnees.mdb", "Export.vid"})
        if (!QFile::copy(demo + QLatin1Char('/') + QLatin1String(name), f.folder() + QLatin1Char('/') + QLatin1String(name))) {
            std::fprintf(stderr, "manual_shots: %s/%s: not copied\n", qPrintable(demo), name);
            return 1;
        }
    if (!f.start())
        return 1;
    const QSize size(1200, 720);
    f.window->resize(size);
    f.window->show();
    // The demo school's second class (a CP) and its third pupil.
    if (!selectRow(f.schools(), 0) || !selectRow(f.classes(), 1) || !selectRow(f.pupils(), 2)) {
        std::fprintf(stderr, "manual_shots: the demo folder has no school with two classes of pupils\n");
        return 1;
    }
    save(f.window.get(), QStringLiteral("fenetre-principale.png"));
    shootModal(f, QStringLiteral("Trim1"), QStringLiteral("saisie-eleve.png"));
    shootModal(f, QStringLiteral("Grille"), QStringLiteral("saisie-classe.png"), size);
    // The synthesis, then its « Fiches élèves »: the class's results sheets.
    shootModal(f, QStringLiteral("Analyse"), QStringLiteral("synthese.png"), size, [&size](QWidget *viewer) {
        auto *sheets = viewer->findChild<QAction *>(QStringLiteral("sheets"));
        if (!sheets || !sheets->isEnabled()) {
            std::fprintf(stderr, "manual_shots: fiches-eleves.png: no « Fiches élèves » button\n");
            ++failures;
            return;
        }
        onModalOver(viewer, [&size](QWidget *preview) {
            preview->resize(size);
            save(preview, QStringLiteral("fiches-eleves.png"));
            preview->close();
        });
        sheets->trigger();
    });
    shootModal(f, QStringLiteral("Change"), QStringLiteral("changement-annee.png"));

    // The restore chooser on the dated copies of the demo folder, as the daily
    // backup names them.
    const QString copies = demo + QStringLiteral("/Sauvegardes");
    QDir().mkpath(copies);
    for (const char *stamp : {"20261204-171502", "20261205-171455", "20261206-171510"})
        QFile::copy(demo + QStringLiteral("/donnees.mdb"), copies + QStringLiteral("/donnees-%1.mdb").arg(QLatin1String(stamp)));
    FolderChooser chooser({false, QStringLiteral("*.mdb"), QStringLiteral("Choisir la sauvegarde à restaurer"),
                           QStringLiteral("sauvegarde"), true},
                          demo, f.window.get());
    chooser.setModal(false);
    chooser.show();
    chooser.setFolder(copies);
    // The file list fills in the background.
    for (int i = 0; i < 60 && !chooser.selectFile(QStringLiteral("donnees-20261206-171510.mdb")); ++i)
        QTest::qWait(50);
    save(&chooser, QStringLiteral("restaure.png"));
    chooser.hide();
    return failures == 0 ? 0 : 1;
}
