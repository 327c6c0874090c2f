// The compaction run at every start, and what the next start makes of a compaction or a transaction cut short.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/Compaction.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/DatabaseStartup.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using TestSupport::fileBytes;
using TestSupport::fileNames;

namespace {

const QDateTime Now(QDate(2024, 3, 15), QTime(10, 30));
const QStringList NormalFiles = {QStringLiteral("Export.vid"), QStringLiteral("donnees.BAK"), QStringLiteral("donnees.MDB")};

const char *stopAfter = "";
bool stopHook(const char *step) { return qstrcmp(step, stopAfter) != 0; }
QString pathIn(const QString &folder, const QString &name) { return QDir(folder).filePath(name); }

void run(const QString &folder, const QString &sql)
{
    Connection c;
    c.setDataFolder(folder);
    QVERIFY(c.OpenDatabase());
    QString error;
    QVERIFY2(c.execute(sql, {}, &error), qPrintable(error));
}

// Pupils numbered first to first + count - 1, with results, in both classes of school 1.
void addPupils(const QString &folder, int first, int count)
{
    run(folder, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) "
                               "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1PRO, MOYCAT_L) "
                               "SELECT 1, 1 + i % 2, 'Élève \"' || i || '\"', i % 9, i % 4, 'A', 2.5 FROM n")
                    .arg(first)
                    .arg(first + count - 1));
}

void makeFolder(const QString &folder, int pupils)
{
    TestSupport::createEmptyDataFolder(folder);
    run(folder, QStringLiteral("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole Jules Ferry'), (2, 'Ecole \"Les Tilleuls\"')"));
    run(folder, QStringLiteral("INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU) VALUES (1, 1, 'CP A', 'CP'), (2, 1, 'CE1', 'CE1')"));
    addPupils(folder, 0, pupils);
}

// Everything the user keeps, and the schema stamp, read through the program's connection.
QStringList content(const QString &folder)
{
    Connection c;
    c.setDataFolder(folder);
    if (!c.OpenDatabase())
        return {QStringLiteral("<cannot open>")};
    QSqlQuery version(c.database());
    version.exec(QStringLiteral("PRAGMA user_version"));
    QStringList all{QStringLiteral("version ") + (version.next() ? version.value(0).toString() : QString())};
    version.finish();
    for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "IMPORTE", "PARCOURS", "CHANGEANNEE"}) {
        all.append(QStringLiteral("== ") + QLatin1String(table));
        all += TestSupport::tableRows(c.database(), QLatin1String(table));
    }
    return all;
}

// What the next start does: prepare the folder, compact, open. Nothing may be
// asked and nothing lost.
void restartAndCompare(const QString &folder, const QStringList &expected)
{
    ScriptedDialogs dialogs;
    QVERIFY(PrepareDataFolder(folder, dialogs, Now));
    QCOMPARE(dialogs.titles(), QStringList());
    QString error;
    QVERIFY2(CompactDatabase(folder, &error), qPrintable(error));
    QCOMPARE(fileNames(folder), NormalFiles);
    QCOMPARE(content(folder), expected);
}

// Teachers' folders have spaces, accents and quotes in their names.
QString dataFolderIn(const QTemporaryDir &dir)
{
    const QString folder = QDir(dir.path()).filePath(QStringLiteral("Données de l'école \"CP\""));
    return QDir().mkpath(folder) ? folder : QString();
}

bool startChild(QProcess &child, const char *mode, const QString &folder)
{
    child.start(QStringLiteral(DATAFOLDER_CHILD), {QLatin1String(mode), folder});
    if (!child.waitForStarted())
        return false;
    while (!child.canReadLine())
        if (!child.waitForReadyRead(10000))
            return false;
    return child.readLine() == "ready\n";
}

} // namespace

class TestCompaction : public QObject
{
    Q_OBJECT

private slots:
    void compaction_data()
    {
        QTest::addColumn<bool>("freePages");
        QTest::addColumn<QString>("liveName");
        QTest::addColumn<QStringList>("leftovers");
        QTest::newRow("nothing to reclaim") << false << "donnees.mdb" << QStringList();
        QTest::newRow("free pages") << true << "donnees.mdb" << QStringList();
        QTest::newRow("names in capitals") << false << "DONNEES.MDB" << QStringList{"DONNEES2.MDB", "DONNEES.bak"};
        QTest::newRow("free pages, mixed case") << true << "Donnees.Mdb" << QStringList{"Donnees2.mdb", "donnees.bak"};
        QTest::newRow("as left by the last start") << false << "donnees.MDB" << QStringList{"donnees.BAK"};
        QTest::newRow("journal of a killed session") << false << "donnees.MDB" << QStringList{"donnees.MDB-journal"};
    }

    void compaction()
    {
        QFETCH(bool, freePages);
        QFETCH(QString, liveName);
        QFETCH(QStringList, leftovers);
        QTemporaryDir dir;
        const QString folder = dataFolderIn(dir);
        makeFolder(folder, 300);
        if (freePages) {
            run(folder, QStringLiteral("INSERT INTO IMPORTE (NOM) SELECT hex(randomblob(400)) FROM ELEVE"));
            run(folder, QStringLiteral("DELETE FROM IMPORTE"));
        }
        if (liveName != DataFiles::Database)
            QVERIFY(QFile::rename(pathIn(folder, DataFiles::Database), pathIn(folder, liveName)));
        // A journal whose header was never written (killed before its first
        // sync) is not hot: the engine ignores it.
        for (const QString &name : leftovers)
            TestSupport::writeFile(pathIn(folder, name), name.endsWith(QLatin1String("-journal")) ? QByteArray(4616, '\0') : "left over");
        const QStringList before = content(folder);
        const QByteArray previous = fileBytes(pathIn(folder, liveName));

        CompactionReport report;
        QString error;
        QVERIFY2(CompactDatabase(folder, &error, &report), qPrintable(error));
        QCOMPARE(report.rebuilt, freePages);
        QCOMPARE(fileNames(folder), NormalFiles);
        QCOMPARE(fileBytes(pathIn(folder, DataFiles::PreviousDatabase)), previous);
        const qint64 size = QFileInfo(pathIn(folder, DataFiles::CompactedDatabase)).size();
        if (freePages)
            QVERIFY2(size < previous.size(), qPrintable(QStringLiteral("%1 >= %2").arg(size).arg(previous.size())));
        QCOMPARE(content(folder), before);
    }

    // A start cut short after any step, a half-written target beside the live
    // file, or a transaction whose process was killed after some of its pages
    // reached the file (hot journal): the next start completes, redoes or rolls
    // back the work without asking, and so does the compaction alone.
    void interrupted_data()
    {
        QTest::addColumn<QByteArray>("cut");
        for (const char *step : {"target-removed", "compacted", "backup-removed", "live-renamed", "target-renamed"})
            QTest::newRow(step) << QByteArray(step);
        for (const char *cut : {"noisy target", "truncated target", "hot journal", "hot journal, compaction alone"})
            QTest::newRow(cut) << QByteArray(cut);
    }

    void interrupted()
    {
        QFETCH(QByteArray, cut);
        QTemporaryDir dir;
        const QString folder = dataFolderIn(dir);
        // An older donnees.BAK (200 pupils) must never win over the live file (250).
        makeFolder(folder, 200);
        QVERIFY(CompactDatabase(folder, nullptr));
        addPupils(folder, 200, 50);
        const QStringList expected = content(folder);
        const QString live = DataFiles::LiveDatabase(folder);
        const QByteArray committed = fileBytes(live);

        if (cut.startsWith("hot journal")) {
            QProcess child;
            QVERIFY(startChild(child, "hold", folder));
            QVERIFY(QFile::exists(live + QStringLiteral("-journal")));
            QVERIFY(fileBytes(live) != committed);
            child.kill();
            QVERIFY(child.waitForFinished());
            QString error;
            if (cut.endsWith("compaction alone")) {
                QVERIFY2(CompactDatabase(folder, &error), qPrintable(error));
                QCOMPARE(fileNames(folder), NormalFiles);
            }
        } else if (cut.endsWith("target")) {
            TestSupport::writeFile(pathIn(folder, DataFiles::CompactionTarget),
                                   cut.startsWith("noisy")
                                       ? QByteArray("SQLite format 3\0", 16) + QByteArray(5000, 'x')
                                       : committed.left(committed.size() / 2));
        } else {
            stopAfter = cut.constData();
            QString error;
            QVERIFY(!CompactDatabase(folder, &error, nullptr, stopHook));
            QVERIFY(error.contains(QLatin1String(cut)));
        }
        restartAndCompare(folder, expected);
    }

    // A process compacting in a loop, killed at random moments: each time the
    // next start finds every row.
    void killedAtRandomMoments()
    {
        QTemporaryDir dir;
        const QString folder = dataFolderIn(dir);
        makeFolder(folder, 400);
        const QStringList expected = content(folder);
        QRandomGenerator random(20240315);
        for (int kill = 0; kill < 8; ++kill) {
            QProcess child;
            QVERIFY(startChild(child, "loop", folder));
            // After a first full round, so that a slow machine still kills mid-work.
            while (child.bytesAvailable() == 0)
                QVERIFY2(child.waitForReadyRead(10000), child.readAllStandardError().constData());
            QThread::msleep(random.bounded(1, 80));
            QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
            child.kill();
            QVERIFY(child.waitForFinished());
            restartAndCompare(folder, expected);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "tst_compaction.moc"
