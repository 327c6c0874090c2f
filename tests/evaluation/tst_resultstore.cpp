// The scoring's reads and writes on a real database, by pupil key: a CP class
// holding two pupils of the same name, a class of the same number in another
// school, and an empty GS class.
#include "TestSupport.h"

#include "data/Connection.h"
#include "evaluation/ResultStore.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestResultStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Connection> m_c;
    std::unique_ptr<ResultStore> m_store;
    const qint64 m_other = 1, m_lea1 = 2, m_jean = 3, m_lea2 = 4; // keys in insertion order

    QString sql(const QString &text)
    {
        QSqlQuery q(m_c->database());
        return q.exec(text) && q.next() ? q.value(0).toString() : QStringLiteral("<error or no row>");
    }
    QString pupil(qint64 key, const char *expression)
    {
        return sql(QStringLiteral("SELECT %1 FROM ELEVE WHERE NOELEVE = %2").arg(QLatin1String(expression)).arg(key));
    }
    // Every row of ELEVE, then of CLASSE.
    QStringList content()
    {
        return TestSupport::tableRows(m_c->database(), "ELEVE") + TestSupport::tableRows(m_c->database(), "CLASSE");
    }
    qint64 changes() { return sql(QStringLiteral("SELECT total_changes()")).toLongLong(); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString folder = m_dir->path();
        TestSupport::createEmptyDataFolder(folder);
        // The other school's pupil comes first: a look-up missing the school would find it.
        TestSupport::execSql(
            folder,
            "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole A'), (2, 'Ecole B');"
            "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES "
            "(1, 1, 'CP A', 'CP'), (1, 3, 'GS vide', 'GS'), (2, 1, 'CE1 B', 'CE1');"
            "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, T2_E3CAT, T2_E3PRO) VALUES (2, 1, 'Léa Martin', 1, 'A');"
            "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T2_E1CAT, T3_E3CAT, T3_E3PRO) "
            "VALUES (1, 1, 'Léa Martin', 5, 1, 2, 'A');"
            "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T2_E2CAT, T3_E2CAT, T3_E3CAT, T3_E3PRO) "
            "VALUES (1, 1, 'Jean \"Jeannot\" Dupont', 4, 2, 4, 3, 'F');"
            "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) VALUES (1, 1, 'Léa Martin', 6)");
        m_c = std::make_unique<Connection>();
        m_c->setDataFolder(folder);
        QString error;
        QVERIFY2(m_c->OpenDatabase(&error), qPrintable(error));
        m_store = std::make_unique<ResultStore>(*m_c);
    }
    void cleanup() { m_c->CloseDatabase(); }

    // Saving for one of two namesakes writes that row only, and only what
    // changed; a profile computed for one goes to that row only. Several
    // pupils are stored together or not at all.
    void byKey()
    {
        const QStringList before = content();
        QString error;
        QVERIFY(!m_store->SaveResults(999, {{"T1_E1P1", 1}}, &error) && !error.isEmpty());
        QVERIFY(!m_store->SaveResults(0, {{"T1_E1P1", 1}}) && !m_store->pupilFields(0) && !m_store->pupilFields(999));
        QVERIFY(m_store->SaveResults(m_lea2, {{"T1_E1P1", 1}, {"T1_E1TOT", 99}, {"T1_E1PRO", "_"}}));
        QCOMPARE(content().mid(0, 3), before.mid(0, 3)); // the namesake and the others untouched
        QCOMPARE(pupil(m_lea2, "T1_E1P1 || T1_E1TOT || T1_E1PRO || CSP"), "199_6");
        // The same values again, as other types, write nothing.
        const qint64 written = changes();
        QVERIFY(m_store->SaveResults(m_lea2, {{"T1_E1P1", 1.0}, {"T1_E1TOT", "99"}, {"T1_E1PRO", "_"}}));
        QCOMPARE(changes(), written);

        QCOMPARE(m_store->ComputePupilProfile(2, 999), QStringList());
        // Léa's profile goes to her row, not her namesake's.
        QCOMPARE(m_store->ComputePupilProfile(2, m_lea1), (QStringList{"_", "_", "_", "A"}));
        QCOMPARE(pupil(m_lea1, "PROFIL_L || PROFIL_CT || MOYCAT_CT"), "_A2.0");
        QCOMPARE(pupil(m_lea2, "PROFIL_CT IS NULL AND MOYCAT_CT IS NULL"), "1");
        // CE1 panels end with ARI.
        QCOMPARE(m_store->ComputePupilProfile(3, m_other), (QStringList{"_", "_", "_", "A"}));
        QCOMPARE(pupil(m_other, "PROFIL_L || MOYCAT_L"), "A1.0");

        // Several pupils stored together: all of them, or none when one is not found.
        const QStringList stored = content();
        error.clear();
        QVERIFY(!m_store->SaveResultsOfPupils({{m_jean, {{"T1_E1P1", 2}}}, {999999, {{"T1_E1P1", 2}}}}, &error));
        QVERIFY2(error.contains("introuvable"), qPrintable(error));
        QCOMPARE(content(), stored);
        QVERIFY(m_store->SaveResultsOfPupils({{m_jean, {{"T1_E1P1", 2}, {"CSP", 3}}}}));
        QCOMPARE(pupil(m_jean, "T1_E1P1 || CSP"), "23");
        QCOMPARE(m_store->pupilFields(m_jean)->value("CSP").toInt(), 3);
    }

    // The class's pupils, then the class from its pupils only, in one
    // transaction; profiles up to date write nothing.
    void refreshClassProfiles()
    {
        const QString letters = "IFNULL(PROFIL_L || PROFIL_PG || PROFIL_RM || PROFIL_CT, 'null')";
        QVERIFY(m_store->RefreshClassProfiles(2, 1, 1));
        QCOMPARE(sql("SELECT group_concat(" + letters + ", ' ') FROM (SELECT * FROM ELEVE ORDER BY NOELEVE)"),
                 "null ___A __FF ____"); // the other school's pupil, then Léa, Jean, Léa
        QCOMPARE(sql("SELECT T1_E1CAT || ' ' || T2_E1CAT || ' ' || T2_E2CAT || ' ' || T3_E2CAT || ' ' || T3_E3CAT || "
                     "' ' || " +
                     letters + " FROM CLASSE WHERE NOECOLE = 1 AND NOCLASSE = 1"),
                 "0.0 1.0 2.0 4.0 2.5 _AFA");

        const qint64 settled = changes();
        QVERIFY(m_store->RefreshClassProfiles(2, 1, 1));
        QCOMPARE(m_store->ComputeClassProfile(2, 1, 1), (QStringList{"_", "A", "F", "A"}));
        // An empty class changes nothing either.
        QVERIFY(m_store->RefreshClassProfiles(1, 1, 3) && m_store->ComputeClassProfile(1, 1, 3).isEmpty());
        QCOMPARE(changes(), settled);

        // A changed category: one write for the pupil and one for the class.
        QVERIFY(m_store->SaveResults(m_jean, {{"T3_E2CAT", 3}, {"T3_E2PRO", "F"}}));
        QCOMPARE(m_store->ComputePupilProfile(2, m_jean), (QStringList{"_", "_", "F", "F"}));
        QCOMPARE(m_store->ComputeClassProfile(2, 1, 1), (QStringList{"_", "A", "F", "A"}));
        QCOMPARE(changes(), settled + 3);
    }

    // A write the database refuses is reported and leaves every row as it was.
    void refusedWriteChangesNothing()
    {
        const QStringList before = content();
        QString error;
        // The class refused: the pupils' profiles written before it are undone too.
        TestSupport::execWithTriggers(
            m_c->database(),
            "CREATE TRIGGER refuse_classe BEFORE UPDATE ON CLASSE BEGIN SELECT RAISE(ABORT, 'refus'); END");
        QVERIFY(!m_store->RefreshClassProfiles(2, 1, 1, &error));
        QVERIFY2(error.contains("refus"), qPrintable(error));
        QCOMPARE(content(), before);
        QVERIFY(m_store->pupilFields(m_jean)->value("PROFIL_RM").isNull());

        TestSupport::execWithTriggers(
            m_c->database(),
            "CREATE TRIGGER refuse_eleve BEFORE UPDATE ON ELEVE BEGIN SELECT RAISE(ABORT, 'refus'); END");
        QVERIFY(!m_store->SaveResults(m_jean, {{"CSP", 1}, {"T1_E1P1", 4}}, &error));
        QVERIFY2(error.contains("refus"), qPrintable(error));
        // Nothing refused lingers in what the store reads back.
        QCOMPARE(m_store->pupilFields(m_jean)->value("CSP").toInt(), 4);
        QVERIFY(m_store->pupilFields(m_jean)->value("T1_E1P1").isNull());
        // The panels still show the computed profiles, with the failure reported.
        QString pupilError, classError;
        QCOMPARE(m_store->ComputePupilProfile(2, m_jean, &pupilError), (QStringList{"_", "_", "F", "F"}));
        QCOMPARE(m_store->ComputeClassProfile(2, 1, 1, &classError), (QStringList{"_", "A", "F", "A"}));
        QVERIFY2(pupilError.contains("refus") && classError.contains("refus"), qPrintable(pupilError + classError));
        QCOMPARE(content(), before);
        QVERIFY(m_c->database().transaction() && m_c->database().rollback()); // no transaction left open
        QVERIFY(m_c->execute("DROP TRIGGER refuse_eleve"));
        QVERIFY(m_store->SaveResults(m_jean, {{"T1_E1P1", 4}}));
        QCOMPARE(pupil(m_jean, "CSP || T1_E1P1"), "44");
    }
};

QTEST_GUILESS_MAIN(TestResultStore)
#include "tst_resultstore.moc"
