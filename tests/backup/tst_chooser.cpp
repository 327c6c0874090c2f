// The folder chooser: the data-folder refusal, the two modes, roots, and the
// paths the backup builds from the chosen folder.
#include "WindowFixture.h"

#include "backup/FolderChooser.h"
#include "backup/FolderPaths.h"
#include "mainwindow/QtDialogs.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

class TestChooser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_data = m_dir.filePath(QStringLiteral("Données")),
                  m_other = m_dir.filePath(QStringLiteral("Clé USB"));

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_data) && QDir().mkpath(m_other));
        for (const char *name : {"DONNEES.MDB", "EXPORT.mdb", "notes.txt"})
            TestSupport::writeFile(m_other + '/' + name, "x");
    }

    void paths()
    {
        QCOMPARE(FolderPaths::FileIn("/home/prof/Clé USB//", "donnees.mdb"), "/home/prof/Clé USB/donnees.mdb");
        QCOMPARE(FolderPaths::FileIn("/", "donnees.mdb"), "/donnees.mdb");
        QCOMPARE(FolderPaths::FileIn("E:/", "donnees.mdb"), "E:/donnees.mdb");
        const QString link = m_dir.filePath("raccourci");
        QVERIFY(QFile::link(m_data, link));
        for (const QString &same : {m_data, m_data.toUpper() + "/", link})
            QVERIFY2(FolderPaths::IsDataFolder(same, m_data + '/'), qPrintable(same));
        for (const QString &other : {m_dir.path(), m_other, QString()})
            QVERIFY2(!FolderPaths::IsDataFolder(other, m_data + '/'), qPrintable(other));
    }

    // The data folder is refused in the status bar and by "Valider"; another
    // folder is chosen with the file highlighted (file mode only); "Abandonner"
    // chooses nothing; a root can be chosen. In folder mode, then in file mode.
    void choosing()
    {
        for (bool folderMode : {true, false}) {
            FolderChooser w({folderMode, "*.mdb", "Choisir"}, m_data + '/');
            QListWidget *files = w.findChild<QListWidget *>("fileList");
            QPushButton *validate = w.findChild<QPushButton *>("validateButton");
            w.setFolder(m_data);
            QVERIFY(!validate->isEnabled() && !files->isEnabled());
            w.validateClicked();
            QCOMPARE(w.statusText(), FolderChooser::Refusal);
            QVERIFY(w.result() == QDialog::Rejected && !w.choice());

            w.setFolder(m_other);
            QCOMPARE(w.statusText(), QString());
            QCOMPARE(files->count(), 2); // "*.mdb" in any letter case
            QVERIFY(files->isEnabled() != folderMode && validate->isEnabled() == folderMode);
            QVERIFY(folderMode || w.selectFile(QStringLiteral("EXPORT.mdb")));
            w.fileDoubleClicked();
            QVERIFY(w.result() == QDialog::Accepted && w.choice());
            QCOMPARE(w.choice()->folder, m_other);
            QCOMPARE(w.choice()->file, folderMode ? QString() : QStringLiteral("EXPORT.mdb"));
            w.cancelClicked();
            QVERIFY(w.result() == QDialog::Rejected && !w.choice());

            w.setFolder(QStringLiteral("/"));
            QVERIFY(w.folderPath() == "/" && validate->isEnabled() == folderMode);
            w.validateClicked();
            QCOMPARE(w.choice()->folder, QStringLiteral("/"));
        }
    }

    // The program's dialogs show the chooser modally, refusing their data folder.
    void shownThroughTheDialogs()
    {
        QString status;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *w = qobject_cast<FolderChooser *>(modal);
            w->setFolder(m_data);
            status = w->statusText();
            w->setFolder(m_other);
            w->validateClicked();
            if (w->isVisible()) // never hang on a window left open
                w->reject();
        });
        QtDialogs dialogs;
        dialogs.setDataFolder(m_data + '/');
        const std::optional<ChooserChoice> choice = dialogs.chooseFolder({true, "*.mdb", "Choisir"});
        QCOMPARE(status, FolderChooser::Refusal);
        QVERIFY(choice && choice->folder == m_other);
    }
};

QTEST_MAIN(TestChooser)
#include "tst_chooser.moc"
