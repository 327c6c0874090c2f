// The folder chooser: the data-folder refusal, the two modes, roots, and the
// paths the backup builds from the chosen folder.
#include "TestSupport.h"

#include "backup/FolderChooser.h"
#include "backup/FolderPaths.h"
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

    QTemporaryDir m_dir;
    const QString m_data = m_dir.filePath(QStringLiteral("Données")),
                  m_other = m_dir.filePath(QStringLiteral("Clé USB"));

    static QPushButton *validate(FolderChooser &w) { return w.findChild<QPushButton *>("validateButton"); }
    static QListWidget *files(FolderChooser &w) { return w.findChild<QListWidget *>("fileList"); }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_data) && QDir().mkpath(m_other));
        for (const char *name : {"DONNEES.MDB", "EXPORT.mdb", "notes.txt"})
            TestSupport::writeFile(QDir(m_other).filePath(QLatin1String(name)), "x");
        TestSupport::writeFile(QDir(m_data).filePath("donnees.MDB"), "x");
    }

    void paths()
    {
        QCOMPARE(FolderPaths::FileIn("/home/prof/Clé USB//", "donnees.mdb"), "/home/prof/Clé USB/donnees.mdb");
        QCOMPARE(FolderPaths::FileIn("/", "donnees.mdb"), "/donnees.mdb");
        QCOMPARE(FolderPaths::FileIn("E:/", "donnees.mdb"), "E:/donnees.mdb");

        const QString dataFolder = m_data + QLatin1Char('/'), link = m_dir.filePath("raccourci");
        QVERIFY(FolderPaths::IsDataFolder(m_data, dataFolder));
        QVERIFY(FolderPaths::IsDataFolder(m_data.toUpper() + "/", dataFolder));
        QVERIFY(QFile::link(m_data, link));
        QVERIFY(FolderPaths::IsDataFolder(link, dataFolder));
        QVERIFY(!FolderPaths::IsDataFolder(m_dir.path(), dataFolder));
        QVERIFY(!FolderPaths::IsDataFolder(m_other, dataFolder));
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
        const ChooserRequest request{folderMode, "*.mdb", "Choisir le répertoire de destination"};
        FolderChooser w(request, m_data + QLatin1Char('/'));
        QCOMPARE(w.windowTitle(), request.title);

        w.setFolder(m_data);
        QCOMPARE(w.statusText(), FolderChooser::Refusal);
        QVERIFY(!validate(w)->isEnabled());
        QVERIFY(!files(w)->isEnabled());
        w.fileDoubleClicked();
        w.validateClicked();
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QCOMPARE(w.statusText(), FolderChooser::Refusal);
        QVERIFY(!w.choice());

        w.setFolder(m_other);
        QCOMPARE(w.statusText(), QString());
        QCOMPARE(files(w)->isEnabled(), !folderMode);
        QCOMPARE(files(w)->count(), 2); // "*.mdb" in any letter case
        QCOMPARE(validate(w)->isEnabled(), folderMode);
        if (!folderMode) {
            QVERIFY(w.selectFile(QStringLiteral("EXPORT.mdb")));
            QVERIFY(validate(w)->isEnabled());
        }
        w.fileDoubleClicked();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QVERIFY(w.choice());
        QCOMPARE(w.choice()->folder, m_other);
        QCOMPARE(w.choice()->file, folderMode ? QString() : QStringLiteral("EXPORT.mdb"));
    }

    void rootCanBeChosenAndGivingUpChoosesNothing()
    {
        const ChooserRequest request{true, "*.mdb", QString()};
        FolderChooser w(request, QDir::tempPath() + QLatin1Char('/'));
        w.setFolder(QStringLiteral("/"));
        QCOMPARE(w.folderPath(), QStringLiteral("/"));
        QVERIFY(validate(w)->isEnabled());
        w.validateClicked();
        QCOMPARE(w.choice()->folder, QStringLiteral("/"));

        FolderChooser again(request, QDir::tempPath());
        again.setFolder(m_other);
        again.cancelClicked();
        QCOMPARE(again.result(), int(QDialog::Rejected));
        QVERIFY(!again.choice());
    }

    // The program's dialogs show the chooser modally, refusing their data folder.
    void shownThroughTheDialogs()
    {
        QString seen, status;
        QTimer::singleShot(0, [&] {
            if (auto *w = qobject_cast<FolderChooser *>(QApplication::activeModalWidget())) {
                seen = w->objectName();
                w->setFolder(m_data);
                status = w->statusText();
                w->setFolder(m_other);
                validate(*w)->click();
            }
        });
        QTimer::singleShot(5000, [] { // never hang on a window left open
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                d->reject();
        });
        QtDialogs dialogs;
        dialogs.setDataFolder(m_data + QLatin1Char('/'));
        const std::optional<ChooserChoice> choice = dialogs.chooseFolder({true, "*.mdb", "Choisir"});
        QCOMPARE(seen, QStringLiteral("FolderChooser"));
        QCOMPARE(status, FolderChooser::Refusal);
        QVERIFY(choice);
        QCOMPARE(choice->folder, m_other);
    }
};

QTEST_MAIN(TestChooser)
#include "tst_chooser.moc"
