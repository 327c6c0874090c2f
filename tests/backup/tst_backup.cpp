// Backup and restore through the main window's toolbar, with every fault
// the file steps can meet, and a process killed while backing up.
#include "TestSupport.h"

#include "backup/BackupCommands.h"
#include "common/ScriptedDialogs.h"
#include "data/Compaction.h"
#include "data/DataFiles.h"
#include "data/DatabaseStartup.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

using TestSupport::fileBytes;
using TestSupport::fileNames;

namespace {

const QString BackupFailed = QStringLiteral("La sauvegarde de la base de données à échouée !");
const QString RestoreGivenUp = QStringLiteral("La procédure de restauration a été abandonnée !");
const QString Temp = QStringLiteral("donnees.mdb.tmp");

void run(const QString &folder, const QString &sql)
{
    SqliteSupport::RawDatabase db;
    QVERIFY(db.open(DataFiles::LiveDatabase(folder), false));
    QVERIFY2(db.exec(sql), qPrintable(db.error()));
}

// Schools with a CP class each, pupils with results, archived pupils and a logged change.
void makeFolder(const QString &folder, const QStringList &schools, int pupils)
{
    TestSupport::createEmptyDataFolder(folder);
    QString sql = QStringLiteral("BEGIN;");
    for (int s = 0; s < schools.size(); ++s) {
        QString name = schools.at(s);
        name.replace(QLatin1Char('\''), QLatin1String("''"));
        sql += QStringLiteral("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (%1, '%2');"
                              "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU) VALUES (1, %1, 'CP A', 'CP');")
                   .arg(s + 1)
                   .arg(name);
    }
    sql += QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                          "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1TOT, T1_E1PRO, MOYCAT_L) "
                          "SELECT 1 + i % %2, 1, 'Élève \"' || i || '\"', 1 + i % 7, i % 4, i % 9, 'A', 2.5 FROM n;"
                          "INSERT INTO PARCOURS (ANNEE, Niveau, NOECOLE, NOCLASSE, NOM, CSP) "
                          "SELECT '2024-2025', 'GS', NOECOLE, NOCLASSE, NOM, CSP FROM ELEVE;"
                          "INSERT INTO CHANGEANNEE (NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE) "
                          "VALUES (1, 1, '2024-2025', 3, '2025-07-04T17:00:00', 'Année 2024-2025');COMMIT;")
               .arg(pupils)
               .arg(schools.size());
    run(folder, sql);
}

// Every row the user keeps, read from the folder's database on its own connection.
QStringList content(const QString &folder)
{
    Connection c;
    c.setDataFolder(folder);
    if (!c.OpenDatabase())
        return {QStringLiteral("<cannot open>")};
    QStringList all;
    for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "PARCOURS", "CHANGEANNEE"})
        for (const QString &row : TestSupport::tableRows(c.database(), QLatin1String(table)))
            all.append(QLatin1String(table) + QLatin1Char(':') + row);
    return all;
}

int missing(const QStringList &before, const QStringList &after)
{
    int lost = 0;
    for (const QString &row : before)
        lost += after.contains(row) ? 0 : 1;
    return lost;
}

QByteArray flipped(QByteArray bytes, qint64 from, qint64 count)
{
    for (qint64 i = from; i < from + count && i < bytes.size(); ++i)
        bytes[i] = char(bytes[i] ^ 0x5A);
    return bytes;
}

// Makes `folder` unwritable (permissions, and the immutable flag for a
// superuser); false when that cannot be done here.
bool lock(const QString &folder, bool on)
{
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | (on ? QFile::Permissions() : QFile::WriteOwner));
    if (::geteuid() == 0) // permissions do not stop a superuser
        QProcess::execute(QStringLiteral("chattr"), {QString::fromLatin1(on ? "+i" : "-i"), folder});
    QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
    return !on || (!probe.open(QIODevice::WriteOnly) || (probe.remove(), false));
}

struct Fixture
{
    QTemporaryDir dir;
    QString data = QDir(dir.path()).filePath(QStringLiteral("Données de l'école"));
    QString backups = QDir(dir.path()).filePath(QStringLiteral("Clé USB"));
    ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2026, 3, 16), QTime(9, 0))};
    AppContext context{dialogs, clock};
    std::unique_ptr<Form1> window;

    Fixture()
    {
        QDir().mkpath(data);
        QDir().mkpath(backups);
        makeFolder(data, {QStringLiteral("Ecole Jules Ferry"), QStringLiteral("Ecole \"Les Tilleuls\"")}, 40);
    }
    bool start()
    {
        context.connection.setDataFolder(data);
        window = std::make_unique<Form1>(context);
        ConnectBackupAndTransfers(*window, context);
        return window->Form_Activate();
    }
    // A database of other schools, written into the backup folder under `name`.
    QByteArray otherBackup(const QString &name)
    {
        const QString other = QDir(dir.path()).filePath(QStringLiteral("autre"));
        QDir(other).removeRecursively();
        QDir().mkpath(other);
        makeFolder(other, {QStringLiteral("Ecole des Sources")}, 5);
        const QByteArray bytes = fileBytes(DataFiles::LiveDatabase(other));
        TestSupport::writeFile(QDir(backups).filePath(name), bytes);
        return bytes;
    }
    const ScriptedDialogs::Shown &last() const { return dialogs.shown().constLast(); }
};

int faultsTried = 0;
int rowsLost = 0;

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase()
    {
        qInfo("fault injection (backup and restore): %d faults tried, %d rows lost", faultsTried, rowsLost);
    }

    // Given up, nothing happens. Then an earlier backup named in capitals is
    // replaced by one "donnees.mdb" and the start-up sequence runs again
    // (compaction, first school selected).
    void backupReplacesEarlierOneAndRestarts()
    {
        Fixture f;
        QVERIFY(f.start());
        f.window->Toolbar2_ButtonClick(QStringLiteral("Sauvegarde"));
        QCOMPARE(f.dialogs.titles(), (QStringList{"Chooser: Choisir le répertoire de destination", "Abandon"}));
        QCOMPARE(f.last().text, QStringLiteral("La procédure de sauvegarde a été abandonnée !"));
        QVERIFY(f.context.connection.isOpen());
        f.dialogs.clear();
        f.otherBackup(QStringLiteral("DONNEES.MDB"));
        f.window->schoolList()->setCurrentRow(1);
        const QStringList before = content(f.data);
        const QByteArray live = fileBytes(DataFiles::LiveDatabase(f.data));
        f.dialogs.queueChoice(f.backups + QLatin1Char('/'));
        f.window->Toolbar2_ButtonClick(QStringLiteral("Sauvegarde"));

        QCOMPARE(f.dialogs.titles(), (QStringList{"Chooser: Choisir le répertoire de destination", "Succès"}));
        QCOMPARE(f.dialogs.shown().first().text, QStringLiteral("*.mdb"));
        QVERIFY(f.context.state.ChooserFolderMode);
        QCOMPARE(f.last().text, QStringLiteral("Sauvegarde réussie !"));
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        QCOMPARE(fileBytes(QDir(f.backups).filePath("donnees.mdb")), live);
        // Compacted once more: the live file as it was is now donnees.BAK.
        QCOMPARE(fileBytes(QDir(f.data).filePath("donnees.BAK")), live);
        QCOMPARE(content(f.data), before);
        QVERIFY(f.context.connection.isOpen());
        QCOMPARE(f.window->schoolList()->currentRow(), 0);
        QCOMPARE(f.window->pupilList()->count(), 20);
    }

    // Given up, nothing happens. Then the backup folder's "donnees.mdb"
    // comes back, whatever file was highlighted.
    void restoreTakesDonneesMdbOfTheFolder()
    {
        Fixture f;
        QVERIFY(f.start());
        f.window->Toolbar2_ButtonClick(QStringLiteral("Restaure"));
        QCOMPARE(f.last().title, QStringLiteral("Abandon"));
        QCOMPARE(f.last().text, RestoreGivenUp);
        QVERIFY(f.context.connection.isOpen());
        f.dialogs.clear();
        f.otherBackup(QStringLiteral("donnees.mdb"));
        const QStringList restored = content(f.backups);
        TestSupport::writeFile(QDir(f.backups).filePath("autre.mdb"), "not even a database");
        f.dialogs.queueChoice(f.backups, QStringLiteral("autre.mdb"));
        f.window->Toolbar2_ButtonClick(QStringLiteral("Restaure"));

        QCOMPARE(f.dialogs.titles(), (QStringList{"Chooser: Choisir le répertoire de destination", "Succès"}));
        QVERIFY(!f.context.state.ChooserFolderMode);
        QCOMPARE(f.last().text, QStringLiteral("Restauration réussie !"));
        QCOMPARE(content(f.data), restored);
        // The live file was replaced under its own name: never two case variants.
        QCOMPARE(fileNames(f.data), (QStringList{"Export.vid", "donnees.BAK", "donnees.MDB"}));
        QCOMPARE(f.window->schoolList()->count(), 1);
        QCOMPARE(f.window->schoolList()->currentItem()->text(), QStringLiteral("Ecole des Sources"));
        QCOMPARE(f.window->pupilList()->count(), 5);
    }

    void backupFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<double>("limit");   // share of the file written before the disk is full
        QTest::addColumn<QString>("reason"); // part of the message's explanation
        QTest::newRow("unwritable folder") << "unwritable" << -1.0 << "Impossible d'écrire";
        QTest::newRow("full disk at once") << "full" << 0.0 << "No space left on device";
        QTest::newRow("full disk midway") << "full" << 0.5 << "No space left on device";
        QTest::newRow("full disk at the last byte") << "full" << 0.9999 << "No space left on device";
        QTest::newRow("folder removed") << "gone" << -1.0 << "introuvable";
        QTest::newRow("rename refused") << "rename" << -1.0 << "Impossible de remplacer";
        QTest::newRow("crash after the copy") << "copied" << -1.0 << "interrompue";
        QTest::newRow("crash after the check") << "checked" << -1.0 << "interrompue";
    }

    // The live database, the earlier backup and every row survive; the
    // connection is back on the same selection; the next backup succeeds.
    void backupFaults()
    {
        QFETCH(QString, fault);
        QFETCH(double, limit);
        QFETCH(QString, reason);
        Fixture f;
        QVERIFY(f.start());
        const QByteArray earlier = f.otherBackup(QStringLiteral("DONNEES.MDB"));
        const QStringList earlierRows = content(f.backups);
        f.window->schoolList()->setCurrentRow(1);
        const QStringList before = content(f.data);
        const QStringList dataFiles = fileNames(f.data);
        const QString live = DataFiles::LiveDatabase(f.data);

        BackupFiles::Faults faults;
        QString chosen = f.backups;
        if (fault == QLatin1String("unwritable"))
            faults.unwritableFolder = !lock(f.backups, true);
        if (fault == QLatin1String("full"))
            faults.writeLimit = qint64(limit * QFileInfo(live).size());
        if (fault == QLatin1String("gone"))
            chosen = QDir(f.backups).filePath("retirée");
        if (fault == QLatin1String("rename"))
            QVERIFY(QDir(f.backups).mkdir("donnees.mdb"));
        const QByteArray step = fault.toLatin1();
        if (step == "copied" || step == "checked")
            faults.afterStep = [step](const char *s) { return step != s; };
        f.dialogs.queueChoice(chosen);
        RunBackup(*f.window, f.context, faults);
        lock(f.backups, false);
        ++faultsTried;

        QCOMPARE(f.last().title, QStringLiteral("ATTENTION"));
        QVERIFY2(f.last().text.startsWith(BackupFailed + "\n\n") && f.last().text.contains(reason),
                 qPrintable(f.last().text));
        const QStringList after = content(f.data);
        rowsLost += missing(before, after) + missing(earlierRows, content(f.backups));
        QCOMPARE(after, before);
        QCOMPARE(fileNames(f.data), dataFiles);
        QCOMPARE(fileBytes(QDir(f.backups).filePath("DONNEES.MDB")), earlier);
        QStringList expected{"DONNEES.MDB"};
        if (!faults.afterStep && fault == QLatin1String("rename"))
            expected.append("donnees.mdb");
        QStringList found = QDir(f.backups).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        found.removeAll(Temp); // a crash leaves its temporary copy
        found.sort(Qt::CaseSensitive);
        QCOMPARE(found, expected);
        QVERIFY(faults.afterStep || !QFile::exists(QDir(f.backups).filePath(Temp)));
        QVERIFY(f.context.connection.isOpen());
        QCOMPARE(f.window->schoolList()->currentRow(), 1);
        QCOMPARE(f.window->pupilList()->count(), 20);

        QDir(f.backups).rmdir("donnees.mdb");
        f.dialogs.queueChoice(f.backups);
        RunBackup(*f.window, f.context);
        QCOMPARE(f.last().title, QStringLiteral("Succès"));
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        QCOMPARE(content(f.backups), before);
    }

    void restoreFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason"); // part of the message's explanation
        QTest::newRow("no donnees.mdb") << "none"
                                        << "ne contient pas";
        QTest::newRow("text file") << "text"
                                   << "n'est pas une base de données";
        QTest::newRow("truncated copy") << "truncated"
                                        << "";
        QTest::newRow("damaged pages") << "damaged"
                                       << "endommagé";
        QTest::newRow("another program's database") << "foreign"
                                                    << "de Rozodivo Velorin";
        QTest::newRow("newer schema version") << "newer"
                                              << "plus récente";
        QTest::newRow("unstamped older file") << "older"
                                              << "version ancienne";
        QTest::newRow("full disk midway") << "full"
                                          << "No space left on device";
        QTest::newRow("unwritable data folder") << "unwritable"
                                                << "Impossible d'écrire";
        QTest::newRow("crash after the copy") << "copied"
                                              << "interrompue";
        QTest::newRow("crash after the check") << "checked"
                                               << "interrompue";
    }

    // The live database and every row stay; the connection is back on the
    // same selection.
    void restoreFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        Fixture f;
        QVERIFY(f.start());
        const QByteArray good = f.otherBackup(QStringLiteral("donnees.mdb"));
        const QString source = QDir(f.backups).filePath("donnees.mdb");
        f.window->schoolList()->setCurrentRow(1);
        const QStringList before = content(f.data);
        const QStringList dataFiles = fileNames(f.data);
        const QByteArray live = fileBytes(DataFiles::LiveDatabase(f.data));

        BackupFiles::Faults faults;
        if (fault == QLatin1String("none"))
            QFile::remove(source);
        if (fault == QLatin1String("text"))
            TestSupport::writeFile(source, "Liste des élèves\nZoé\nLucas\n");
        if (fault == QLatin1String("truncated"))
            TestSupport::writeFile(source, good.left(good.size() / 2));
        if (fault == QLatin1String("damaged"))
            TestSupport::writeFile(source, flipped(good, 4096, good.size() - 8192));
        if (fault == QLatin1String("foreign")) {
            QFile::remove(source);
            SqliteSupport::RawDatabase db;
            QVERIFY(db.open(source, true) && db.exec("CREATE TABLE NOTES (TEXTE TEXT)"));
        }
        for (const auto &[name, version] : {std::pair{"newer", 99}, std::pair{"older", 0}}) {
            SqliteSupport::RawDatabase db;
            if (fault == QLatin1String(name))
                QVERIFY(db.open(source, false) && db.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)));
        }
        if (fault == QLatin1String("full"))
            faults.writeLimit = good.size() / 2;
        if (fault == QLatin1String("unwritable"))
            faults.unwritableFolder = true;
        const QByteArray step = fault.toLatin1();
        if (step == "copied" || step == "checked")
            faults.afterStep = [step](const char *s) { return step != s; };
        f.dialogs.queueChoice(f.backups, QStringLiteral("donnees.mdb"));
        RunRestore(*f.window, f.context, faults);
        ++faultsTried;

        QCOMPARE(f.last().title, QStringLiteral("Abandon"));
        QVERIFY2(f.last().text.startsWith(RestoreGivenUp + "\n\n") && f.last().text.contains(reason),
                 qPrintable(f.last().text));
        const QStringList after = content(f.data);
        rowsLost += missing(before, after);
        QCOMPARE(after, before);
        QCOMPARE(fileBytes(DataFiles::LiveDatabase(f.data)), live);
        QStringList files = fileNames(f.data);
        files.removeAll(Temp);
        QCOMPARE(files, dataFiles);
        QVERIFY(faults.afterStep || !QFile::exists(QDir(f.data).filePath(Temp)));
        QVERIFY(f.context.connection.isOpen());
        QCOMPARE(f.window->schoolList()->currentRow(), 1);
        QCOMPARE(f.window->pupilList()->count(), 20);
    }

    // A damaged or missing live file must not replace a good earlier backup.
    void badLiveFileKeepsEarlierBackup()
    {
        Fixture f;
        const QByteArray earlier = f.otherBackup(QStringLiteral("donnees.mdb"));
        const QString live = DataFiles::LiveDatabase(f.data);
        const QByteArray bytes = fileBytes(live);
        TestSupport::writeFile(live, flipped(bytes, 4096, bytes.size() - 8192));
        QString reason;
        QVERIFY(!BackupFiles::CopyOut(f.data, f.backups, &reason));
        QVERIFY2(reason.contains("endommagé"), qPrintable(reason));
        QFile::remove(live);
        QVERIFY(!BackupFiles::CopyOut(f.data, f.backups, &reason));
        QVERIFY2(reason.contains("introuvable"), qPrintable(reason));
        faultsTried += 2;
        QCOMPARE(fileBytes(QDir(f.backups).filePath("donnees.mdb")), earlier);
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        // Nor may a backup or restore ever target the data folder itself.
        QVERIFY(!BackupFiles::CopyOut(f.data, f.data + "/", &reason));
        QVERIFY(!BackupFiles::CopyIn(f.data, f.data, &reason));
        QCOMPARE(reason, QStringLiteral("Choisissez un répertoire différent de celui de la base de données actuelle"));
    }

    // A process that backs up, restores and compacts in a loop, killed at
    // random moments: the next start and the backup folder hold every row.
    void killedAtRandomMoments()
    {
        QTemporaryDir dir;
        const QString data = QDir(dir.path()).filePath("données"), backups = QDir(dir.path()).filePath("sauvegardes");
        QVERIFY(QDir().mkpath(data) && QDir().mkpath(backups));
        makeFolder(data, {QStringLiteral("Ecole Jules Ferry"), QStringLiteral("Ecole \"Les Tilleuls\"")}, 600);
        const QStringList expected = content(data);
        QRandomGenerator random(20260316);
        for (int kill = 0; kill < 8; ++kill) {
            QProcess child;
            child.start(QStringLiteral(BACKUP_CHILD), {data, backups});
            QVERIFY(child.waitForStarted());
            while (!child.canReadLine())
                QVERIFY(child.waitForReadyRead(10000));
            QCOMPARE(child.readLine(), QByteArray("ready\n"));
            // After a first full round, so that a slow machine still kills mid-work.
            while (child.bytesAvailable() == 0)
                QVERIFY2(child.waitForReadyRead(20000), child.readAllStandardError().constData());
            QThread::msleep(random.bounded(1, 60));
            QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
            child.kill();
            QVERIFY(child.waitForFinished());
            ++faultsTried;

            ScriptedDialogs dialogs;
            QVERIFY(PrepareDataFolder(data, dialogs, QDateTime(QDate(2026, 3, 16), QTime(9, 0))));
            QCOMPARE(dialogs.titles(), QStringList());
            QString error;
            QVERIFY2(CompactDatabase(data, &error), qPrintable(error));
            const QStringList afterData = content(data), afterBackup = content(backups);
            rowsLost += missing(expected, afterData) + missing(expected, afterBackup);
            QCOMPARE(afterData, expected);
            QCOMPARE(afterBackup, expected);
            QVERIFY(Schema::CheckDatabaseFile(QDir(backups).filePath("donnees.mdb"), true).sound());
        }
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
