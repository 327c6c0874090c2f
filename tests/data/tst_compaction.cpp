// The compaction run at every start, and what the next start makes of a compaction or a transaction cut short.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/Compaction.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/Migration.h"
#include "data/StartupSequence.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace TestSupport;

namespace {

const QStringList NormalFiles = {"Export.vid", "donnees.BAK", "donnees.MDB"};
const char *stopAfter = "";

// A folder whose name has spaces, accents and quotes, as teachers' folders have, with `pupils` pupils with results.
QString makeFolder(const QTemporaryDir &dir, int pupils)
{
    const QString folder = QDir(dir.path()).filePath(QStringLiteral("Données de l'école \"CP\""));
    QDir().mkpath(folder);
    createEmptyDataFolder(folder);
    execSql(folder,
            QStringLiteral("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole \"Tilleuls\"');"
                           "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE) VALUES (1, 1, 'CP A'), (2, 1, 'CE1');"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                           "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1PRO, MOYCAT_L) "
                           "SELECT 1, 1 + i % 2, 'Élève \"' || i || '\"', i % 9, i % 4, 'A', 2.5 FROM n")
                .arg(pupils));
    return folder;
}

// Everything the user keeps, and the schema stamp, read through the program's connection.
QStringList content(const QString &folder)
{
    Connection c;
    c.setDataFolder(folder);
    QStringList all{QStringLiteral("version %1").arg(c.OpenDatabase() ? Migration::FileVersion(c.database()) : -1)};
    for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "IMPORTE", "PARCOURS", "CHANGEANNEE"})
        all += QStringList(QLatin1String(table)) + tableRows(c.database(), QLatin1String(table));
    return all;
}

// The next start, as the program runs it: nothing may be asked and nothing lost (the rows
// lost are added to `lost`).
void restartAndCompare(const QString &folder, const QStringList &expected, int *lost = nullptr)
{
    Connection connection;
    connection.setDataFolder(folder);
    ScriptedDialogs dialogs;
    QVERIFY(StartDatabase(connection, dialogs, QDateTime(QDate(2024, 3, 15), QTime(10, 30))) &&
            dialogs.titles().isEmpty());
    const QStringList actual = content(folder);
    if (lost)
        *lost += rowsMissing(expected, actual);
    QCOMPARE(fileNames(folder), NormalFiles);
    QCOMPARE(actual, expected);
}

bool startChild(QProcess &child, const char *mode, const QString &folder)
{
    child.start(QStringLiteral(DATAFOLDER_CHILD), {QLatin1String(mode), folder});
    return child.waitForReadyRead(10000) && child.readLine() == "ready\n";
}

} // namespace

class TestCompaction : public QObject
{
    Q_OBJECT

private slots:
    // The live file under any letter case, with what earlier sessions left beside it: a journal whose header was
    // never written (killed before its first sync) is not hot, the engine ignores it.
    void compaction_data()
    {
        QTest::addColumn<bool>("freePages");
        QTest::addColumn<QString>("liveName");
        QTest::addColumn<QStringList>("leftovers");
        QTest::newRow("free pages") << true << "donnees.mdb" << QStringList();
        QTest::newRow("names in capitals, journal of a killed session")
            << false << "DONNEES.MDB" << QStringList{"DONNEES2.MDB", "DONNEES.bak", "DONNEES.MDB-journal"};
        QTest::newRow("free pages, mixed case") << true << "Donnees.Mdb" << QStringList{"Donnees2.mdb", "donnees.bak"};
    }

    void compaction()
    {
        QFETCH(bool, freePages);
        QFETCH(QString, liveName);
        QFETCH(QStringList, leftovers);
        QTemporaryDir dir;
        const QString folder = makeFolder(dir, 300);
        if (freePages)
            execSql(folder, "INSERT INTO IMPORTE (NOM) SELECT hex(randomblob(400)) FROM ELEVE; DELETE FROM IMPORTE");
        QVERIFY(liveName == DataFiles::Database ||
                QFile::rename(DataFiles::LiveDatabase(folder), QDir(folder).filePath(liveName)));
        for (const QString &name : leftovers)
            writeFile(QDir(folder).filePath(name), name.endsWith("-journal") ? QByteArray(4616, '\0') : "left over");
        const QStringList before = content(folder);
        const QByteArray previous = fileBytes(QDir(folder).filePath(liveName));
        CompactionReport report;
        QVERIFY(CompactDatabase(folder, nullptr, &report));
        QCOMPARE(report.rebuilt, freePages);
        QCOMPARE(fileNames(folder), NormalFiles);
        QCOMPARE(fileBytes(QDir(folder).filePath(DataFiles::PreviousDatabase)), previous);
        QVERIFY(!freePages || QFileInfo(DataFiles::LiveDatabase(folder)).size() < previous.size());
        QCOMPARE(content(folder), before);
    }

    // A start cut short after any step, a half-written target beside the live file, a transaction whose process was
    // killed after some of its pages reached the file (hot journal), or a process compacting in a loop killed at
    // random moments: the next start completes, redoes or rolls back the work without asking, and so does the
    // compaction alone.
    void interrupted_data()
    {
        QTest::addColumn<QByteArray>("cut");
        for (const char *cut :
             {"target-removed", "compacted", "backup-removed", "live-renamed", "target-renamed", "noisy target",
              "truncated target", "hot journal", "hot journal, compaction alone", "killed at random moments"})
            QTest::newRow(cut) << QByteArray(cut);
    }

    void interrupted()
    {
        QFETCH(QByteArray, cut);
        QTemporaryDir dir;
        // An older donnees.BAK must never win over the live file.
        const QString folder = makeFolder(dir, 250);
        QVERIFY(CompactDatabase(folder, nullptr));
        execSql(folder, "UPDATE ELEVE SET CSP = CSP + 10");
        const QStringList expected = content(folder);
        const QString live = DataFiles::LiveDatabase(folder);
        const QByteArray committed = fileBytes(live);
        QString error;
        if (cut.startsWith("hot journal")) {
            QProcess child;
            QVERIFY(startChild(child, "hold", folder));
            QVERIFY(QFile::exists(live + "-journal") && fileBytes(live) != committed);
            child.kill();
            QVERIFY(child.waitForFinished());
            QVERIFY(!cut.endsWith("alone") || (CompactDatabase(folder, &error) && fileNames(folder) == NormalFiles));
        } else if (cut.startsWith("killed")) {
            QRandomGenerator random(20240315);
            KillTally tally("compaction loop", 8);
            while (tally.more() && !QTest::currentTestFailed()) {
                QProcess child;
                QVERIFY(startChild(child, "loop", folder));
                // After a first full round, so that a slow machine still kills mid-work.
                while (child.bytesAvailable() == 0)
                    QVERIFY2(child.waitForReadyRead(10000), child.readAllStandardError().constData());
                QThread::msleep(random.bounded(1, 80));
                QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
                child.kill();
                QVERIFY(child.waitForFinished());
                ++tally.kills;
                restartAndCompare(folder, expected, &tally.lost);
            }
        } else if (cut.endsWith("target")) {
            writeFile(QDir(folder).filePath(DataFiles::CompactionTarget),
                      cut.startsWith("noisy") ? QByteArray("SQLite format 3\0", 16) + QByteArray(5000, 'x')
                                              : committed.left(committed.size() / 2));
        } else {
            stopAfter = cut.constData();
            QVERIFY(!CompactDatabase(folder, &error, nullptr,
                                     [](const char *step) { return qstrcmp(step, stopAfter) != 0; }));
            QVERIFY(error.contains(QLatin1String(cut)));
        }
        restartAndCompare(folder, expected);
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "tst_compaction.moc"
