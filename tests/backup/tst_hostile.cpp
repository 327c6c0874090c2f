// Files made to harm, restored or opened: the SQL a file holds is never run,
// a schema that is not the program's is refused, the connection refuses what
// only the program's own steps may do, a backup caught mid-write comes back as
// last committed, and what is not a regular file is refused at once.
#include "TestSupport.h"

#include "backup/BackupFiles.h"
#include "common/ScriptedDialogs.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/DatabaseStartup.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

using TestSupport::execSql;
using TestSupport::fileBytes;

namespace {

// A data folder with one school and its class, and a backup folder beside it.
struct Folders
{
    QTemporaryDir root;
    QString data = root.filePath("donnees");
    QString backup = root.filePath("sauvegarde");

    Folders()
    {
        for (const QString &folder : {data, backup}) {
            QDir().mkpath(folder);
            TestSupport::createEmptyDataFolder(folder);
            execSql(folder, "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole " + QDir(folder).dirName() +
                                "'); INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (1, 1, 'CP A', "
                                "'CP'); INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM) VALUES (1, 1, 'Léa')");
        }
    }
    QString restore()
    {
        QString reason;
        return BackupFiles::CopyIn(DataFiles::WithTrailingSeparator(data), backup + "/", &reason) ? QString() : reason;
    }
    QString liveSchool() const
    {
        SqliteSupport::RawDatabase db;
        QStringList names;
        if (!db.open(DataFiles::LiveDatabase(data), false, true) ||
            !db.queryTexts("SELECT NOM_ECOLE FROM ECOLE ORDER BY NOECOLE", &names))
            qFatal("cannot read the live file");
        return names.join(',');
    }
};

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    // The named query texts a file carries are data: a backup whose texts attach
    // another database and empty it, or copy every pupil elsewhere, is restored
    // and used without any of it running.
    void storedTextsAreNeverRun()
    {
        Folders f;
        const QString other = f.root.filePath("autre.db"), copy = f.root.filePath("copie.db");
        {
            SqliteSupport::RawDatabase db;
            QVERIFY(db.open(other, true) &&
                    db.exec("CREATE TABLE secrets (s); INSERT INTO secrets VALUES ('a'), ('b')"));
        }
        const auto quoted = [](QString s) { return "'" + s.replace("'", "''") + "'"; };
        execSql(f.backup,
                "UPDATE REQUETES SET TEXTE_SQL = " +
                    quoted("ATTACH DATABASE ('" + other + "'||substr(:NO_ECOLE,1,0)) AS pw") +
                    " WHERE NOM_REQUETE = 'VIEW_CLASSE';"
                    "UPDATE REQUETES SET TEXTE_SQL = 'DELETE FROM pw.secrets WHERE coalesce(:NO_ECOLE,:NO_CLASSE,1)' "
                    "WHERE NOM_REQUETE = 'VIEW_ELEVE';"
                    "UPDATE REQUETES SET TEXTE_SQL = " +
                    quoted("VACUUM INTO '" + copy + "'") + " WHERE NOM_REQUETE IN ('SUP_IMPORTE', 'SUP_ELEVE_CLASSE')");
        QCOMPARE(f.restore(), QString());

        Connection c;
        c.setDataFolder(f.data);
        QVERIFY(c.OpenDatabase());
        QVERIFY(c.DonneFiltre(c.VIEW_CLASSE, "VIEW_CLASSE", "NO_ECOLE", 1) &&
                c.DonneFiltre2(c.VIEW_ELEVE, "VIEW_ELEVE", "NO_ECOLE", 1, "NO_CLASSE", 1));
        QCOMPARE((QList<int>{c.VIEW_CLASSE.recordCount(), c.VIEW_ELEVE.recordCount()}), (QList<int>{1, 1}));
        QVERIFY(c.executeStored("SUP_IMPORTE", {}) &&
                c.executeStored("SUP_ELEVE_CLASSE", {{"NO_ECOLE", 1}, {"NO_CLASSE", 2}}));
        c.CloseDatabase();
        QVERIFY(!QFile::exists(copy));
        SqliteSupport::RawDatabase db;
        qint64 secrets = 0;
        QVERIFY(db.open(other, false, true) && db.queryInt("SELECT count(*) FROM secrets", &secrets));
        QCOMPARE(secrets, 2);
    }

    // A file whose schema is not the program's is refused, at restore and at start-up, naming what differs; so is
    // a restore source that is a device, a pipe or a folder, at once; the live data stays as it was.
    void refused_data()
    {
        QTest::addColumn<QString>("setUp");   // SQL run on the backup, or (in lower case) what the backup is instead
        QTest::addColumn<QString>("said");    // part of the restore's reason; "" when the file is the program's
        QTest::addColumn<QString>("startUp"); // part of the start-up's message on the same live file; "-": not tried
        const auto row = [](const char *tag, const QString &setUp, const QString &said, const QString &startUp) {
            QTest::newRow(tag) << setUp << said << startUp;
        };
        const auto schema = [&](const char *tag, const QString &sql, const QString &differs) {
            row(tag, sql, "modifié hors du programme (" + differs, differs);
        };
        schema("trigger wiping the schools", "CREATE TRIGGER purge AFTER UPDATE ON ELEVE BEGIN DELETE FROM ECOLE; END",
               "déclencheur inconnu « PURGE »");
        schema("unknown view", "CREATE VIEW ESPION AS SELECT * FROM ELEVE", "vue inconnue « ESPION »");
        schema("changed view",
               "DROP VIEW VIEW_ANCIEN; CREATE VIEW VIEW_ANCIEN AS SELECT rowid AS RID, ANNEE, Niveau, NOM, CSP, "
               "NOECOLE, NOCLASSE FROM PARCOURS WHERE 0",
               "vue « VIEW_ANCIEN » modifiée");
        schema("unknown index", "CREATE INDEX X ON ELEVE (CSP)", "index inconnu « X »");
        schema("unknown table", "CREATE TABLE NOTES (T)", "table inconnue « NOTES »");
        schema("added column", "ALTER TABLE ECOLE ADD COLUMN SECRET", "table « ECOLE » modifiée");
        schema("table rebuilt with other types",
               "ALTER TABLE CLASSE RENAME TO C; CREATE TABLE CLASSE AS SELECT * FROM C; DROP TABLE C",
               "table « CLASSE » modifiée");
        row("program's own, with new rows", "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (2, 'Deux')", "", "");
        const QString notRegular = "n'est pas un fichier ordinaire", noDatabase = "n'est pas une base de données";
        row("link to /dev/zero", "zero", notRegular, noDatabase);
        row("pipe", "fifo", notRegular, noDatabase);
        row("folder", "folder", "ne contient pas de fichier", "-");
        row("link to nowhere", "dangling", "introuvable", "-");
    }
    void refused()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, said);
        QFETCH(QString, startUp);
        Folders f;
        const QString source = f.backup + "/donnees.mdb", live = DataFiles::LiveDatabase(f.data);
        const bool special = setUp.front().isLower();
        if (!special)
            execSql(f.backup, setUp);
        else if (setUp == "fifo")
            QVERIFY(QFile::remove(source) && ::mkfifo(QFile::encodeName(source).constData(), 0600) == 0);
        else
            QVERIFY(QFile::remove(source) &&
                    (setUp == "folder"
                         ? QDir().mkdir(source)
                         : QFile::link(setUp == "zero" ? "/dev/zero" : f.root.filePath("absent.mdb"), source)));
        const QByteArray liveBytes = fileBytes(live);
        QElapsedTimer timer;
        timer.start();
        const QString reason = f.restore();
        QVERIFY2(said.isEmpty() ? reason.isEmpty() : reason.contains(said), qPrintable(reason));
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(f.liveSchool(), said.isEmpty() ? "Ecole sauvegarde,Deux" : "Ecole donnees");
        QVERIFY(said.isEmpty() || fileBytes(live) == liveBytes);
        QCOMPARE(TestSupport::fileNames(f.data), (QStringList{"Export.vid", "donnees.mdb"}));
        if (startUp == "-")
            return;

        // The same thing as the live file: the start-up refuses it at once, and has no sound copy to offer.
        if (special)
            QVERIFY(QFile::remove(live) && QFile::rename(source, live));
        else
            execSql(f.data, setUp);
        ScriptedDialogs dialogs;
        timer.restart();
        QCOMPARE(PrepareDataFolder(f.data, dialogs, QDateTime::currentDateTime()), said.isEmpty());
        QVERIFY2(said.isEmpty() || dialogs.shown().value(0).text.contains(startUp),
                 qPrintable(dialogs.shown().value(0).text));
        QVERIFY(timer.elapsed() < 5000);
    }

    // The program's connection refuses what a hostile text would need; its own
    // steps get it back for their time; a trigger added later never fires.
    void connectionRefusesWhatOnlyTheProgramMayDo()
    {
        Folders f;
        Connection c;
        c.setDataFolder(f.data);
        QVERIFY(c.OpenDatabase());
        const QString elsewhere = f.root.filePath("ailleurs.db");
        for (const QString &sql :
             {"ATTACH DATABASE '" + elsewhere + "' AS x", QString("VACUUM"), "VACUUM INTO '" + elsewhere + "'",
              QString("PRAGMA user_version = 9"), QString("PRAGMA writable_schema = ON"), QString("PRAGMA optimize"),
              QString("PRAGMA trusted_schema = ON")}) {
            QString error;
            QVERIFY2(!c.execute(sql, {}, &error) && error.contains("auth"), qPrintable(sql + ": " + error));
        }
        QVERIFY(!QFile::exists(elsewhere));
        for (const char *sql : {"PRAGMA table_info(ELEVE)", "SELECT count(*) FROM pragma_table_info('ELEVE')",
                                "PRAGMA quick_check", "PRAGMA user_version"})
            QVERIFY2(c.execute(sql), sql);
        {
            const SqliteSupport::AdministrativeStep step(SqliteSupport::Handle(c.database()));
            QVERIFY(c.execute("ATTACH DATABASE '" + elsewhere + "' AS x") && c.execute("DETACH DATABASE x"));
        }
        QVERIFY(!c.execute("ATTACH DATABASE '" + elsewhere + "' AS x"));

        QVERIFY(c.execute("CREATE TRIGGER purge AFTER UPDATE ON ELEVE BEGIN DELETE FROM ECOLE; END"));
        QVERIFY(c.execute("UPDATE ELEVE SET CSP = 3"));
        QCOMPARE(f.liveSchool(), "Ecole donnees");
    }

    // A backup copied while a write was under way holds the write's pages and
    // its journal: the restore brings back what was last committed, and leaves
    // the backup as it found it.
    void backupCaughtMidWrite()
    {
        Folders f;
        const QString source = DataFiles::LiveDatabase(f.backup);
        const QString caught = f.root.filePath("en cours");
        QDir().mkpath(caught);
        {
            SqliteSupport::RawDatabase db;
            QVERIFY(db.open(source, false) && db.exec("BEGIN; UPDATE ECOLE SET NOM_ECOLE = 'Jamais validé'"));
            QCOMPARE(sqlite3_db_cacheflush(db.handle()), SQLITE_OK); // the uncommitted page is in the file
            for (const QString &suffix : {QString(), QString("-journal")})
                QVERIFY(QFile::copy(source + suffix, caught + "/donnees.mdb" + suffix));
            QVERIFY(fileBytes(caught + "/donnees.mdb").contains("Jamais validé"));
        }
        const QStringList held = TestSupport::fileNames(caught);
        const QByteArray bytes = fileBytes(caught + "/donnees.mdb");
        f.backup = caught;
        QCOMPARE(f.restore(), QString());
        QCOMPARE(f.liveSchool(), "Ecole sauvegarde");
        QCOMPARE(TestSupport::fileNames(caught), held);
        QCOMPARE(fileBytes(caught + "/donnees.mdb"), bytes);
        QCOMPARE(TestSupport::fileNames(f.data), (QStringList{"Export.vid", "donnees.mdb"}));
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
