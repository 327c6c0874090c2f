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
    // The program holds the database open, with a commit just made and a write transaction pending: the copy
    // holds what was committed, and the program's transaction then commits. Then the N most recent dated copies
    // stay, the new one among them, and no other file is touched, however close its name. Then a disk that fills
    // up (the tool's file size limited as a full disk would): failure (exit 2), no partial copy, nothing deleted.
    void copiesKeepsAndFullDisk()
    {
        Folders f;
        SqliteSupport::RawDatabase program;
        QVERIFY(program.open(f.live(), false) && program.exec("INSERT INTO ELEVE (NOM) VALUES ('Bruno')"));
        QVERIFY(program.exec("BEGIN IMMEDIATE") && program.exec("INSERT INTO ELEVE (NOM) VALUES ('Chloé')"));
        Run run = runTool({f.data, f.destination});
        QCOMPARE(run.exitCode, 0);
        const QDir destination(f.destination);
        const QString first = fileNames(f.destination).join(',');
        QVERIFY2(DatedName.match(first).hasMatch(), qPrintable(first));
        QCOMPARE(run.output,
                 QStringLiteral("Sauvegarde réussie : « %1 » (1 copie(s) datée(s) gardée(s), 0 supprimée(s)).")
                     .arg(destination.filePath(first)));
        QCOMPARE(pupilNames(destination.filePath(first)), (QStringList{"Alice", "Bruno"}));
        QVERIFY(program.exec("COMMIT"));
        QCOMPARE(pupilNames(f.live()), (QStringList{"Alice", "Bruno", "Chloé"}));

        for (int day = 1; day <= 12; ++day)
            writeFile(destination.filePath(QStringLiteral("donnees-202001%1-120000.mdb").arg(day, 2, 10, QChar('0'))),
                      "ancienne");
        const QStringList others = {"Donnees-20190101-120000.mdb", "donnees-20190101-120000.mdb.bak",
                                    "donnees-2019.mdb", "donnees.mdb", "notes.txt"};
        for (const QString &name : others)
            writeFile(destination.filePath(name), "autre");
        QTest::qWait(1100); // another second: another name
        run = runTool({f.data, f.destination, "--garder", "3"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.output.endsWith("(3 copie(s) datée(s) gardée(s), 11 supprimée(s))."), qPrintable(run.output));
        QStringList left = fileNames(f.destination);
        for (const QString &name : others)
            QVERIFY(left.removeOne(name));
        QCOMPARE(left.mid(0, 2), (QStringList{"donnees-20200112-120000.mdb", first}));
        QVERIFY(left.size() == 3 && left.last() > first);

        QVERIFY(QFileInfo(f.live()).size() > 16 * 1024);
        const QStringList kept = destination.entryList(QDir::Files | QDir::Hidden);
        QTest::qWait(1100);
        run = runTool({f.data, f.destination, "--garder", "1"}, [] {
            std::signal(SIGXFSZ, SIG_IGN); // writes past the limit fail with EFBIG instead of killing
            const rlimit limit{16 * 1024, 16 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.output.startsWith("Échec de la sauvegarde : ") && run.output.contains("disque plein"),
                 qPrintable(run.output));
        QCOMPARE(destination.entryList(QDir::Files | QDir::Hidden), kept);
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
        const QStringList names{"DATA",   f.data, "DEST", f.destination, "EMPTY", empty,
                                "LOCKED", locked, "FILE", file,          "ROOT",  f.dir.path()};
        for (qsizetype i = 0; i < names.size(); i += 2)
            arguments.replaceInStrings(names.at(i), names.at(i + 1));
        const QStringList before = fileNames(f.data);
        const Run run = runTool(arguments);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(!run.output.isEmpty() && !run.output.startsWith("Sauvegarde réussie"));
        QCOMPARE(fileNames(f.destination), QStringList());
        QCOMPARE(fileNames(locked), QStringList());
        QCOMPARE(fileNames(f.data), before);
    }
};

QTEST_GUILESS_MAIN(TestScheduledBackup)
#include "tst_scheduledbackup.moc"
