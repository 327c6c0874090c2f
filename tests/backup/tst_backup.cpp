// Backup and restore through the main window's toolbar, with every fault the
// file steps can meet, a first-version backup restored, and a process killed
// while backing up.
#include "WindowFixture.h"

#include "backup/BackupCommands.h"
#include "backup/FolderChooser.h"
#include "backup/ScheduledBackup.h"
#include "data/Compaction.h"
#include "data/DataFiles.h"
#include "data/DatabaseStartup.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QListWidget>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

using namespace TestSupport;

namespace {

const QString Chooser = QStringLiteral("Chooser: Choisir le répertoire de destination");
const QString RestoreChooser = QStringLiteral("Chooser: Choisir la sauvegarde à restaurer");
int faultsTried = 0;

// `%1` more pupils with results in the sample's first school, and a second
// "Emma" in "Petit CE1": a file of some size, and a name only a key tells apart.
const QString MorePupils =
    QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                   "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1TOT, T1_E1PRO, MOYCAT_L) "
                   "SELECT 7, 1 + 3 * (i % 2), 'Élève \"' || i || '\"', i % 7, i % 4, i % 9, 'A', 2.5 FROM n;"
                   "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) VALUES (3, 9, 'Emma', 4)");

// Every row the user keeps, read from the folder's database on a connection of
// its own (one that cannot be opened starts with "<cannot open>").
QStringList content(const QString &folder)
{
    Connection c;
    c.setDataFolder(folder);
    QStringList all{c.OpenDatabase() ? "" : "<cannot open>"};
    for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "PARCOURS", "CHANGEANNEE"})
        for (const QString &row : tableRows(c.database(), QLatin1String(table)))
            all.append(QLatin1String(table) + ':' + row);
    return all;
}

// A database of the first version (pupils without a key), holding two pupils of one name.
void writeFirstVersion(const QString &path)
{
    const QString sql =
        Schema::Statements().join(';').remove("  NOELEVE INTEGER PRIMARY KEY AUTOINCREMENT,\n") +
        QStringLiteral(";PRAGMA application_id = %1; PRAGMA user_version = 1;").arg(Schema::ApplicationId) +
        "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (5, 'Ecole des Sources');"
        "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (5, 2, 'Leroy', 'CP');"
        "INSERT INTO ELEVE (rowid, NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1) "
        "VALUES (12, 5, 2, 'Léa', 3, 1), (5, 5, 2, 'Léa', 6, 0)";
    SqliteSupport::RawDatabase db;
    QVERIFY2(db.open(path, true), qPrintable(db.error()));
    const SqliteSupport::AdministrativeStep setUp(db.handle());
    QVERIFY2(db.exec(sql), qPrintable(db.error()));
}

// The file with every page but the first and the last overwritten.
QByteArray damaged(QByteArray bytes)
{
    for (qint64 i = 4096; i < bytes.size() - 4096; ++i)
        bytes[i] = char(bytes[i] ^ 0x5A);
    return bytes;
}

// Makes `folder` unwritable, even for a superuser (the immutable flag);
// false when that cannot be done here.
bool lock(const QString &folder, bool on)
{
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | (on ? QFile::Permissions() : QFile::WriteOwner));
    QProcess::execute(QStringLiteral("chattr"), {QString::fromLatin1(on ? "+i" : "-i"), folder});
    return !on || !QFile(folder + "/probe").open(QIODevice::WriteOnly) || !QFile::remove(folder + "/probe");
}

struct Fixture : WindowFixture
{
    QString backups = folder() + QStringLiteral("/Clé USB de l'école");
    QStringList before; // the live rows when the command starts
    QList<qint64> keys; // selection() once started

    // Starts the window over the sample on the second "Emma" of "Ecole B", with an
    // earlier backup (the sample, a school renamed) in the backup folder as `name`; its bytes.
    QByteArray startOn(const QString &name)
    {
        fillSample();
        exec(MorePupils.arg(40));
        if (!start() || !QDir().mkpath(backups) ||
            !QFile::copy(DataFiles::LiveDatabase(folder()), backups + '/' + name))
            return {};
        select(schools(), QStringLiteral("Ecole B"));
        pupils()->setCurrentRow(1);
        keys = selection();
        before = content(folder());
        execSql(backups, "UPDATE ECOLE SET NOM_ECOLE = 'Ecole des Sources' WHERE NOECOLE = 7");
        return fileBytes(backups + '/' + name);
    }
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
    // The folders the chooser and the program remember go to a test place, not the user's settings.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
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
        const QString live = DataFiles::LiveDatabase(f.folder()), backup = f.backups + "/donnees.mdb";
        const QByteArray liveBytes = fileBytes(live);
        f.run("mainToolbar", "Sauvegarde");
        f.run("mainToolbar", "Restaure");
        QCOMPARE(f.dialogs.titles(), (QStringList{Chooser, "Abandon", RestoreChooser, "Abandon"}));
        QCOMPARE(f.selection(), f.keys);

        f.dialogs.queueChoice(f.backups + '/');
        f.run("mainToolbar", "Sauvegarde");
        QCOMPARE(f.dialogs.titles().last(2), (QStringList{Chooser, "Succès"}));
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        QCOMPARE(fileBytes(backup), liveBytes);
        QCOMPARE(content(f.folder()), f.before);
        QCOMPARE(f.selected(f.schools()), QStringLiteral("Ecole A"));

        // The restore lists the newest copies first, a dated copy by the date in its name; the dated copy
        // selected is the one restored (not "donnees.mdb", a school renamed in it), the question naming its date.
        const auto stamp = [](const QString &path, const QDateTime &when) {
            QFile file(path);
            return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
        };
        const QDateTime night(QDate(2026, 12, 1), QTime(3, 0));
        QCOMPARE(int(ScheduledBackup::Run({f.folder(), f.backups, 5, night}).status), // the program has it open
                 int(ScheduledBackup::Status::Done));
        writeFile(f.backups + "/donnees-20261202-030000.mdb", "plus récente, illisible");
        execSql(f.backups, "UPDATE ECOLE SET NOM_ECOLE = 'Ecole des Sources' WHERE NOECOLE = 7");
        QVERIFY(stamp(backup, night.addSecs(9 * 3600)));
        FolderChooser chooser({false, "*.mdb", "Restaure", "test", true}, f.folder());
        chooser.setFolder(f.backups);
        QCOMPARE(f.texts(chooser.findChild<QListWidget *>("fileList")),
                 (QStringList{"donnees-20261202-030000.mdb", "donnees.mdb", "donnees-20261201-030000.mdb"}));
        f.exec("UPDATE ECOLE SET NOM_ECOLE = 'Ecole changée' WHERE NOECOLE = 3");
        f.dialogs.queueChoice(f.backups, "donnees-20261201-030000.mdb");
        f.dialogs.queueAnswer(true);
        f.run("mainToolbar", "Restaure");
        QCOMPARE(f.dialogs.titles().last(3), (QStringList{RestoreChooser, "Confirmer", "Succès"}));
        QVERIFY(f.dialogs.shown().at(f.dialogs.shown().size() - 2).text.contains("du 01/12/2026 à 03:00"));
        QCOMPARE(f.texts(f.schools()), (QStringList{"Ecole A", "Ecole B"}));
        QCOMPARE(content(f.folder()), f.before);

        QVERIFY(QFile::remove(backup));
        writeFirstVersion(backup);
        const QByteArray firstVersion = fileBytes(backup);
        writeFile(f.backups + "/autre.mdb", "not even a database");
        // Asked first, naming the backup's date and time; Enter alone answers "Non" and nothing changes.
        QVERIFY(stamp(backup, QDateTime(QDate(2026, 11, 30), QTime(16, 45))));
        const QList<qint64> shown = f.selection();
        const QByteArray restored = fileBytes(live);
        f.dialogs.queueChoice(f.backups, QStringLiteral("autre.mdb"));
        f.dialogs.queueAnswer(false);
        f.run("mainToolbar", "Restaure");
        QCOMPARE(f.dialogs.titles().last(3), (QStringList{RestoreChooser, "Confirmer", "Abandon"}));
        const ScriptedDialogs::Shown asked = f.dialogs.shown().at(f.dialogs.shown().size() - 2);
        QVERIFY2(asked.defaultNo && asked.text.contains("sauvegarde du 30/11/2026 à 16:45"), qPrintable(asked.text));
        QCOMPARE(fileBytes(live), restored);
        QCOMPARE(f.selection(), shown);
        f.dialogs.queueChoice(f.backups, QStringLiteral("autre.mdb"));
        f.dialogs.queueAnswer(true);
        f.run("mainToolbar", "Restaure");
        QCOMPARE(f.dialogs.titles().last(3), (QStringList{RestoreChooser, "Confirmer", "Succès"}));
        QCOMPARE(fileNames(f.folder()), (QStringList{"Export.vid", "donnees.BAK", "donnees.MDB"}));
        QCOMPARE(f.query("SELECT NOELEVE, NOM, CSP, T1_E1P1 FROM ELEVE"), (QStringList{"5|Léa|6|0", "12|Léa|3|1"}));
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Léa", "Léa"}));
        f.pupils()->setCurrentRow(1);
        QCOMPARE(f.selection(), (QList<qint64>{1, 5, 2, 12, 5, 2, 12}));

        // A damaged or missing live file replaces no backup; the data folder is never a target.
        f.context.connection.CloseDatabase();
        QString reason;
        writeFile(live, damaged(fileBytes(live)));
        QVERIFY2(!BackupFiles::CopyOut(f.folder(), f.backups, &reason) && reason.contains("endommagé"),
                 qPrintable(reason));
        QVERIFY2(QFile::remove(live) && !BackupFiles::CopyOut(f.folder(), f.backups, &reason) &&
                     reason.contains("introuvable"),
                 qPrintable(reason));
        faultsTried += 2;
        QCOMPARE(fileBytes(backup), firstVersion); // nor did the restore change it
        QVERIFY(!BackupFiles::CopyOut(f.folder(), f.folder() + "/", &reason) &&
                !BackupFiles::CopyIn(f.folder(), f.folder(), &reason));
        QCOMPARE(reason, QStringLiteral("Choisissez un répertoire différent de celui de la base de données actuelle"));
    }

    // « Changer de dossier de données… »: a new folder is created only after
    // "Oui" to the question and opened, its lock taken and the old one
    // released, its name in the title; a folder another copy holds is
    // refused, the program staying where it was.
    void changesDataFolder()
    {
        Fixture f;
        f.fillSample();
        QVERIFY(f.start() && f.context.lock.acquire(f.folder()));
        const QString other = f.folder() + "/Année 2027";
        for (bool yes : {false, true}) {
            f.dialogs.queueChoice(other);
            f.dialogs.queueAnswer(yes);
            f.run("mainToolbar", "Dossier");
            QCOMPARE(QFileInfo::exists(other), yes);
        }
        QCOMPARE(f.dialogs.titles().last(2), (QStringList{"Chooser: Choisir le dossier de données", "Confirmer"}));
        QCOMPARE(f.context.connection.DataFolder(), other + '/');
        QVERIFY(f.context.connection.isOpen() && f.texts(f.schools()).isEmpty());
        QVERIFY(f.window->windowTitle().endsWith(" — " + QDir::toNativeSeparators(other)));
        QVERIFY(!InstanceLock().acquire(other));
        QVERIFY(InstanceLock().acquire(f.folder()));

        InstanceLock held;
        QVERIFY(held.acquire(f.folder()));
        f.dialogs.queueChoice(f.folder());
        f.run("mainToolbar", "Dossier");
        QVERIFY(f.dialogs.shown().last().text.contains("déjà ouvert"));
        QVERIFY(f.context.connection.isOpen() && f.context.connection.DataFolder() == other + '/');
        held.release();

        f.dialogs.queueChoice(f.folder());
        f.run("mainToolbar", "Dossier");
        QCOMPARE(f.texts(f.schools()), (QStringList{"Ecole A", "Ecole B"}));
        QVERIFY(InstanceLock().acquire(other));
        QCOMPARE(f.dialogs.unansweredQuestions(), 0);
    }

    void faults_data()
    {
        // "full N": the disk is full after N of the source file; SQL (in capitals) is run on it, on a new
        // file for CREATE.
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason"); // part of the message's explanation
        const auto row = [](const char *tag, QString fault, QString why) { QTest::newRow(tag) << fault << why; };
        const char *full = "plus de place sur le disque";
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
        row("restore: another program's database", "CREATE TABLE NOTES (TEXTE TEXT)", "de Rozodivo Velorin");
        row("restore: newer schema version", "PRAGMA user_version = 99", "plus récente");
        row("restore: unstamped older file", "PRAGMA user_version = 0", "version ancienne");
        // Today's schema stamped 1, whose key column the conversion refuses.
        row("restore: version 1 that cannot be converted", "PRAGMA user_version = 1", "ne peut pas être converti");
        row("restore: full disk midway", "full 0.5", full);
        row("restore: unwritable data folder", "unwritable", "Impossible d'écrire");
        row("restore: crash after the copy", "copied", "interrompue");
        row("restore: crash after the check", "checked", "interrompue");
    }

    // The live database and the earlier backup survive, with the message
    // explaining why; the same school, class and pupil are selected again by
    // key; the next backup succeeds.
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        const bool restore = QByteArray(QTest::currentDataTag()).startsWith("restore");
        Fixture f;
        const QByteArray good = f.startOn(QString::fromLatin1(restore ? "donnees.mdb" : "DONNEES.MDB"));
        QVERIFY(!good.isEmpty());
        const QString live = DataFiles::LiveDatabase(f.folder()), source = restore ? f.backups + "/donnees.mdb" : live;
        const QByteArray liveBytes = fileBytes(live);

        BackupFiles::Faults faults;
        if (fault == "copied" || fault == "checked") // a crash there
            faults.afterStep = [step = fault.toLatin1()](const char *s) { return step != s; };
        faults.writeLimit = fault.startsWith("full ") ? qint64(fault.mid(5).toDouble() * fileBytes(source).size()) : -1;
        faults.unwritableFolder = fault == "unwritable" && (restore || !lock(f.backups, true));
        QVERIFY(fault != "rename" || QDir(f.backups).mkdir("donnees.mdb"));
        QVERIFY((fault != "none" && !fault.startsWith("CREATE")) || QFile::remove(source));
        const QMap<QString, QByteArray> replaced{{"text", "Liste des élèves\nZoé\nLucas\n"},
                                                 {"truncated", good.left(good.size() / 2)},
                                                 {"damaged", damaged(good)}};
        if (replaced.contains(fault))
            writeFile(source, replaced.value(fault));
        SqliteSupport::RawDatabase db;
        const SqliteSupport::AdministrativeStep setUp;
        QVERIFY(fault.front().isLower() || (db.open(source, true) && db.exec(fault)));
        const QStringList held = fileNames(f.folder()) + fileNames(f.backups);
        f.dialogs.queueChoice(f.backups + (fault == "gone" ? "/retirée" : ""), restore ? "donnees.mdb" : "");
        if (restore && !DataFiles::LiveDatabase(f.backups).isEmpty())
            f.dialogs.queueAnswer(true); // the question before the live file is replaced
        restore ? RunRestore(f.context, *f.window, faults) : RunBackup(f.context, *f.window, faults);
        lock(f.backups, false);
        ++faultsTried;

        const QString text = f.dialogs.shown().constLast().text;
        // Not the message of a backup given up ("La procédure de sauvegarde..."), and with an explanation.
        QVERIFY2(text.startsWith(restore ? "La procédure de restauration" : "La sauvegarde de la base") &&
                     text.contains("!\n\n") && text.contains(reason),
                 qPrintable(text));
        QCOMPARE(fileBytes(live), liveBytes);
        QVERIFY(restore || fileBytes(f.backups + "/DONNEES.MDB") == good);
        QStringList left = fileNames(f.folder()) + fileNames(f.backups);
        if (faults.afterStep)
            left.removeOne(BackupFiles::TemporaryName()); // a crash leaves its temporary copy
        QCOMPARE(left, held);
        QCOMPARE(f.selection(), f.keys);
        if (restore)
            return;

        QVERIFY(fault != "rename" || QDir(f.backups).rmdir("donnees.mdb"));
        f.dialogs.queueChoice(f.backups);
        RunBackup(f.context, *f.window);
        QCOMPARE(fileNames(f.backups), QStringList{"donnees.mdb"});
        QCOMPARE(content(f.backups), f.before);
    }

    // A process that backs up, restores and compacts in a loop, killed at
    // random moments: the next start and the backup folder hold every row.
    void killedAtRandomMoments()
    {
        WindowFixture f;
        f.fillSample();
        f.exec(MorePupils.arg(600));
        const QString data = f.folder(), backups = data + "/sauvegardes";
        QVERIFY(QDir().mkpath(backups));
        const QStringList expected = content(data);
        QRandomGenerator random(20260316);
        KillTally tally("backup and restore loop", 8);
        for (; tally.more(); ++faultsTried) {
            QProcess child;
            child.start(QStringLiteral(BACKUP_CHILD), {data, backups});
            // "ready", then a first full round ("."), so that a slow machine still kills mid-work.
            while (child.bytesAvailable() < 7)
                QVERIFY2(child.waitForReadyRead(20000), child.readAllStandardError().constData());
            QTest::qSleep(random.bounded(1, 60));
            QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
            child.kill();
            QVERIFY(child.waitForFinished());
            ++tally.kills;

            QVERIFY(PrepareDataFolder(data, f.dialogs, f.clock.now()) && f.dialogs.shown().isEmpty());
            QString error;
            QVERIFY2(CompactDatabase(data, &error), qPrintable(error));
            const QStringList live = content(data), backedUp = content(backups);
            tally.lost += rowsMissing(expected, live) + rowsMissing(expected, backedUp);
            QCOMPARE(live, expected);
            QCOMPARE(backedUp, expected);
            QVERIFY(Schema::CheckDatabaseFile(backups + "/donnees.mdb", true).sound());
        }
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
