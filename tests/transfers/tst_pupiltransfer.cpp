// Sending a pupil to another school and receiving one: round trips through the
// pupil toolbar, the key left behind, the remapping of results, refusals, and
// transfer files made by hand (older, foreign or hostile).
#include "WindowFixture.h"

#include "data/SqliteSupport.h"
#include "transfers/PupilExport.h"

#include <QListWidget>
#include <QTest>

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
    void transfer(const QString &key, const QString &folder, const QString &file = {})
    {
        dialogs.queueChoice(folder, file);
        run("pupilToolbar", key);
    }
    QString said() const { return dialogs.shown().last().text; }
    qint64 lastKey() const { return query("SELECT max(NOELEVE) FROM ELEVE").value(0).toLongLong(); }
    // ELEVE but the profiles, which showing a pupil computes and stores.
    QStringList eleve() const
    {
        return query("SELECT " +
                     query("SELECT group_concat(name) FROM pragma_table_info('ELEVE') WHERE name NOT LIKE 'PROFIL%' "
                           "AND name NOT LIKE 'MOYCAT%'")
                         .value(0) +
                     " FROM ELEVE ORDER BY NOELEVE");
    }
    QStringList sent(const QString &sql) const
    {
        SqliteSupport::RawDatabase db;
        QStringList texts;
        if (!db.open(out.path() + "/EXPORT.mdb", false, true) || !db.queryTexts(sql, &texts))
            return {"error: " + db.error()};
        return texts;
    }
};

} // namespace

class TestPupilTransfer : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("route"); // class > pupil (the last of that name) > class
        QTest::addColumn<int>("levels");    // 1 moving up, 0 same level, -1 refused
        QTest::newRow("GS to CP") << "Ecole A/Durand GS > Denis > Ecole A/Martin CP" << 1;
        QTest::newRow("CP to CE1, second of two names")
            << "Ecole A/Martin CP > Jean \"Jeannot\" Dupont > Ecole B/Petit CE1" << 1;
        QTest::newRow("CP to CP") << "Ecole A/Martin CP > Bruno > Ecole B/Autre CP" << 0;
        QTest::newRow("CE1 to CP") << "Ecole B/Petit CE1 > Emma > Ecole A/Martin CP" << -1;
        QTest::newRow("GS to CE1") << "Ecole A/Durand GS > Denis > Ecole B/Petit CE1" << -1;
    }

    // The selected pupil is sent by key, without it; it arrives with a new key
    // and trimester 1 takes last year's trimester 3 when moving up, else all is
    // cleared; a class of a level that does not follow refuses it.
    void roundTrip()
    {
        QFETCH(QString, route);
        QFETCH(int, levels);
        const QString pupil = route.section(" > ", 1, 1);
        Fixture f;
        const qint64 key = f.pick(route.section(" > ", 0, 0), pupil);
        QCOMPARE(f.query("SELECT max(NOELEVE) FROM ELEVE WHERE NOM = '" + pupil + "'"),
                 QStringList{QString::number(key)});
        f.transfer("Exporte", f.out.path() + "/");
        QCOMPARE(f.said(), "L'Exportation de l'élève " + pupil + " a réussi !");
        const QString values = "NOM || '|' || CSP || '|' || T3_E1TOT";
        const QStringList source = f.query(QString("SELECT %1 FROM ELEVE WHERE NOELEVE = %2").arg(values).arg(key));
        QCOMPARE(f.sent("SELECT " + values + " FROM ELEVE"), source);
        QCOMPARE(f.sent("SELECT name FROM pragma_table_info('ELEVE') WHERE name = 'NOELEVE'"), QStringList());

        const QStringList before = f.eleve();
        const qint64 last = f.lastKey();
        f.pick(route.section(" > ", 2));
        const SelectionKeys to = f.context.session.keys();
        f.transfer("Importe", f.out.path(), "EXPORT.mdb");
        if (levels < 0) {
            QCOMPARE(f.said(),
                     QStringLiteral("Le niveau de la classe ne concorde pas.\nla procédure est abandonnée !"));
            QCOMPARE(f.eleve(), before);
            return;
        }
        QCOMPARE(f.said(), "L'importation de l'élève " + pupil + " a réussi !");
        QCOMPARE(f.eleve().mid(0, before.size()), before);
        QCOMPARE(f.query(QString("SELECT NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1P5, T1_E1TOT, T1_E1CAT, "
                                 "T1_E1PRO, T1_E3P2, T1_E3PRO, T2_E1P3, T2_E2TOT, T2_E2PRO, T3_E1P1, T3_E1TOT, "
                                 "T3_E1PRO, T3_E3P2 FROM ELEVE WHERE NOELEVE > %1")
                             .arg(last)),
                 QStringList{QString("%1|%2|").arg(to.schoolNo).arg(to.classNo) + source.value(0).section('|', 0, 1) +
                             "|" +
                             (levels ? "3|4|" + source.value(0).section('|', 2) + "|2|A|7|F" : "99|99|99|99||99|") +
                             "|99|99||99|99||99"});
    }

    // The second export replaces the first whatever its letter case; a failed
    // export leaves the earlier file alone and says why.
    void exportReplacesAndFails()
    {
        Fixture f;
        TestSupport::writeFile(f.out.path() + "/export.MDB", "stale");
        f.pick("Ecole A/Durand GS", "Denis");
        f.transfer("Exporte", f.out.path());
        f.pick("Ecole A/Martin CP", "Bruno");
        f.transfer("Exporte", f.out.path());
        QCOMPARE(TestSupport::fileNames(f.out.path()), QStringList{"EXPORT.mdb"});
        QCOMPARE(f.sent("SELECT NOM || '/' || Niveau FROM ELEVE"), QStringList{"Bruno/CP"});

        const QByteArray kept = TestSupport::fileBytes(f.out.path() + "/EXPORT.mdb");
        QString error;
        QVERIFY(!PupilExport::Export(f.context.connection, f.out.path(), f.lastKey() + 1, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(TestSupport::fileBytes(f.out.path() + "/EXPORT.mdb"), kept);
        QCOMPARE(TestSupport::fileNames(f.out.path()), QStringList{"EXPORT.mdb"});

        const QString failed = QStringLiteral("La procédure d'export a été abandonnée suite à une erreur !\n\n");
        f.transfer("Exporte", f.out.path() + "/absent/");
        QVERIFY2(f.said().startsWith(failed) && f.said().size() > failed.size(), qPrintable(f.said()));
        f.transfer("Exporte", QString()); // given up
        QCOMPARE(f.said(), QStringLiteral("La procédure d'export a été abandonnée !"));
    }

    void madeFile_data()
    {
        QTest::addColumn<QString>("sql"); // on a new EXPORT.mdb (COLS: VIEW_EXPORT's); "": a text file; "-": none
        QTest::addColumn<bool>("imported");
        QTest::addColumn<QString>("expect"); // the pupil imported, or what the reason says
        QTest::newRow("no file") << "-" << false << "aucun fichier de transfert";
        QTest::newRow("not a database") << "" << false << "n'est pas une base de données";
        QTest::newRow("no table") << "CREATE TABLE AUTRE (x);" << false << "pas de table ELEVE";
        QTest::newRow("missing column") << "CREATE TABLE ELEVE (NOM, Niveau); INSERT INTO ELEVE VALUES ('A', 'CP');"
                                        << false << "il manque au fichier de transfert la colonne";
        QTest::newRow("empty") << "CREATE TABLE ELEVE (COLS);" << false << "contient 0 élèves";
        QTest::newRow("two pupils") << "CREATE TABLE ELEVE (COLS); INSERT INTO ELEVE (NOM, Niveau, CSP) VALUES "
                                       "('A', 'CP', 3), ('B', 'CP', 3);"
                                    << false << "contient 2 élèves";
        QTest::newRow("view named ELEVE") << "CREATE TABLE T (COLS); INSERT INTO T (NOM, Niveau, CSP) VALUES "
                                             "('A', 'CP', 3); CREATE VIEW ELEVE AS SELECT * FROM T;"
                                          << false << "pas de table ELEVE";
        QTest::newRow("version 1, no key") << "CREATE TABLE ELEVE (COLS); INSERT INTO ELEVE (NOM, Niveau, CSP) "
                                              "VALUES ('Ancien format', 'CP', 3);"
                                           << true << "Ancien format";
        QTest::newRow("sender's key, taken here") << "CREATE TABLE ELEVE (NOELEVE INTEGER PRIMARY KEY, COLS);"
                                                     "INSERT INTO ELEVE (NOELEVE, NOM, Niveau, CSP) "
                                                     "VALUES (1, 'Clé étrangère', 'CP', 3);"
                                                  << true << "Clé étrangère";
    }

    // Imported with a new key, or refused with the reason after the fixed
    // sentence: nothing else changes, the file included.
    void madeFile()
    {
        QFETCH(QString, sql);
        QFETCH(bool, imported);
        QFETCH(QString, expect);
        Fixture f;
        const QString path = f.out.path() + "/EXPORT.mdb";
        if (sql.isEmpty()) {
            TestSupport::writeFile(path, "NOM\nZoé\n");
        } else if (sql != "-") {
            SqliteSupport::RawDatabase db;
            QVERIFY(db.open(path, true));
            const QString columns = f.query("SELECT group_concat(name, ', ') FROM pragma_table_info('VIEW_EXPORT')")[0];
            QVERIFY2(db.exec(sql.replace("COLS", columns)), qPrintable(db.error()));
        }
        const QByteArray file = TestSupport::fileBytes(path);
        const QStringList before = f.eleve();
        const qint64 last = f.lastKey();
        f.pick("Ecole A/Martin CP");
        f.transfer("Importe", f.out.path(), "EXPORT.mdb");
        if (imported) {
            QCOMPARE(f.said(), "L'importation de l'élève " + expect + " a réussi !");
            QCOMPARE(f.eleve().mid(0, before.size()), before);
            QCOMPARE(f.query(QString("SELECT NOM, NOECOLE, NOCLASSE, CSP FROM ELEVE WHERE NOELEVE > %1").arg(last)),
                     QStringList{expect + "|7|1|3"});
        } else {
            const QString failed = QStringLiteral("La procédure d'import a été abandonnée suite à une erreur !\n\n");
            QVERIFY2(f.said().startsWith(failed) && f.said().mid(failed.size()).contains(expect), qPrintable(f.said()));
            QCOMPARE(f.eleve(), before);
        }
        QCOMPARE(TestSupport::fileBytes(path), file);
    }
};

QTEST_MAIN(TestPupilTransfer)
#include "tst_pupiltransfer.moc"
