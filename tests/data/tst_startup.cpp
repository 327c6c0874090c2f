// What the start-up preparation of the data folder offers and refuses, and
// the lock that keeps a second copy of the program out of the folder.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/Compaction.h"
#include "data/Connection.h"
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
using TestSupport::fileNames;

namespace {

const QDateTime Now(QDate(2024, 3, 15), QTime(10, 30));

QString pathIn(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

// Every file of the folder with its content.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : fileNames(folder))
        files.insert(name, fileBytes(pathIn(folder, name)));
    return files;
}

void makeSqliteFile(const QString &path, const QStringList &statements)
{
    SqliteSupport::RawDatabase db;
    QVERIFY(db.open(path, true));
    for (const QString &sql : statements)
        QVERIFY2(db.exec(sql), qPrintable(db.error()));
}

// A folder after a normal start: its live file and, as donnees.BAK, a sound
// copy holding one school.
void makeStartedFolder(const QString &folder)
{
    TestSupport::createEmptyDataFolder(folder);
    TestSupport::insertRow(folder, QStringLiteral("ECOLE"), {{"NOECOLE", 1}, {"NOM_ECOLE", "Ecole Jules Ferry"}});
    QString error;
    QVERIFY2(CompactDatabase(folder, &error), qPrintable(error));
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
        QCOMPARE(dialogs.shown().size(), 1);
        QVERIFY(dialogs.shown().first().isQuestion);
        QCOMPARE(dialogs.shown().first().title, QStringLiteral("Confirmer"));
        if (!yes) {
            QCOMPARE(fileNames(dir.path()), QStringList());
            return;
        }
        QCOMPARE(fileNames(dir.path()), (QStringList{"Export.vid", "donnees.mdb"}));
        QVERIFY(Schema::CheckDatabaseFile(pathIn(dir.path(), "donnees.mdb"), true).sound());
        // The template is a file of the same engine without the pupils' table,
        // which a transfer creates in its copy.
        const Schema::FileCheck model = Schema::CheckDatabaseFile(pathIn(dir.path(), "Export.vid"), true);
        QCOMPARE(model.state, Schema::FileState::WrongSchema);
        QVERIFY(model.detail.contains(QLatin1String("ELEVE")));

        ScriptedDialogs again;
        QVERIFY(PrepareDataFolder(dir.path(), again, Now));
        QCOMPARE(again.titles(), QStringList());
    }

    // A missing template is made again; the temporary file of an interrupted
    // copy is dropped (the file it was to replace is whole).
    void missingTemplateAddedAndLeftoverDropped()
    {
        QTemporaryDir dir;
        makeStartedFolder(dir.path());
        QVERIFY(QFile::remove(pathIn(dir.path(), "Export.vid")));
        const QMap<QString, QByteArray> before = snapshot(dir.path());
        TestSupport::writeFile(pathIn(dir.path(), "donnees.mdb.tmp"), "SQLite format 3 half-copied");
        ScriptedDialogs dialogs;
        QVERIFY(PrepareDataFolder(dir.path(), dialogs, Now));
        QCOMPARE(dialogs.titles(), QStringList());
        QMap<QString, QByteArray> after = snapshot(dir.path());
        QVERIFY(after.take("Export.vid").startsWith("SQLite format 3"));
        QCOMPARE(after, before);
    }

    // Files the program must not open: it says which one and stops, leaving
    // the folder exactly as it was.
    void refused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("withBackup");
        QTest::newRow("text file") << "text" << false;
        QTest::newRow("other program's database") << "foreign" << false;
        QTest::newRow("newer version") << "newer" << false;
        QTest::newRow("newer version beside a sound backup") << "newer" << true;
    }

    void refused()
    {
        QFETCH(QString, kind);
        QFETCH(bool, withBackup);
        QTemporaryDir dir;
        const QString live = pathIn(dir.path(), "donnees.mdb");
        QString error;
        QVERIFY(Schema::CreateExportTemplate(pathIn(dir.path(), "Export.vid"), &error));
        if (withBackup)
            QVERIFY(Schema::CreateDatabase(pathIn(dir.path(), "donnees.BAK"), &error));
        if (kind == QLatin1String("text")) {
            TestSupport::writeFile(live, "NOM;PRENOM\nDupont;Jean\n");
        } else if (kind == QLatin1String("foreign")) {
            makeSqliteFile(live, {QStringLiteral("CREATE TABLE NOTES (TEXTE TEXT)"), QStringLiteral("INSERT INTO NOTES VALUES ('x')")});
        } else {
            QVERIFY(Schema::CreateDatabase(live, &error));
            makeSqliteFile(live, {QStringLiteral("PRAGMA user_version = 99")});
        }
        const QMap<QString, QByteArray> before = snapshot(dir.path());

        ScriptedDialogs dialogs;
        QVERIFY(!PrepareDataFolder(dir.path(), dialogs, Now));
        QCOMPARE(dialogs.shown().size(), 1);
        QVERIFY(!dialogs.shown().first().isQuestion);
        QCOMPARE(dialogs.shown().first().title, QStringLiteral("ATTENTION"));
        QVERIFY2(dialogs.shown().first().text.contains(QLatin1String("donnees.mdb")), qPrintable(dialogs.shown().first().text));
        QCOMPARE(snapshot(dir.path()), before);
    }

    // A damaged or missing live file beside a sound donnees.BAK: the copy is
    // offered; refusing touches nothing, accepting keeps the damaged file aside.
    void previousOffered_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<bool>("yes");
        QTest::newRow("damaged, Non") << false << false;
        QTest::newRow("damaged, Oui") << false << true;
        QTest::newRow("missing, Non") << true << false;
        QTest::newRow("missing, Oui") << true << true;
    }

    void previousOffered()
    {
        QFETCH(bool, missing);
        QFETCH(bool, yes);
        QTemporaryDir dir;
        const QString folder = dir.path();
        makeStartedFolder(folder);
        const QString live = DataFiles::LiveDatabase(folder);
        const QByteArray damaged = QByteArray("SQLite format 3\0", 16) + QByteArray(3000, '\x7f');
        if (missing)
            QVERIFY(QFile::remove(live));
        else
            TestSupport::writeFile(live, damaged);
        const QMap<QString, QByteArray> before = snapshot(folder);

        ScriptedDialogs dialogs;
        dialogs.queueAnswer(yes);
        QCOMPARE(PrepareDataFolder(folder, dialogs, Now), yes);
        QVERIFY(!dialogs.shown().isEmpty());
        QVERIFY(dialogs.shown().first().isQuestion);
        QCOMPARE(dialogs.shown().first().title, QStringLiteral("Confirmer"));
        QVERIFY(dialogs.shown().first().text.contains(QLatin1String("donnees.BAK")));
        if (!yes) {
            QCOMPARE(snapshot(folder), before);
            return;
        }
        QCOMPARE(dialogs.shown().size(), 1);
        QMap<QString, QByteArray> after = snapshot(folder);
        QCOMPARE(after.take("donnees.BAK"), before.value("donnees.BAK"));
        QCOMPARE(after.take("Export.vid"), before.value("Export.vid"));
        QCOMPARE(fileBytes(DataFiles::LiveDatabase(folder)), before.value("donnees.BAK"));
        after.remove(QFileInfo(DataFiles::LiveDatabase(folder)).fileName());
        if (missing) {
            QCOMPARE(after.keys(), QStringList());
        } else {
            QCOMPARE(after.size(), 1);
            QCOMPARE(after.first(), damaged);
        }
        Connection connection;
        connection.setDataFolder(folder);
        QVERIFY(connection.OpenDatabase());
        QVERIFY(connection.Data1.findFirst(QStringLiteral("NOM_ECOLE"), QStringLiteral("Ecole Jules Ferry")));
    }

    void secondCopyInSameProcess()
    {
        QTemporaryDir dir;
        InstanceLock first;
        InstanceLock second;
        QVERIFY(first.acquire(dir.path()));
        QVERIFY(!second.acquire(dir.path()));
        QVERIFY(!second.held());
        QVERIFY(first.held());
        first.release();
        QVERIFY(second.acquire(dir.path()));
    }

    // Another process holds the folder; once it dies without releasing, the
    // folder is free again.
    void secondCopyInAnotherProcess()
    {
        QTemporaryDir dir;
        QProcess child;
        child.start(QStringLiteral(DATAFOLDER_CHILD), {QStringLiteral("lock"), dir.path()});
        QVERIFY(child.waitForStarted());
        while (!child.canReadLine())
            QVERIFY2(child.waitForReadyRead(10000), child.readAllStandardError().constData());
        QCOMPARE(child.readLine(), QByteArray("ready\n"));
        InstanceLock lock;
        QVERIFY(!lock.acquire(dir.path()));
        // A copy may rightly keep the folder for days.
        QFile lockFile(QDir(dir.path()).filePath(DataFiles::LockFile));
        QVERIFY(lockFile.open(QIODevice::ReadWrite));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addDays(-30), QFileDevice::FileModificationTime));
        lockFile.close();
        QVERIFY(!lock.acquire(dir.path()));
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(lock.acquire(dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
