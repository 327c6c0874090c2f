// Sending a pupil to another school and receiving one: round trips through the
// pupil toolbar, the key left behind, the remapping of results, refusals, and
// transfer files made by hand (older, foreign or hostile).
#include "WindowFixture.h"

#include "data/SqliteSupport.h"
#include "transfers/PupilExport.h"

#include <QFile>

#include <QListWidget>
#include <QTest>
#include <sys/stat.h>

namespace {

// The sample with results for every pupil (T3_E1TOT differs from pupil to
// pupil), a second CP class, and two pupils of one name with their own values.
struct Fixture : WindowFixture
{
    QTemporaryDir out;

    Fixture()
    {
        fillSample();
        exec("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (3, 2, 'Autre CP', 'CP');"
             "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) VALUES (7, 1, 'Jean \"Jeannot\" Dupont', 2), "
             "(7, 1, 'Jean \"Jeannot\" Dupont', 6);"
             "UPDATE ELEVE SET T1_E1P1 = 1, T1_E1TOT = 2, T2_E2TOT = 5, T2_E2PRO = 'F', T3_E1P1 = 3, T3_E1P5 = 4, "
             "T3_E1TOT = 10 + NOELEVE, T3_E1CAT = 2, T3_E1PRO = 'A', T3_E3P2 = 7, T3_E3PRO = 'F'");
        if (!start())
            qFatal("database not opened");
    }
    // Selects "school/class" and the last pupil called `pupil`; the session's pupil key.
    qint64 pick(const QString &place, const QString &pupil = {})
    {
        select(schools(), place.section('/', 0, 0));
        select(classes(), place.section('/', 1));
        if (!pupil.isEmpty())
            pupils()->setCurrentRow(int(texts(pupils()).lastIndexOf(pupil)));
        return context.session.pupilKey();
    }
    // Runs "Exporte" or "Importe" on the folder chosen; the last thing said.
    QString transfer(const QString &key, const QString &folder, const QString &file = {})
    {
        dialogs.queueChoice(folder, file);
        run("pupilToolbar", key);
        return dialogs.shown().last().text;
    }
};

} // namespace

class TestPupilTransfer : public QObject
{
    Q_OBJECT

private slots:
    void transfer_data()
    {
        QTest::addColumn<QString>("route");  // class > pupil (the last of that name) > class
        QTest::addColumn<QString>("sql");    // run on the file sent; "-": file removed; "text": a text file instead
        QTest::addColumn<QString>("reason"); // why the import is refused, "" when it is not
        const auto row = [](const char *name, const QString &route, const QString &sql, const QString &reason) {
            QTest::newRow(name) << route << sql << reason;
        };
        row("GS to CP", "Ecole A/Durand GS > Denis > Ecole A/Martin CP", "", "");
        row("CP to CE1, 2nd of a name", "Ecole A/Martin CP > Jean \"Jeannot\" Dupont > Ecole B/Petit CE1", "", "");
        row("CP to CP", "Ecole A/Martin CP > Bruno > Ecole B/Autre CP", "", "");
        row("CE1 to CP", "Ecole B/Petit CE1 > Emma > Ecole A/Martin CP", "", "ne concorde pas");
        const QString back = "Ecole A/Martin CP > Bruno > Ecole A/Martin CP"; // into a class having the name
        row("back, no key sent (as version 1)", back, "", "");
        row("sender's key, taken here", back, "ALTER TABLE ELEVE ADD NOELEVE; UPDATE ELEVE SET NOELEVE = 1", "");
        row("no file", back, "-", "aucun fichier de transfert");
        row("not a database", back, "text", "n'est pas une base de données");
        row("missing column", back, "ALTER TABLE ELEVE DROP COLUMN CSP",
            "il manque au fichier de transfert la colonne");
        row("two pupils", back, "INSERT INTO ELEVE SELECT * FROM ELEVE", "contient 2 élèves");
        row("view ELEVE", back, "ALTER TABLE ELEVE RENAME TO T; CREATE VIEW ELEVE AS SELECT * FROM T", "pas de table");
        // Hostile or careless files: code, values the program never writes, a pipe, a full class.
        const QString never = "que le programme n'y met jamais";
        row("a trigger", back, "CREATE TABLE T (A); CREATE TRIGGER t AFTER INSERT ON T BEGIN DELETE FROM T; END",
            never);
        row("a view", back, "CREATE VIEW V AS SELECT * FROM ELEVE", never);
        row("a 10 MB name", back, "UPDATE ELEVE SET NOM = hex(zeroblob(5000000))", "plus que les 80 acceptés");
        row("a name of 81 characters", back, "UPDATE ELEVE SET NOM = printf('%.81c', 'x')", "81 caractères");
        row("a score of 150", back, "UPDATE ELEVE SET T3_E1P1 = 150", "« T3_E1P1 » vaut « 150 », hors de");
        row("a total in letters", back, "UPDATE ELEVE SET T2_E2TOT = 'douze'", "« T2_E2TOT » vaut « douze »");
        row("a category below 0", back, "UPDATE ELEVE SET T1_E1CAT = -1", "« T1_E1CAT » vaut « -1 »");
        row("a CSP outside the list", back, "UPDATE ELEVE SET CSP = 8", "pas un code de la liste (0 à 7)");
        row("a pipe", back, "fifo", "n'est pas un fichier ordinaire");
        row("a class of 200", back, "full", "la classe compte déjà 200 élèves");
    }

    // The selected pupil is sent by key, without it, replacing an earlier file;
    // it arrives with a new key and trimester 1 takes last year's trimester 3
    // when moving up, else all is cleared. A class of a level that does not
    // follow, or a file that is no transfer file, refuses it with the reason:
    // nothing changes, the file included.
    void transfer()
    {
        QFETCH(QString, route);
        QFETCH(QString, sql);
        QFETCH(QString, reason);
        const QString pupil = route.section(" > ", 1, 1);
        Fixture f;
        // An export that fails, then one given up: each says so, and writes nothing.
        QVERIFY(f.transfer("Exporte", f.out.path() + "/absent/")
                    .startsWith("La procédure d'export a été abandonnée suite"));
        QCOMPARE(f.transfer("Exporte", QString()), QStringLiteral("La procédure d'export a été abandonnée !"));
        TestSupport::writeFile(f.out.path() + "/export.MDB", "an earlier file, whatever the letter case");
        const qint64 key = f.pick(route.section(" > ", 0, 0), pupil);
        QCOMPARE(f.query("SELECT max(NOELEVE) FROM ELEVE WHERE NOM = '" + pupil + "'"),
                 QStringList{QString::number(key)});
        QCOMPARE(f.transfer("Exporte", f.out.path() + "/"), "L'Exportation de l'élève " + pupil + " a réussi !");
        QString error; // a failed export leaves the file alone, and nothing else
        QVERIFY(!PupilExport::Export(f.context.connection, f.out.path(), 999999, &error) && !error.isEmpty());
        QCOMPARE(TestSupport::fileNames(f.out.path()), QStringList{"EXPORT.mdb"});
        const QString path = f.out.path() + "/EXPORT.mdb";
        QVERIFY(!TestSupport::fileBytes(path).contains("NOELEVE")); // nowhere in the file, its schema included
        const QString source =
            f.query(QString("SELECT NOM || '|' || CSP || '|' || T3_E1TOT FROM ELEVE WHERE NOELEVE = %1").arg(key))[0];

        SqliteSupport::RawDatabase db;
        if (sql == "text")
            TestSupport::writeFile(path, "NOM\nZoé\n");
        else if (sql == "-")
            QVERIFY(QFile::remove(path));
        else if (sql == "fifo")
            QVERIFY(QFile::remove(path) && ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else if (sql == "full")
            f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) INSERT INTO ELEVE "
                   "(NOECOLE, NOCLASSE, NOM) SELECT 7, 1, 'Élève ' || i FROM n WHERE i > (SELECT count(*) FROM "
                   "ELEVE WHERE NOECOLE = 7 AND NOCLASSE = 1)");
        else if (!sql.isEmpty())
            QVERIFY2(db.open(path, false) && db.exec(sql), qPrintable(db.error()));
        db.close();
        const QByteArray file = sql == "fifo" ? QByteArray() : TestSupport::fileBytes(path);
        f.pick(route.section(" > ", 2));
        const SelectionKeys to = f.context.session.keys();
        const QString eleve = "SELECT NOELEVE, NOECOLE, NOCLASSE, NOM, CSP, T1_E1TOT, T3_E1TOT FROM ELEVE ORDER BY 1";
        const QStringList before = f.query(eleve);
        const int listed = f.pupils()->count();
        const QString said = f.transfer("Importe", f.out.path(), "EXPORT.mdb");
        const QString klass = route.section('/', -1);
        QVERIFY2(said.contains(reason.isEmpty() ? "L'importation de l'élève " + pupil +
                                                      " a réussi !\n1 élève a été ajouté à la classe « " + klass + " »."
                                                : reason),
                 qPrintable(said));
        // The class that received the pupil stays selected, its list shows it.
        QVERIFY(f.selected(f.classes()) == klass && f.context.session.classNo() == to.classNo);
        QCOMPARE(f.pupils()->count(), listed + (reason.isEmpty() ? 1 : 0));
        QCOMPARE(f.query(eleve).mid(0, before.size()), before); // the pupils there before are left as they were
        if (sql != "fifo")
            QCOMPARE(TestSupport::fileBytes(path), file);
        const bool up = route.section(" > ", 0, 0).section(' ', -1) != route.section(' ', -1);
        const QString results = up ? "3|4|" + source.section('|', 2) + "|2|A|7|F" : "99|99|99|99||99|";
        QCOMPARE(f.query("SELECT NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1P5, T1_E1TOT, T1_E1CAT, T1_E1PRO, T1_E3P2, "
                         "T1_E3PRO, T2_E1P3, T2_E2TOT, T2_E2PRO, T3_E1P1, T3_E1TOT, T3_E1PRO, T3_E3P2 FROM ELEVE "
                         "WHERE NOELEVE > " +
                         before.last().section('|', 0, 0)),
                 reason.isEmpty() ? QStringList{QString("%1|%2|").arg(to.schoolNo).arg(to.classNo) +
                                                source.section('|', 0, 1) + "|" + results + "|99|99||99|99||99"}
                                  : QStringList());
    }
};

QTEST_MAIN(TestPupilTransfer)
#include "tst_pupiltransfer.moc"
