// What the start-up preparation of the data folder offers and refuses, and
// the lock that keeps a second copy of the program out of the folder.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/Compaction.h"
#include "data/DataFiles.h"
#include "data/DatabaseStartup.h"
#include "data/InstanceLock.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::fileBytes;

namespace {

const QDateTime Now(QDate(2024, 3, 15), QTime(10, 30));

// Every file of the folder with its content.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : TestSupport::fileNames(folder))
        files.insert(name, fileBytes(QDir(folder).filePath(name)));
    return files;
}

// How many messages and questions were shown, then the first, "?" marking a question: "1 Confirmer?: text".
QString describe(const ScriptedDialogs &dialogs)
{
    QString text = QString::number(dialogs.shown().size());
    for (const ScriptedDialogs::Shown &s : dialogs.shown().mid(0, 1))
        text += ' ' + s.title + (s.isQuestion ? "?: " : ": ") + s.text;
    return text;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void emptyFolder_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Non") << false;
        QTest::newRow("Oui") << true;
    }

    void emptyFolder()
    {
        QFETCH(bool, yes);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        dialogs.queueAnswer(yes);
        QCOMPARE(PrepareDataFolder(dir.path(), dialogs, Now), yes);
        QVERIFY2(describe(dialogs).startsWith("1 Confirmer?: "), qPrintable(describe(dialogs)));
        QCOMPARE(TestSupport::fileNames(dir.path()), yes ? QStringList({"Export.vid", "donnees.mdb"}) : QStringList());
        if (!yes)
            return;
        QVERIFY(Schema::CheckDatabaseFile(dir.filePath("donnees.mdb"), true).sound());
        // The template is a file of the same engine without the pupils' table, which a transfer creates in its copy.
        const Schema::FileCheck model = Schema::CheckDatabaseFile(dir.filePath("Export.vid"), true);
        QCOMPARE(model.state, Schema::FileState::WrongSchema);
        QVERIFY(model.detail.contains(QLatin1String("ELEVE")));
        // The next start asks nothing: a missing template is made again, the temporary file of an interrupted copy
        // dropped (the file it was to replace is whole).
        QVERIFY(QFile::remove(dir.filePath("Export.vid")));
        const QMap<QString, QByteArray> before = snapshot(dir.path());
        TestSupport::writeFile(dir.filePath("donnees.mdb.tmp"), "SQLite format 3 half-copied");
        ScriptedDialogs again;
        QVERIFY(PrepareDataFolder(dir.path(), again, Now));
        QCOMPARE(again.titles(), QStringList());
        QMap<QString, QByteArray> after = snapshot(dir.path());
        QVERIFY(after.take("Export.vid").startsWith("SQLite format 3"));
        QCOMPARE(after, before);
    }

    // A live file the program cannot open: with a sound donnees.BAK beside a damaged or missing one, the copy is
    // offered (accepting keeps the damaged file aside); otherwise the program says which file and stops. Whatever
    // stops the program leaves the folder exactly as it was.
    void unusableFile_data()
    {
        QTest::addColumn<QString>("live");
        QTest::addColumn<bool>("withBackup");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("shown"); // count and title of what is shown, and the file it names
        QTest::newRow("text file") << "text" << false << false << "1 ATTENTION: donnees.mdb";
        QTest::newRow("other program's database") << "foreign" << false << false << "1 ATTENTION: donnees.mdb";
        QTest::newRow("newer version") << "newer" << false << false << "1 ATTENTION: donnees.mdb";
        QTest::newRow("newer version beside a sound backup") << "newer" << true << false << "1 ATTENTION: donnees.mdb";
        QTest::newRow("damaged, Non") << "damaged" << true << false << "1 Confirmer?: donnees.BAK";
        QTest::newRow("damaged, Oui") << "damaged" << true << true << "1 Confirmer?: donnees.BAK";
        // Refusing the copy of a missing file, the user is asked whether to create an empty one.
        QTest::newRow("missing, Non") << "missing" << true << false << "2 Confirmer?: donnees.BAK";
        QTest::newRow("missing, Oui") << "missing" << true << true << "1 Confirmer?: donnees.BAK";
    }

    void unusableFile()
    {
        QFETCH(QString, live);
        QFETCH(bool, yes);
        QTemporaryDir dir;
        const QString folder = dir.path();
        TestSupport::createEmptyDataFolder(folder);
        TestSupport::insertRow(folder, QStringLiteral("ECOLE"), {{"NOECOLE", 1}, {"NOM_ECOLE", "Ecole Jules Ferry"}});
        QFETCH(bool, withBackup);
        QVERIFY(!withBackup || CompactDatabase(folder, nullptr)); // as after a normal start
        const QString path = DataFiles::LiveDatabase(folder);
        const QByteArray damaged = QByteArray("SQLite format 3\0", 16) + QByteArray(3000, '\x7f');
        if (live == "newer")
            TestSupport::execSql(folder, QStringLiteral("PRAGMA user_version = %1").arg(Schema::Version + 1));
        else
            QVERIFY(QFile::remove(path));
        if (live == "text" || live == "damaged")
            TestSupport::writeFile(path, live == "text" ? QByteArray("NOM;PRENOM\nDupont;Jean\n") : damaged);
        SqliteSupport::RawDatabase foreign;
        QVERIFY(live != "foreign" || (foreign.open(path, true) && foreign.exec("CREATE TABLE NOTES (TEXTE TEXT)")));
        foreign.close();
        const QMap<QString, QByteArray> before = snapshot(folder);

        ScriptedDialogs dialogs;
        dialogs.queueAnswer(yes);
        QCOMPARE(PrepareDataFolder(folder, dialogs, Now), yes);
        QFETCH(QString, shown);
        QVERIFY2(describe(dialogs).startsWith(shown.section(' ', 0, 1)) &&
                     describe(dialogs).contains(shown.section(' ', 2), Qt::CaseInsensitive),
                 qPrintable(describe(dialogs)));
        if (!yes) {
            QCOMPARE(snapshot(folder), before);
            return;
        }
        QMap<QString, QByteArray> after = snapshot(folder);
        QCOMPARE(after.take("donnees.BAK"), before.value("donnees.BAK"));
        QCOMPARE(after.take("Export.vid"), before.value("Export.vid"));
        QCOMPARE(after.take(QFileInfo(DataFiles::LiveDatabase(folder)).fileName()), before.value("donnees.BAK"));
        QCOMPARE(after.values(), live == "missing" ? QList<QByteArray>() : QList<QByteArray>{damaged}); // kept aside
    }

    // A second copy is kept out, in this process or from another one, even after
    // days; once the holder releases or dies, the folder is free again.
    void instanceLock()
    {
        QTemporaryDir dir;
        InstanceLock first, second;
        QVERIFY(first.acquire(dir.path()));
        QVERIFY(!second.acquire(dir.path()) && !second.held() && first.held());
        first.release();
        QVERIFY(second.acquire(dir.path()));
        second.release();

        QProcess child;
        child.start(QStringLiteral(DATAFOLDER_CHILD), {QStringLiteral("lock"), dir.path()});
        QVERIFY(child.waitForStarted());
        while (!child.canReadLine())
            QVERIFY2(child.waitForReadyRead(10000), child.readAllStandardError().constData());
        QCOMPARE(child.readLine(), QByteArray("ready\n"));
        QVERIFY(!first.acquire(dir.path()));
        QFile lockFile(dir.filePath(DataFiles::LockFile));
        QVERIFY(lockFile.open(QIODevice::ReadWrite));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addDays(-30), QFileDevice::FileModificationTime));
        lockFile.close();
        QVERIFY(!first.acquire(dir.path()));
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(first.acquire(dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
