// velorin-sauvegarde run as the timer runs it: a dated copy of a database that
// another connection is writing, the copies kept, the refusals, a full disk.
#include "TestSupport.h"

#include "data/DataFiles.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

struct Run
{
    int exitCode = -1;
    QString output; // stdout and stderr
};

Run runTool(const QStringList &arguments, std::function<void()> inChild = {})
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    if (inChild)
        tool.setChildProcessModifier(inChild);
    tool.start(QStringLiteral(VELORIN_SAUVEGARDE_TOOL), arguments);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
        return {};
    return {tool.exitCode(), QString::fromUtf8(tool.readAll()).trimmed()};
}

QStringList pupilNames(const QString &database)
{
    SqliteSupport::RawDatabase db;
    QStringList names;
    if (!db.open(database, false, true) || !db.queryTexts(QStringLiteral("SELECT NOM FROM ELEVE ORDER BY NOM"), &names))
        return {QStringLiteral("<illisible>")};
    return names;
}

struct Folders
{
    QTemporaryDir dir;
    QString data = dir.filePath(QStringLiteral("donnees"));
    QString destination = dir.filePath(QStringLiteral("Sauvegardes"));
    Folders()
    {
        QDir().mkpath(data);
        QDir().mkpath(destination);
        createEmptyDataFolder(data);
        insertRow(data, QStringLiteral("ELEVE"), {{QStringLiteral("NOM"), QStringLiteral("Alice")}});
    }
    QString live() const { return DataFiles::LiveDatabase(data); }
};

const QRegularExpression DatedName(QStringLiteral("^donnees-\\d{8}-\\d{6}\\.mdb$"));

} // namespace

class TestScheduledBackup : public QObject
{
    Q_OBJECT

private slots:
    // The program holds the database open, with a commit just made and a
    // write transaction pending: the copy holds what was committed, and the
    // program's transaction then commits.
    void copiesWhileTheProgramWrites()
    {
        Folders f;
        SqliteSupport::RawDatabase program;
        QVERIFY(program.open(f.live(), false));
        QVERIFY(program.exec(QStringLiteral("INSERT INTO ELEVE (NOM) VALUES ('Bruno')")));
        QVERIFY(program.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QVERIFY(program.exec(QStringLiteral("INSERT INTO ELEVE (NOM) VALUES ('Chloé')")));
        const Run run = runTool({f.data, f.destination});
        QCOMPARE(run.exitCode, 0);
        const QStringList copies = fileNames(f.destination);
        QCOMPARE(copies.size(), 1);
        QVERIFY2(DatedName.match(copies.first()).hasMatch(), qPrintable(copies.first()));
        QCOMPARE(run.output,
                 QStringLiteral("Sauvegarde réussie : « %1 » (1 copie(s) datée(s) gardée(s), 0 supprimée(s)).")
                     .arg(QDir(f.destination).filePath(copies.first())));
        QCOMPARE(pupilNames(QDir(f.destination).filePath(copies.first())), (QStringList{"Alice", "Bruno"}));
        QVERIFY(program.exec(QStringLiteral("COMMIT")));
        QCOMPARE(pupilNames(f.live()), (QStringList{"Alice", "Bruno", "Chloé"}));
    }

    // The N most recent dated copies stay, the new one among them; no other
    // file is touched, however close its name.
    void keepsTheMostRecent()
    {
        Folders f;
        const QDir destination(f.destination);
        for (int day = 1; day <= 12; ++day)
            writeFile(
                destination.filePath(QStringLiteral("donnees-202001%1-120000.mdb").arg(day, 2, 10, QLatin1Char('0'))),
                "ancienne");
        const QStringList others = {"Donnees-20190101-120000.mdb", "donnees-20190101-120000.mdb.bak",
                                    "donnees-2019.mdb", "donnees.mdb", "notes.txt"};
        for (const QString &name : others)
            writeFile(destination.filePath(name), "autre");
        const Run run = runTool({f.data, f.destination, "--garder", "3"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.output.endsWith("(3 copie(s) datée(s) gardée(s), 10 supprimée(s))."));
        QStringList left = fileNames(f.destination);
        for (const QString &name : others)
            QVERIFY(left.removeOne(name));
        QCOMPARE(left.size(), 3);
        QCOMPARE(left.mid(0, 2), (QStringList{"donnees-20200111-120000.mdb", "donnees-20200112-120000.mdb"}));
        QVERIFY(left.last() > "donnees-2026");
    }

    // Refused (exit 1, one line, nothing written): what cannot be a backup.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments"); // DATA, DEST, FILE, EMPTY, ROOT stand for folders of the test
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("one folder") << QStringList{"DATA"};
        QTest::newRow("no count") << QStringList{"DATA", "DEST", "--garder"};
        QTest::newRow("count 0") << QStringList{"DATA", "DEST", "--garder", "0"};
        QTest::newRow("count not a number") << QStringList{"DATA", "DEST", "--garder", "dix"};
        QTest::newRow("unknown option") << QStringList{"DATA", "DEST", "--vite"};
        QTest::newRow("no database") << QStringList{"EMPTY", "DEST"};
        QTest::newRow("destination is a file") << QStringList{"DATA", "FILE"};
        QTest::newRow("destination is the data folder") << QStringList{"DATA", "DATA/."};
        QTest::newRow("destination two levels missing") << QStringList{"DATA", "ROOT/a/b"};
        if (::geteuid() != 0) // the superuser writes anywhere
            QTest::newRow("destination not writable") << QStringList{"DATA", "LOCKED"};
    }

    void refusals()
    {
        QFETCH(QStringList, arguments);
        Folders f;
        const QString empty = f.dir.filePath("vide"), locked = f.dir.filePath("protege"), file = f.dir.filePath("f");
        QVERIFY(QDir().mkpath(empty) && QDir().mkpath(locked));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        writeFile(file, "fichier");
        for (QString &argument : arguments)
            argument.replace("DATA", f.data)
                .replace("DEST", f.destination)
                .replace("EMPTY", empty)
                .replace("LOCKED", locked)
                .replace("FILE", file)
                .replace("ROOT", f.dir.path());
        const QStringList before = fileNames(f.data);
        const Run run = runTool(arguments);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(!run.output.isEmpty() && !run.output.startsWith("Sauvegarde réussie"));
        QCOMPARE(fileNames(f.destination), QStringList());
        QCOMPARE(fileNames(locked), QStringList());
        QCOMPARE(fileNames(f.data), before);
    }

    // A disk that fills up (the tool's file size limited as a full disk
    // would): failure (exit 2), no partial copy, the earlier copies kept.
    void fullDisk()
    {
        Folders f;
        QVERIFY(QFileInfo(f.live()).size() > 16 * 1024);
        QCOMPARE(runTool({f.data, f.destination}).exitCode, 0);
        const QStringList earlier = fileNames(f.destination);
        QTest::qWait(1100); // another second: another name
        const Run run = runTool({f.data, f.destination, "--garder", "1"}, [] {
            std::signal(SIGXFSZ, SIG_IGN); // writes past the limit fail with EFBIG instead of killing
            const rlimit limit{16 * 1024, 16 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.output.startsWith("Échec de la sauvegarde : ") && run.output.contains("disque plein"),
                 qPrintable(run.output));
        QDir destination(f.destination);
        QCOMPARE(destination.entryList(QDir::Files | QDir::Hidden), earlier);
    }
};

QTEST_GUILESS_MAIN(TestScheduledBackup)
#include "tst_scheduledbackup.moc"
