// The folder chooser: the data-folder refusal, the two modes, roots, and the
// paths the backup builds from the chosen folder.
#include "TestSupport.h"

#include "backup/FolderPaths.h"
#include "backup/Form11.h"
#include "common/AppState.h"
#include "mainwindow/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestChooser : public QObject
{
    Q_OBJECT

    struct Folders
    {
        QTemporaryDir dir;
        QString data = QDir(dir.path()).filePath(QStringLiteral("Données"));
        QString other = QDir(dir.path()).filePath(QStringLiteral("Clé USB"));
        Folders()
        {
            QDir().mkpath(data);
            QDir().mkpath(other);
            for (const char *name : {"DONNEES.MDB", "EXPORT.mdb", "notes.txt"})
                TestSupport::writeFile(QDir(other).filePath(QLatin1String(name)), "x");
            TestSupport::writeFile(QDir(data).filePath("donnees.MDB"), "x");
        }
    };

    static QPushButton *valider(Form11 &w) { return w.findChild<QPushButton *>("Command1"); }
    static QListWidget *files(Form11 &w) { return w.findChild<QListWidget *>("File1"); }

private slots:
    void paths()
    {
        QCOMPARE(FolderPaths::FileIn("/home/prof/Clé USB//", "donnees.mdb"), "/home/prof/Clé USB/donnees.mdb");
        QCOMPARE(FolderPaths::FileIn("/", "donnees.mdb"), "/donnees.mdb");
        QCOMPARE(FolderPaths::FileIn("E:/", "donnees.mdb"), "E:/donnees.mdb");
    }

    void dataFolderTest()
    {
        Folders f;
        const QString dataFolder = f.data + QLatin1Char('/');
        QVERIFY(FolderPaths::IsDataFolder(f.data, dataFolder));
        QVERIFY(FolderPaths::IsDataFolder(f.data.toUpper() + "/", dataFolder));
        const QString link = QDir(f.dir.path()).filePath("raccourci");
        QVERIFY(QFile::link(f.data, link));
        QVERIFY(FolderPaths::IsDataFolder(link, dataFolder));
        QVERIFY(!FolderPaths::IsDataFolder(f.dir.path(), dataFolder));
        QVERIFY(!FolderPaths::IsDataFolder(f.other, dataFolder));
        QVERIFY(!FolderPaths::IsDataFolder(QString(), dataFolder));
        QVERIFY(FolderPaths::IsDataFolder("/", "/"));
    }

    void refusesDataFolder_data()
    {
        QTest::addColumn<bool>("folderMode");
        QTest::newRow("folder mode") << true;
        QTest::newRow("file mode") << false;
    }

    // Refused in the status bar, by "Valider" and by a double-click on a file;
    // another folder is then chosen with the file highlighted (file mode only).
    void refusesDataFolder()
    {
        QFETCH(bool, folderMode);
        Folders f;
        AppState state;
        state.DataFolder = f.data + QLatin1Char('/');
        state.ChooserFolderMode = folderMode;
        state.ChooserPattern = QStringLiteral("*.mdb");
        state.ChooserTitle = QStringLiteral("Choisir le répertoire de destination");
        state.ChosenFolder = QStringLiteral("ancien choix");
        Form11 w(state);
        QCOMPARE(w.windowTitle(), state.ChooserTitle);

        w.setFolder(f.data);
        QCOMPARE(w.statusText(), Form11::Refusal);
        QVERIFY(!valider(w)->isEnabled());
        QVERIFY(!files(w)->isEnabled());
        w.File1_DblClick();
        w.Command1_Click();
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QCOMPARE(w.statusText(), Form11::Refusal);
        QCOMPARE(state.ChosenFolder, QStringLiteral("ancien choix"));

        w.setFolder(f.other);
        QCOMPARE(w.statusText(), QString());
        QCOMPARE(files(w)->isEnabled(), !folderMode);
        QCOMPARE(files(w)->count(), 2); // "*.mdb" in any letter case
        QCOMPARE(valider(w)->isEnabled(), folderMode);
        if (!folderMode) {
            QVERIFY(w.selectFile(QStringLiteral("EXPORT.mdb")));
            QVERIFY(valider(w)->isEnabled());
        }
        w.File1_DblClick();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(state.ChosenFolder, f.other);
        QCOMPARE(state.ChosenFile, folderMode ? QString() : QStringLiteral("EXPORT.mdb"));
    }

    void rootCanBeChosenAndGivingUpEmptiesTheChoice()
    {
        AppState state;
        state.DataFolder = QDir::tempPath() + QLatin1Char('/');
        state.ChooserFolderMode = true;
        state.ChooserPattern = QStringLiteral("*.mdb");
        Form11 w(state);
        w.setFolder(QStringLiteral("/"));
        QCOMPARE(w.folderPath(), QStringLiteral("/"));
        QVERIFY(valider(w)->isEnabled());
        w.Command1_Click();
        QCOMPARE(state.ChosenFolder, QStringLiteral("/"));

        Form11 again(state);
        again.Command2_Click();
        QCOMPARE(again.result(), int(QDialog::Rejected));
        QCOMPARE(state.ChosenFolder, QString());
        QCOMPARE(state.ChosenFile, QString());
    }

    // The dialog interface shows the chooser modally.
    void shownThroughTheDialogs()
    {
        Folders f;
        AppState state;
        state.DataFolder = f.data + QLatin1Char('/');
        state.ChooserFolderMode = true;
        QString seen;
        QTimer::singleShot(0, [&] {
            if (auto *w = qobject_cast<Form11 *>(QApplication::activeModalWidget())) {
                seen = w->objectName();
                w->setFolder(f.other);
                valider(*w)->click();
            }
        });
        QTimer::singleShot(5000, [] { // never hang on a window left open
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                d->reject();
        });
        QtDialogs dialogs;
        dialogs.showChooser(state);
        QCOMPARE(seen, QStringLiteral("Form11"));
        QCOMPARE(state.ChosenFolder, f.other);
    }
};

QTEST_MAIN(TestChooser)
#include "tst_chooser.moc"
