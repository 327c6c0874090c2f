// What the start-up preparation of the data folder offers and refuses, and
// the lock that keeps a second copy of the program out of the folder.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/Compaction.h"
#include "data/DataFiles.h"
#include "data/DataFolderChoice.h"
#include "data/DatabaseStartup.h"
#include "data/InstanceLock.h"
#include "data/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

const QDateTime Now(QDate(2024, 3, 15), QTime(10, 30));

// Every file of the folder with its content.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : fileNames(folder))
        files.insert(name, fileBytes(QDir(folder).filePath(name)));
    return files;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    // A live file the program cannot open: with a sound donnees.BAK beside a damaged or missing one, the copy is
    // offered (accepting keeps the damaged file aside); otherwise the program says which file and stops. Whatever
    // stops the program leaves the folder exactly as it was. A sound file after an interrupted session asks nothing:
    // a missing template is made again, the temporary file of an interrupted copy dropped (the file it replaced is
    // whole).
    void liveFile_data()
    {
        QTest::addColumn<QString>("live"); // only a text file has no donnees.BAK beside it
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("shown"); // the titles of what is shown, then the file the first names
        QTest::newRow("text file") << "text" << false << "ATTENTION donnees.mdb";
        QTest::newRow("newer version beside a sound backup") << "newer" << false << "ATTENTION donnees.MDB";
        QTest::newRow("damaged, Non") << "damaged" << false << "Confirmer donnees.BAK";
        QTest::newRow("damaged, Oui") << "damaged" << true << "Confirmer donnees.BAK";
        // Refusing the copy of a missing file, the user is asked whether to create an empty one.
        QTest::newRow("missing, Non") << "missing" << false << "Confirmer Confirmer donnees.BAK";
        QTest::newRow("missing, Oui") << "missing" << true << "Confirmer donnees.BAK";
        QTest::newRow("sound, after an interrupted session") << "sound" << true << "";
    }

    void liveFile()
    {
        QFETCH(QString, live);
        QFETCH(bool, yes);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        createEmptyDataFolder(dir.path());
        QVERIFY(live == "text" || CompactDatabase(dir.path(), nullptr)); // as after a normal start
        const QString path = DataFiles::LiveDatabase(dir.path());
        const QByteArray damaged = QByteArray("SQLite format 3\0", 16) + QByteArray(3000, '\x7f');
        if (live == "newer")
            execSql(dir.path(), QStringLiteral("PRAGMA user_version = %1").arg(Schema::Version + 1));
        else if (live == "missing")
            QVERIFY(QFile::remove(path));
        else if (live != "sound")
            writeFile(path, live == "text" ? QByteArray("NOM;PRENOM\nDupont;Jean\n") : damaged);
        QMap<QString, QByteArray> expected = snapshot(dir.path());
        if (live == "sound") {
            QVERIFY(QFile::remove(dir.filePath("Export.vid")));
            writeFile(dir.filePath("donnees.mdb.tmp"), "SQLite format 3 half-copied");
        }

        ScriptedDialogs dialogs;
        dialogs.queueAnswer(yes);
        QCOMPARE(PrepareDataFolder(dir.path(), dialogs, Now), yes);
        QCOMPARE(dialogs.titles().join(' '), shown.section(' ', 0, -2));
        QVERIFY(dialogs.shown().isEmpty() || dialogs.shown().first().text.contains(shown.section(' ', -1)));
        if (yes && live != "sound") { // the copy in place, the damaged file kept aside
            expected.remove(QFileInfo(path).fileName());
            expected.insert("donnees.mdb", expected.value("donnees.BAK"));
            if (live == "damaged")
                expected.insert("donnees-endommage-20240315-103000.mdb", damaged);
        }
        QCOMPARE(snapshot(dir.path()), expected);
    }

    // A copy of the program in another process keeps this one out, even after days, naming the folder; once the
    // holder releases or dies, the folder is free again. Only when the user says to ignore the lock is it asked about,
    // naming this machine; "Non" leaves it, "Oui" takes the folder over from the running copy.
    void instanceLock()
    {
        QTemporaryDir dir;
        InstanceLock first;
        QVERIFY(first.acquire(dir.path()) && first.held());
        first.release();
        QProcess child; // takes the lock once released
        child.start(QStringLiteral(DATAFOLDER_CHILD), {QStringLiteral("lock"), dir.path()});
        QVERIFY(child.waitForReadyRead(10000) && child.readLine() == "ready\n");
        const QDateTime since = QDateTime::currentDateTime().addDays(-30);
        QFile lockFile(dir.filePath(DataFiles::LockFile));
        QVERIFY(lockFile.open(QIODevice::ReadWrite) && lockFile.setFileTime(since, QFileDevice::FileModificationTime));
        const QByteArray childLock = fileBytes(lockFile.fileName());
        QVERIFY(!first.acquire(dir.path()));
        ScriptedDialogs dialogs;
        QVERIFY(!first.acquireOrRefuse(dir.path(), dialogs, QDateTime::currentDateTime()));
        QCOMPARE(dialogs.titles(), QStringList{"ATTENTION"});
        QVERIFY(!dialogs.shown().first().isQuestion &&
                dialogs.shown().first().text.contains(QDir::toNativeSeparators(dir.path()))); // naming the folder

        dialogs.clear();
        dialogs.queueAnswer(false);
        dialogs.queueAnswer(true);
        for (bool yes : {false, true})
            QCOMPARE(first.acquireOrRefuse(dir.path(), dialogs, QDateTime::currentDateTime(),
                                           InstanceLock::Ask::WheneverHeld),
                     yes);
        QCOMPARE(dialogs.shown().size(), 2);
        QVERIFY(dialogs.shown().at(0).isQuestion &&
                dialogs.shown().at(0).text.contains(QStringLiteral("« %1 »").arg(QSysInfo::machineHostName())));
        QVERIFY(fileBytes(lockFile.fileName()) != childLock);
        child.kill();
        QVERIFY(child.waitForFinished());
        first.release();
        QVERIFY(first.acquire(dir.path()));
    }

    // A lock from another machine, or unreadable, older than 12 hours may be left by a machine switched off: the
    // user is asked, "Non" by default, naming the machine and the date; "Oui" takes the folder, "Non" leaves the
    // folder and its lock. A younger one is refused without a question.
    void lockLeftBehind_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QDateTime>("since");
        QTest::addColumn<int>("hours"); // the lock's age at start
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("asked"); // empty: refused without a question
        const QString question = "Le dossier semble ouvert sur %1 depuis le %2. Si ce n'est plus le cas, continuer ?";
        const QDateTime nov7(QDate(2026, 11, 7), QTime(14, 5)), mar1(QDate(2027, 3, 1), QTime(8, 0));
        const QString bySchool = question.arg("« poste-ecole-2 »", "7 novembre 2026 à 14:05"),
                      bySomeone = question.arg("un autre poste", "7 novembre 2026 à 14:05");
        const QByteArray other = "4242\nvelorin\nposte-ecole-2";
        QTest::newRow("another machine, 30 days, Non") << other << nov7 << 720 << false << bySchool;
        QTest::newRow("another machine, 30 days, Oui") << other << nov7 << 720 << true << bySchool;
        QTest::newRow("another machine as Qt writes it, 13 hours")
            << QByteArray("4242\nvelorin\nposte-ecole-2\n0123456789abcdef\n2f6e-boot\n") << mar1 << 13 << true
            << question.arg("« poste-ecole-2 »", "1er mars 2027 à 08:00");
        QTest::newRow("empty, 13 hours, Oui") << QByteArray() << nov7 << 13 << true << bySomeone;
        QTest::newRow("garbled, 13 hours, Non")
            << QByteArray("\x00\xff\x01garbage\n\n", 12) << nov7 << 13 << false << bySomeone;
        QTest::newRow("a number then noise, 30 days, Oui")
            << QByteArray("12\n\x01\x02\n\xff\xfe\n") << nov7 << 720 << true << bySomeone;
        QTest::newRow("another machine, 1 hour") << other << nov7 << 1 << true << QString();
        QTest::newRow("another machine, 12 hours") << other << nov7 << 12 << true << QString();
        QTest::newRow("empty, 11 hours") << QByteArray() << nov7 << 11 << true << QString();
    }

    void lockLeftBehind()
    {
        QFETCH(QByteArray, content);
        QFETCH(QDateTime, since);
        QFETCH(int, hours);
        QFETCH(bool, yes);
        QFETCH(QString, asked);
        QTemporaryDir dir;
        const QString lockPath = dir.filePath(DataFiles::LockFile);
        plantLock(dir.path(), content, since);
        ScriptedDialogs dialogs;
        dialogs.queueAnswer(yes);
        InstanceLock lock;
        const bool acquired = lock.acquireOrRefuse(dir.path(), dialogs, since.addSecs(hours * 3600));
        QCOMPARE(dialogs.shown().size(), 1);
        const ScriptedDialogs::Shown shown = dialogs.shown().first();
        QVERIFY(asked.isEmpty() ? !shown.isQuestion && shown.text.contains("déjà ouvert")
                                : shown.isQuestion && shown.defaultNo);
        if (!asked.isEmpty())
            QCOMPARE(shown.text, asked);
        QVERIFY(acquired == (!asked.isEmpty() && yes) && lock.held() == acquired);
        if (acquired) // the lock is ours now
            QVERIFY(fileBytes(lockPath).startsWith(QByteArray::number(QCoreApplication::applicationPid()) + '\n'));
        else
            QCOMPARE(fileBytes(lockPath), content);
    }

    // A lock written while the user was being asked is not the one they let go.
    void takeOverOnlyTheLockAsked()
    {
        QTemporaryDir dir;
        const QDateTime longAgo = QDateTime::currentDateTime().addDays(-30);
        plantLock(dir.path(), "4242\nvelorin\nposte-ecole-2\n", longAgo);
        InstanceLock lock;
        InstanceLock::Holder asked;
        QCOMPARE(lock.attempt(dir.path(), QDateTime::currentDateTime(), &asked), InstanceLock::Attempt::Stale);
        plantLock(dir.path(), "77\nvelorin\nposte-ecole-3\n", QDateTime::currentDateTime());
        QVERIFY(!lock.takeOver(dir.path(), asked) && !lock.held());
        QCOMPARE(fileBytes(dir.filePath(DataFiles::LockFile)), QByteArray("77\nvelorin\nposte-ecole-3\n"));
        plantLock(dir.path(), asked.content, asked.since);
        QVERIFY(lock.takeOver(dir.path(), asked) && lock.held());
    }

    // The folder the program works on: one named on the command line (relative
    // to the current folder), else the current folder when it holds the
    // database (started from a terminal), else the folder last used while it
    // is there, else "Velorin" in the documents folder.
    void dataFolderChoice_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("currentHoldsDatabase");
        QTest::addColumn<bool>("lastUsedIsFolder");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("source");
        using S = DataFolderChoice::Source;
        QTest::newRow("relative argument") << "../autre/" << true << true << "/home/prof/autre" << int(S::Argument);
        QTest::newRow("absolute argument") << "/srv/ecole" << false << true << "/srv/ecole" << int(S::Argument);
        QTest::newRow("terminal folder") << "" << true << true << "/home/prof/classe" << int(S::CurrentFolder);
        QTest::newRow("last used") << "" << false << true << "/media/prof/CLE/Velorin" << int(S::LastUsed);
        QTest::newRow("last used gone") << "" << false << false << "/home/prof/Documents/Velorin" << int(S::Default);
    }

    void dataFolderChoice()
    {
        QFETCH(QString, argument);
        QFETCH(bool, currentHoldsDatabase);
        QFETCH(bool, lastUsedIsFolder);
        const DataFolderChoice::Decision decision =
            DataFolderChoice::Decide({argument, "/home/prof/classe", currentHoldsDatabase, "/media/prof/CLE/Velorin",
                                      lastUsedIsFolder, "/home/prof/Documents"});
        QTEST(decision.folder, "folder");
        QTEST(int(decision.source), "source");
        QCOMPARE(DataFolderChoice::Decide({}).folder, QDir::homePath() + "/Documents/Velorin"); // never used
        // The command line: a folder and the lock option, in any order; anything else is refused.
        const DataFolderChoice::Arguments parsed = DataFolderChoice::Parse({"--ignorer-verrou", "Mes données"});
        QVERIFY(parsed.ignoreLock && parsed.folder == "Mes données" && parsed.error.isEmpty());
        QVERIFY(DataFolderChoice::Parse({"--", "-dossier"}).folder == "-dossier");
        for (const QStringList &bad : {QStringList{"--verrou"}, QStringList{"a", "b"}})
            QVERIFY(!DataFolderChoice::Parse(bad).error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
