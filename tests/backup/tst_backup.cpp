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
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
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
const QString Chooser = QStringLiteral("Chooser: Choisir le répertoire de destination");

// Schools with a CP class each, pupils with results, archived pupils and a logged change.
void makeFolder(const QString &folder, const QStringList &schools, int pupils)
{
    TestSupport::createEmptyDataFolder(folder);
    QString sql = QStringLiteral("BEGIN;");
    for (int s = 0; s < schools.size(); ++s)
        sql += QStringLiteral("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (%1, '%2');"
                              "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU) VALUES (1, %1, 'CP A', 'CP');")
                   .arg(s + 1)
                   .arg(QString(schools.at(s)).replace(QLatin1Char('\''), QLatin1String("''")));
    sql += QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                          "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1TOT, T1_E1PRO, MOYCAT_L) "
                          "SELECT 1 + i % %2, 1, 'Élève \"' || i || '\"', 1 + i % 7, i % 4, i % 9, 'A', 2.5 FROM n;"
                          "INSERT INTO PARCOURS (ANNEE, Niveau, NOECOLE, NOCLASSE, NOM, CSP) "
                          "SELECT '2024-2025', 'GS', NOECOLE, NOCLASSE, NOM, CSP FROM ELEVE;"
                          "INSERT INTO CHANGEANNEE (NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE) "
                          "VALUES (1, 1, '2024-2025', 3, '2025-07-04T17:00:00', 'Année 2024-2025');COMMIT;")
               .arg(pupils)
               .arg(schools.size());
    SqliteSupport::RawDatabase db;
    QVERIFY(db.open(DataFiles::LiveDatabase(folder), false));
    QVERIFY2(db.exec(sql), qPrintable(db.error()));
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

int faultsTried = 0;
int rowsLost = 0;

// The rows of `before` that `after` lost are counted for the closing figures.
void expectSame(const QStringList &before, const QStringList &after)
{
    for (const QString &row : before)
        rowsLost += after.contains(row) ? 0 : 1;
    QCOMPARE(after, before);
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
    QString data = dir.filePath(QStringLiteral("Données de l'école")),
            backups = dir.filePath(QStringLiteral("Clé USB"));
    ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2026, 3, 16), QTime(9, 0))};
    AppContext context{dialogs, clock};
    std::unique_ptr<Form1> window;
    QStringList before; // the live rows when the command starts
    QByteArray other;

    Fixture()
    {
        QDir().mkpath(data);
        QDir().mkpath(backups);
        makeFolder(data, {QStringLiteral("Ecole Jules Ferry"), QStringLiteral("Ecole \"Les Tilleuls\"")}, 40);
    }
    // A database of other schools, written into the backup folder under `name`.
    QByteArray otherBackup(const QString &name)
    {
        if (other.isEmpty() && QDir().mkpath(dir.filePath("autre"))) {
            makeFolder(dir.filePath("autre"), {QStringLiteral("Ecole des Sources")}, 5);
            other = fileBytes(DataFiles::LiveDatabase(dir.filePath("autre")));
        }
        TestSupport::writeFile(QDir(backups).filePath(name), other);
        return other;
    }
    // Starts the main window with otherBackup(name) in place, on the second school.
    QByteArray start(const QString &name)
    {
        context.connection.setDataFolder(data);
        window = std::make_unique<Form1>(context);
        ConnectBackupAndTransfers(*window, context);
        if (!window->Form_Activate())
            return {};
        window->schoolList()->setCurrentRow(1);
        before = content(data);
        return otherBackup(name);
    }
    const ScriptedDialogs::Shown &last() const { return dialogs.shown().constLast(); }
    // Connection open (1), selected school row, pupils listed.
    QList<int> selection() const
    {
        return {context.connection.isOpen(), window->schoolList()->currentRow(), window->pupilList()->count()};
    }
};

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase()
    {
        qInfo("fault injection (backup and restore): %d faults tried, %d rows lost", faultsTried, rowsLost);
    }

    // Given up, nothing happens. A backup replaces an earlier one named in
    // capitals by one "donnees.mdb"; a restore takes the folder's
    // "donnees.mdb" whatever file was highlighted. Both run the start-up
    // sequence again (compaction, first school selected).
    void backupAndRestoreRestart()
    {
        Fixture f;
        QVERIFY(!f.start(QStringLiteral("DONNEES.MDB")).isEmpty());
        const QByteArray live = fileBytes(DataFiles::LiveDatabase(f.data));
        f.window->Toolbar2_ButtonClick(QStringLiteral("Sauvegarde"));
        f.window->Toolbar2_ButtonClick(QStringLiteral("Restaure"));
        QCOMPARE(f.dialogs.titles(), (QStringList{Chooser, "Abandon", Chooser, "Abandon"}));
        QCOMPARE(f.dialogs.shown().at(1).text, QStringLiteral("La procédure de sauvegarde a été abandonnée !"));
        QCOMPARE(f.last().text, RestoreGivenUp);
        QCOMPARE(f.selection(), (QList<int>{1, 1, 20}));
        f.dialogs.clear();
        f.dialogs.queueChoice(f.backups + QLatin1Char('/'));
        f.window->Toolbar2_ButtonClick(QStringLiteral("Sauvegarde"));

        QCOMPARE(f.dialogs.titles(), (QStringList{Chooser, "Succès"}));
        QCOMPARE(f.dialogs.shown().first().text, QStringLiteral("*.mdb"));
        QVERIFY(f.context.state.ChooserFolderMode);
        QCOMPARE(f.last().text, QStringLiteral("Sauvegarde réussie !"));
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        QCOMPARE(fileBytes(QDir(f.backups).filePath("donnees.mdb")), live);
        // Compacted once more: the live file as it was is now donnees.BAK.
        QCOMPARE(fileBytes(QDir(f.data).filePath("donnees.BAK")), live);
        QCOMPARE(content(f.data), f.before);
        QCOMPARE(f.selection(), (QList<int>{1, 0, 20}));

        f.dialogs.clear();
        f.otherBackup(QStringLiteral("donnees.mdb"));
        const QStringList restored = content(f.backups);
        TestSupport::writeFile(QDir(f.backups).filePath("autre.mdb"), "not even a database");
        f.dialogs.queueChoice(f.backups, QStringLiteral("autre.mdb"));
        f.window->Toolbar2_ButtonClick(QStringLiteral("Restaure"));
        QCOMPARE(f.dialogs.titles(), (QStringList{Chooser, "Succès"}));
        QVERIFY(!f.context.state.ChooserFolderMode);
        QCOMPARE(f.last().text, QStringLiteral("Restauration réussie !"));
        QCOMPARE(content(f.data), restored);
        // The live file was replaced under its own name: never two case variants.
        QCOMPARE(fileNames(f.data), (QStringList{"Export.vid", "donnees.BAK", "donnees.MDB"}));
        QCOMPARE(f.window->schoolList()->currentItem()->text(), QStringLiteral("Ecole des Sources"));
        QCOMPARE(f.selection(), (QList<int>{1, 0, 5}));
        QCOMPARE(f.window->schoolList()->count(), 1);
    }

    void faults_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<QString>("fault");  // "full N": the disk is full after N of the source file
        QTest::addColumn<QString>("reason"); // part of the message's explanation
        const auto row = [](const char *name, bool restore, const char *fault, const char *reason) {
            QTest::newRow(name) << restore << QString::fromUtf8(fault) << QString::fromUtf8(reason);
        };
        const char *full = "No space left on device";
        row("backup: unwritable folder", false, "unwritable", "Impossible d'écrire");
        row("backup: full disk at once", false, "full 0", full);
        row("backup: full disk midway", false, "full 0.5", full);
        row("backup: full disk at the last byte", false, "full 0.9999", full);
        row("backup: folder removed", false, "gone", "introuvable");
        row("backup: rename refused", false, "rename", "Impossible de remplacer");
        row("backup: crash after the copy", false, "copied", "interrompue");
        row("backup: crash after the check", false, "checked", "interrompue");
        row("restore: no donnees.mdb", true, "none", "ne contient pas");
        row("restore: text file", true, "text", "n'est pas une base de données");
        row("restore: truncated copy", true, "truncated", "");
        row("restore: damaged pages", true, "damaged", "endommagé");
        row("restore: another program's database", true, "foreign", "de Rozodivo Velorin");
        row("restore: newer schema version", true, "newer", "plus récente");
        row("restore: unstamped older file", true, "older", "version ancienne");
        row("restore: full disk midway", true, "full 0.5", full);
        row("restore: unwritable data folder", true, "unwritable", "Impossible d'écrire");
        row("restore: crash after the copy", true, "copied", "interrompue");
        row("restore: crash after the check", true, "checked", "interrompue");
    }

    // The live database, the earlier backup and every row survive, with the
    // message explaining why; the connection is back on the same selection;
    // the next backup succeeds.
    void faults()
    {
        QFETCH(bool, restore);
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        Fixture f;
        const QByteArray good = f.start(QString::fromLatin1(restore ? "donnees.mdb" : "DONNEES.MDB"));
        QVERIFY(!good.isEmpty());
        const QString source = restore ? QDir(f.backups).filePath("donnees.mdb") : DataFiles::LiveDatabase(f.data);
        const QStringList earlierRows = content(f.backups), dataFiles = fileNames(f.data);
        const QByteArray live = fileBytes(DataFiles::LiveDatabase(f.data));

        BackupFiles::Faults faults;
        if (fault == QLatin1String("copied") || fault == QLatin1String("checked")) // a crash there
            faults.afterStep = [step = fault.toLatin1()](const char *s) { return step != s; };
        QString chosen = f.backups;
        if (fault.startsWith(QLatin1String("full ")))
            faults.writeLimit = qint64(fault.mid(5).toDouble() * QFileInfo(source).size());
        if (fault == QLatin1String("unwritable"))
            faults.unwritableFolder = restore || !lock(f.backups, true);
        if (fault == QLatin1String("gone"))
            chosen = QDir(f.backups).filePath("retirée");
        if (fault == QLatin1String("rename"))
            QVERIFY(QDir(f.backups).mkdir("donnees.mdb"));
        if (fault == QLatin1String("none") || fault == QLatin1String("foreign"))
            QFile::remove(source);
        const QMap<QString, QByteArray> replaced{{"text", "Liste des élèves\nZoé\nLucas\n"},
                                                 {"truncated", good.left(good.size() / 2)},
                                                 {"damaged", flipped(good, 4096, good.size() - 8192)}};
        if (replaced.contains(fault))
            TestSupport::writeFile(source, replaced.value(fault));
        SqliteSupport::RawDatabase db;
        if (fault == QLatin1String("foreign"))
            QVERIFY(db.open(source, true) && db.exec("CREATE TABLE NOTES (TEXTE TEXT)"));
        if (fault == QLatin1String("newer") || fault == QLatin1String("older"))
            QVERIFY(db.open(source, false) &&
                    db.exec(QStringLiteral("PRAGMA user_version = %1").arg(fault == "newer" ? 99 : 0)));
        db.close();
        f.dialogs.queueChoice(chosen, restore ? QStringLiteral("donnees.mdb") : QString());
        restore ? RunRestore(*f.window, f.context, faults) : RunBackup(*f.window, f.context, faults);
        lock(f.backups, false);
        ++faultsTried;

        QCOMPARE(f.last().title, QLatin1String(restore ? "Abandon" : "ATTENTION"));
        QVERIFY2(f.last().text.startsWith((restore ? RestoreGivenUp : BackupFailed) + "\n\n") &&
                     f.last().text.contains(reason),
                 qPrintable(f.last().text));
        expectSame(f.before, content(f.data));
        QCOMPARE(fileBytes(DataFiles::LiveDatabase(f.data)), live);
        QStringList files = fileNames(f.data);
        if (restore)
            files.removeAll(Temp); // a crash leaves its temporary copy
        QCOMPARE(files, dataFiles);
        QVERIFY(faults.afterStep || !QFile::exists(QDir(f.data).filePath(Temp)));
        QCOMPARE(f.selection(), (QList<int>{1, 1, 20}));
        if (restore)
            return;

        expectSame(earlierRows, content(f.backups));
        QCOMPARE(fileBytes(QDir(f.backups).filePath("DONNEES.MDB")), good);
        QStringList found = QDir(f.backups).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        found.removeAll(Temp);
        found.sort(Qt::CaseSensitive);
        QCOMPARE(found, (fault == QLatin1String("rename") ? QStringList{"DONNEES.MDB", "donnees.mdb"}
                                                          : QStringList{"DONNEES.MDB"}));
        QVERIFY(faults.afterStep || !QFile::exists(QDir(f.backups).filePath(Temp)));
        QDir(f.backups).rmdir("donnees.mdb");
        f.dialogs.queueChoice(f.backups);
        RunBackup(*f.window, f.context);
        QCOMPARE(f.last().title, QStringLiteral("Succès"));
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        QCOMPARE(content(f.backups), f.before);
    }

    // A damaged or missing live file must not replace a good earlier backup,
    // nor may a backup or restore ever target the data folder itself.
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
        QVERIFY(!BackupFiles::CopyOut(f.data, f.data + "/", &reason));
        QVERIFY(!BackupFiles::CopyIn(f.data, f.data, &reason));
        QCOMPARE(reason, QStringLiteral("Choisissez un répertoire différent de celui de la base de données actuelle"));
    }

    // A process that backs up, restores and compacts in a loop, killed at
    // random moments: the next start and the backup folder hold every row.
    void killedAtRandomMoments()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath("données"), backups = dir.filePath("sauvegardes");
        QVERIFY(QDir().mkpath(data) && QDir().mkpath(backups));
        makeFolder(data, {QStringLiteral("Ecole Jules Ferry"), QStringLiteral("Ecole \"Les Tilleuls\"")}, 600);
        const QStringList expected = content(data);
        QRandomGenerator random(20260316);
        for (int kill = 0; kill < 8; ++kill) {
            QProcess child;
            child.start(QStringLiteral(BACKUP_CHILD), {data, backups});
            // "ready", then a first full round ("."), so that a slow machine still kills mid-work.
            while (child.bytesAvailable() < 7)
                QVERIFY2(child.waitForReadyRead(20000), child.readAllStandardError().constData());
            QCOMPARE(child.peek(6), QByteArray("ready\n"));
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
            expectSame(expected, content(data));
            expectSame(expected, content(backups));
            QVERIFY(Schema::CheckDatabaseFile(QDir(backups).filePath("donnees.mdb"), true).sound());
        }
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
