// Backup and restore through the main window's toolbar, with every fault the
// file steps can meet, a first-version backup restored, and a process killed
// while backing up.
#include "WindowFixture.h"

#include "backup/BackupCommands.h"
#include "data/Compaction.h"
#include "data/DataFiles.h"
#include "data/DatabaseStartup.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <unistd.h>

using namespace TestSupport;

namespace {

const QString BackupFailed = QStringLiteral("La sauvegarde de la base de données à échouée !");
const QString RestoreGivenUp = QStringLiteral("La procédure de restauration a été abandonnée !");
const QString Chooser = QStringLiteral("Chooser: Choisir le répertoire de destination");
int faultsTried = 0;

// `count` more pupils with results in the sample's first school, and a
// second "Emma" in "Petit CE1": a file of some size, and a name only a key tells apart.
QString morePupils(int count)
{
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                          "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1TOT, T1_E1PRO, MOYCAT_L) "
                          "SELECT 7, 1 + 3 * (i % 2), 'Élève \"' || i || '\"', i % 7, i % 4, i % 9, 'A', 2.5 FROM n;"
                          "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) VALUES (3, 9, 'Emma', 4)")
        .arg(count);
}

// Every row the user keeps, read from the folder's database on a connection of its own.
QStringList content(const QString &folder)
{
    Connection c;
    c.setDataFolder(folder);
    if (!c.OpenDatabase())
        return {QStringLiteral("<cannot open>")};
    QStringList all;
    for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "PARCOURS", "CHANGEANNEE"})
        for (const QString &row : tableRows(c.database(), QLatin1String(table)))
            all.append(QLatin1String(table) + QLatin1Char(':') + row);
    return all;
}

// A database of the first version (pupils without a key), holding two pupils of one name.
void writeFirstVersion(const QString &path)
{
    SqliteSupport::RawDatabase db;
    QVERIFY(db.open(path, true));
    for (QString statement : Schema::Statements()) {
        if (statement.startsWith(QLatin1String("CREATE TABLE ELEVE (")))
            statement.remove(QRegularExpression(QStringLiteral("\\s*NOELEVE INTEGER PRIMARY KEY AUTOINCREMENT,")));
        if (statement.startsWith(QLatin1String("CREATE VIEW VIEW_EXPORT")))
            statement = QStringLiteral("CREATE VIEW VIEW_EXPORT AS SELECT ELEVE.*, CLASSE.NIVEAU AS Niveau FROM ELEVE "
                                       "LEFT JOIN CLASSE ON CLASSE.NOECOLE = ELEVE.NOECOLE AND CLASSE.NOCLASSE = "
                                       "ELEVE.NOCLASSE");
        QVERIFY2(db.exec(statement), qPrintable(db.error()));
    }
    QVERIFY2(
        db.exec(QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = 1;"
                               "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (5, 'Ecole des Sources');"
                               "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (5, 2, 'Leroy', 'CP');"
                               "INSERT INTO ELEVE (rowid, NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1) "
                               "VALUES (12, 5, 2, 'Léa', 3, 1), (5, 5, 2, 'Léa', 6, 0)")
                    .arg(Schema::ApplicationId)),
        qPrintable(db.error()));
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

struct Fixture : WindowFixture
{
    QString backups = QDir(folder()).filePath(QStringLiteral("Clé USB de l'école"));
    QStringList before; // the live rows when the command starts
    QList<qint64> keys; // selection() once started

    Fixture()
    {
        fillSample();
        exec(morePupils(40));
        QDir().mkpath(backups);
    }
    // A database of another school written into the backup folder as `name`.
    QByteArray otherBackup(const QString &name)
    {
        QString error;
        if (!Schema::CreateDatabase(QDir(backups).filePath(name), &error))
            return {};
        execSql(backups, "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole des Sources');"
                         "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM) VALUES (1, 1, 'Zoé')");
        return fileBytes(QDir(backups).filePath(name));
    }
    // Starts the window with otherBackup(name) in place, on the second "Emma" of "Ecole B".
    QByteArray startOn(const QString &name)
    {
        if (!start())
            return {};
        select(schools(), QStringLiteral("Ecole B"));
        pupils()->setCurrentRow(1);
        keys = selection();
        before = content(folder());
        return otherBackup(name);
    }
    const ScriptedDialogs::Shown &last() const { return dialogs.shown().constLast(); }
    // Connection open (1), then the selection by key, as the session and as the lists hold it.
    QList<qint64> selection() const
    {
        const SelectionKeys k = context.session.keys();
        QList<qint64> keys{context.connection.isOpen(), k.schoolNo, k.classNo, k.pupilKey};
        for (const QListWidget *list : {schools(), classes(), pupils()})
            keys.append(list->currentItem() ? list->currentItem()->data(Qt::UserRole).toLongLong() : -1);
        return keys;
    }
};

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { qInfo("fault injection (backup and restore): %d faults tried", faultsTried); }

    // Given up, nothing happens. A backup replaces an earlier one named in
    // capitals by one "donnees.mdb". A restore takes the folder's
    // "donnees.mdb" whatever file was highlighted, under the live file's own
    // name; one of the first version is brought up to date, each pupil
    // keeping its values. Both run the start-up sequence again.
    void backupAndRestore()
    {
        Fixture f;
        QVERIFY(!f.startOn(QStringLiteral("DONNEES.MDB")).isEmpty());
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Emma", "Emma"}));
        QVERIFY(f.keys.at(3) != f.pupils()->item(0)->data(Qt::UserRole).toLongLong());
        const QByteArray live = fileBytes(DataFiles::LiveDatabase(f.folder()));
        f.run("mainToolbar", "Sauvegarde");
        f.run("mainToolbar", "Restaure");
        QCOMPARE(f.dialogs.titles(), (QStringList{Chooser, "Abandon", Chooser, "Abandon"}));
        QCOMPARE(f.dialogs.shown().at(1).text, QStringLiteral("La procédure de sauvegarde a été abandonnée !"));
        QCOMPARE(f.last().text, RestoreGivenUp);
        QCOMPARE(f.selection(), f.keys);

        f.dialogs.clear();
        f.dialogs.queueChoice(f.backups + QLatin1Char('/'));
        f.run("mainToolbar", "Sauvegarde");
        QCOMPARE(f.dialogs.titles(), (QStringList{Chooser, "Succès"}));
        QCOMPARE(f.dialogs.shown().first().text, QStringLiteral("*.mdb"));
        QCOMPARE(f.last().text, QStringLiteral("Sauvegarde réussie !"));
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        QCOMPARE(fileBytes(QDir(f.backups).filePath("donnees.mdb")), live);
        // Compacted once more: the live file as it was is now donnees.BAK.
        QCOMPARE(fileBytes(QDir(f.folder()).filePath("donnees.BAK")), live);
        QCOMPARE(content(f.folder()), f.before);
        QCOMPARE(f.selected(f.schools()), QStringLiteral("Ecole A"));

        f.dialogs.clear();
        const QString backup = QDir(f.backups).filePath("donnees.mdb");
        QVERIFY(QFile::remove(backup));
        writeFirstVersion(backup);
        const QByteArray firstVersion = fileBytes(backup);
        writeFile(QDir(f.backups).filePath("autre.mdb"), "not even a database");
        f.dialogs.queueChoice(f.backups, QStringLiteral("autre.mdb"));
        f.run("mainToolbar", "Restaure");
        QCOMPARE(f.dialogs.titles(), (QStringList{Chooser, "Succès"}));
        QCOMPARE(f.last().text, QStringLiteral("Restauration réussie !"));
        QCOMPARE(fileNames(f.folder()), (QStringList{"Export.vid", "donnees.BAK", "donnees.MDB"}));
        QCOMPARE(f.query("PRAGMA user_version"), QStringList{"2"});
        QCOMPARE(f.query("SELECT NOELEVE, NOM, CSP, T1_E1P1 FROM ELEVE"), (QStringList{"5|Léa|6|0", "12|Léa|3|1"}));
        QCOMPARE(f.texts(f.schools()), QStringList{"Ecole des Sources"});
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Léa", "Léa"}));
        f.pupils()->setCurrentRow(1);
        QCOMPARE(f.selection(), (QList<qint64>{1, 5, 2, 12, 5, 2, 12}));
        QCOMPARE(fileBytes(backup), firstVersion); // the backup itself is left as it was
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");  // "full N": the disk is full after N of the source file
        QTest::addColumn<QString>("reason"); // part of the message's explanation
        const auto row = [](const char *name, const char *fault, const char *reason) {
            QTest::newRow(name) << QString::fromUtf8(fault) << QString::fromUtf8(reason);
        };
        const char *full = "No space left on device";
        row("backup: unwritable folder", "unwritable", "Impossible d'écrire");
        row("backup: full disk at once", "full 0", full);
        row("backup: full disk midway", "full 0.5", full);
        row("backup: full disk at the last byte", "full 0.9999", full);
        row("backup: folder removed", "gone", "introuvable");
        row("backup: rename refused", "rename", "Impossible de remplacer");
        row("backup: crash after the copy", "copied", "interrompue");
        row("backup: crash after the check", "checked", "interrompue");
        row("restore: no donnees.mdb", "none", "ne contient pas");
        row("restore: text file", "text", "n'est pas une base de données");
        row("restore: truncated copy", "truncated", "");
        row("restore: damaged pages", "damaged", "endommagé");
        row("restore: another program's database", "foreign", "de Rozodivo Velorin");
        row("restore: newer schema version", "newer", "plus récente");
        row("restore: unstamped older file", "older", "version ancienne");
        row("restore: version 1 that cannot be converted", "older1", "ne peut pas être converti");
        row("restore: full disk midway", "full 0.5", full);
        row("restore: unwritable data folder", "unwritable", "Impossible d'écrire");
        row("restore: crash after the copy", "copied", "interrompue");
        row("restore: crash after the check", "checked", "interrompue");
    }

    // The live database, the earlier backup and every row survive, with the
    // message explaining why; the same school, class and pupil are selected
    // again by key; the next backup succeeds.
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        const bool restore = QByteArray(QTest::currentDataTag()).startsWith("restore");
        Fixture f;
        const QByteArray good = f.startOn(QString::fromLatin1(restore ? "donnees.mdb" : "DONNEES.MDB"));
        QVERIFY(!good.isEmpty());
        const QString live = DataFiles::LiveDatabase(f.folder()), temp = BackupFiles::TemporaryName();
        const QString source = restore ? QDir(f.backups).filePath("donnees.mdb") : live;
        const QStringList dataFiles = fileNames(f.folder());
        const QByteArray liveBytes = fileBytes(live);

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
            writeFile(source, replaced.value(fault));
        SqliteSupport::RawDatabase db;
        if (fault == QLatin1String("foreign"))
            QVERIFY(db.open(source, true) && db.exec("CREATE TABLE NOTES (TEXTE TEXT)"));
        // "older1": today's schema stamped 1, whose key column the conversion refuses.
        if (fault == QLatin1String("newer") || fault.startsWith(QLatin1String("older")))
            QVERIFY(db.open(source, false) && db.exec(QStringLiteral("PRAGMA user_version = %1")
                                                          .arg(fault == "newer"    ? 99
                                                               : fault == "older1" ? 1
                                                                                   : 0)));
        db.close();
        f.dialogs.queueChoice(chosen, restore ? QStringLiteral("donnees.mdb") : QString());
        restore ? RunRestore(f.context, *f.window, faults) : RunBackup(f.context, *f.window, faults);
        lock(f.backups, false);
        ++faultsTried;

        QCOMPARE(f.last().title, QLatin1String(restore ? "Abandon" : "ATTENTION"));
        QVERIFY2(f.last().text.startsWith((restore ? RestoreGivenUp : BackupFailed) + "\n\n") &&
                     f.last().text.contains(reason),
                 qPrintable(f.last().text));
        QCOMPARE(content(f.folder()), f.before);
        QCOMPARE(fileBytes(live), liveBytes);
        QStringList files = fileNames(f.folder());
        if (restore)
            files.removeAll(temp); // a crash leaves its temporary copy
        QCOMPARE(files, dataFiles);
        QVERIFY(faults.afterStep || !QFile::exists(QDir(f.folder()).filePath(temp)));
        QCOMPARE(f.selection(), f.keys);
        if (restore)
            return;

        QCOMPARE(fileBytes(QDir(f.backups).filePath("DONNEES.MDB")), good);
        QStringList found = fileNames(f.backups);
        QVERIFY(faults.afterStep || !found.contains(temp)); // only a crash leaves its temporary copy
        found.removeAll(temp);
        QCOMPARE(found, QStringList{"DONNEES.MDB"});
        QVERIFY(fault != QLatin1String("rename") || QDir(f.backups).rmdir("donnees.mdb"));
        f.dialogs.queueChoice(f.backups);
        RunBackup(f.context, *f.window);
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
        const QString live = DataFiles::LiveDatabase(f.folder());
        writeFile(live, flipped(fileBytes(live), 4096, QFileInfo(live).size() - 8192));
        QString reason;
        QVERIFY(!BackupFiles::CopyOut(f.folder(), f.backups, &reason));
        QVERIFY2(reason.contains("endommagé"), qPrintable(reason));
        QFile::remove(live);
        QVERIFY(!BackupFiles::CopyOut(f.folder(), f.backups, &reason));
        QVERIFY2(reason.contains("introuvable"), qPrintable(reason));
        faultsTried += 2;
        QCOMPARE(fileBytes(QDir(f.backups).filePath("donnees.mdb")), earlier);
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        QVERIFY(!BackupFiles::CopyOut(f.folder(), f.folder() + "/", &reason));
        QVERIFY(!BackupFiles::CopyIn(f.folder(), f.folder(), &reason));
        QCOMPARE(reason, QStringLiteral("Choisissez un répertoire différent de celui de la base de données actuelle"));
    }

    // A process that backs up, restores and compacts in a loop, killed at
    // random moments: the next start and the backup folder hold every row.
    void killedAtRandomMoments()
    {
        WindowFixture f;
        f.fillSample();
        f.exec(morePupils(600));
        const QString data = f.folder(), backups = QDir(data).filePath("sauvegardes");
        QVERIFY(QDir().mkpath(backups));
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
            QVERIFY(PrepareDataFolder(data, dialogs, f.clock.now()));
            QCOMPARE(dialogs.titles(), QStringList());
            QString error;
            QVERIFY2(CompactDatabase(data, &error), qPrintable(error));
            QCOMPARE(content(data), expected);
            QCOMPARE(content(backups), expected);
            QVERIFY(Schema::CheckDatabaseFile(QDir(backups).filePath("donnees.mdb"), true).sound());
        }
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
