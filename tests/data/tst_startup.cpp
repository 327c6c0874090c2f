// What the start-up preparation of the data folder offers and refuses, and
// the lock that keeps a second copy of the program out of the folder.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/Compaction.h"
#include "data/DataFiles.h"
#include "data/DatabaseStartup.h"
#include "data/InstanceLock.h"
#include "data/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
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

    // A copy of the program in another process keeps this one out, even after days; once the holder releases or
    // dies, the folder is free again.
    void instanceLock()
    {
        QTemporaryDir dir;
        InstanceLock first;
        QVERIFY(first.acquire(dir.path()) && first.held());
        first.release();
        QProcess child; // takes the lock once released
        child.start(QStringLiteral(DATAFOLDER_CHILD), {QStringLiteral("lock"), dir.path()});
        QVERIFY(child.waitForReadyRead(10000) && child.readLine() == "ready\n");
        QFile lockFile(dir.filePath(DataFiles::LockFile));
        QVERIFY(lockFile.open(QIODevice::ReadWrite) &&
                lockFile.setFileTime(QDateTime::currentDateTime().addDays(-30), QFileDevice::FileModificationTime));
        QVERIFY(!first.acquire(dir.path()));
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(first.acquire(dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
