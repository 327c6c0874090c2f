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
    qint64 m_other = 0, m_lea1 = 0, m_jean = 0, m_lea2 = 0;

    QString sql(const QString &text)
    {
        QSqlQuery q(m_c->database());
        if (!q.exec(text))
            qFatal("%s", qPrintable(text));
        return q.next() ? q.value(0).toString() : QStringLiteral("<none>");
    }
    QString pupil(qint64 key, const char *expression)
    {
        return sql(QStringLiteral("SELECT %1 FROM ELEVE WHERE NOELEVE = %2").arg(QLatin1String(expression)).arg(key));
    }
    QStringList rows(const char *table) { return TestSupport::tableRows(m_c->database(), QLatin1String(table)); }
    qint64 changes() { return sql(QStringLiteral("SELECT total_changes()")).toLongLong(); }
    // The file refuses every update of `table`.
    void refuse(const QString &table, const QString &name)
    {
        QVERIFY(
            m_c->execute(QStringLiteral("CREATE TRIGGER %1 BEFORE UPDATE ON %2 BEGIN SELECT RAISE(ABORT, 'refus'); END")
                             .arg(name, table)));
    }
    QStringList cpProfile() { return m_store->ComputeClassProfile(2, 1, 1); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString folder = m_dir->path();
        TestSupport::createEmptyDataFolder(folder);
        TestSupport::execSql(folder, "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole A'), (2, 'Ecole B');"
                                     "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES "
                                     "(1, 1, 'CP A', 'CP'), (1, 3, 'GS vide', 'GS'), (2, 1, 'CE1 B', 'CE1')");
        // "FIELD=value ...", class 1 of the school; the column types turn numeric texts into numbers.
        auto pupil = [&](int school, const QString &name, const QString &fields) {
            QVariantMap row{{"NOECOLE", school}, {"NOCLASSE", 1}, {"NOM", name}};
            for (const QString &pair : fields.split(' '))
                row.insert(pair.section('=', 0, 0), pair.section('=', 1));
            return TestSupport::insertRow(folder, "ELEVE", row);
        };
        // The other school's pupil comes first: a look-up missing the school would find it.
        m_other = pupil(2, "Léa Martin", "T2_E3CAT=1 T2_E3PRO=A");
        m_lea1 = pupil(1, "Léa Martin", "CSP=5 T2_E1CAT=1 T3_E3CAT=2 T3_E3PRO=A");
        m_jean = pupil(1, "Jean \"Jeannot\" Dupont", "CSP=4 T2_E2CAT=2 T3_E2CAT=4 T3_E3CAT=3 T3_E3PRO=F");
        m_lea2 = pupil(1, "Léa Martin", "CSP=6");
        m_c = std::make_unique<Connection>();
        m_c->setDataFolder(folder);
        QString error;
        QVERIFY2(m_c->OpenDatabase(&error), qPrintable(error));
        m_store = std::make_unique<ResultStore>(*m_c);
    }
    void cleanup() { m_c->CloseDatabase(); }

    // Saving for one of two namesakes writes that row only, and only what changed.
    void saveResults()
    {
        const QStringList before = rows("ELEVE");
        QString error;
        for (const qint64 unknown : {qint64(0), qint64(999)}) {
            QVERIFY(!m_store->SaveResults(unknown, {{"T1_E1P1", 1}}, &error));
            QVERIFY(!error.isEmpty());
            QVERIFY(!m_store->pupilFields(unknown));
        }
        QVERIFY2(m_store->SaveResults(m_lea2, {{"T1_E1P1", 1}, {"T1_E1TOT", 99}, {"T1_E1PRO", "_"}}, &error),
                 qPrintable(error));
        QCOMPARE(rows("ELEVE").mid(0, 3), before.mid(0, 3)); // the namesake and the others untouched
        QCOMPARE(pupil(m_lea2, "T1_E1P1 || T1_E1TOT || T1_E1PRO || CSP"), "199_6");
        QCOMPARE(m_store->pupilFields(m_lea2)->value("T1_E1TOT").toInt(), 99);
        // The same values again, as other types, write nothing.
        const qint64 written = changes();
        QVERIFY(m_store->SaveResults(m_lea2, {{"T1_E1P1", 1.0}, {"T1_E1TOT", "99"}, {"T1_E1PRO", "_"}}));
        QCOMPARE(changes(), written);
    }

    void pupilProfile()
    {
        QCOMPARE(m_store->ComputePupilProfile(2, 999), QStringList());
        const QStringList before = rows("ELEVE");
        QCOMPARE(m_store->ComputePupilProfile(2, m_jean), (QStringList{"_", "_", "F", "F"}));
        QCOMPARE(pupil(m_jean, "PROFIL_L || PROFIL_PG || PROFIL_RM || PROFIL_CT || ' ' || MOYCAT_L || ' ' || "
                               "MOYCAT_PG || ' ' || MOYCAT_RM || ' ' || MOYCAT_CT"),
                 "__FF 0.0 0.0 6.0 3.0");
        // Léa's profile goes to her row, not her namesake's.
        QCOMPARE(m_store->ComputePupilProfile(2, m_lea1), (QStringList{"_", "_", "_", "A"}));
        QCOMPARE(pupil(m_lea1, "PROFIL_L || PROFIL_CT || MOYCAT_CT"), "_A2.0");
        QCOMPARE(pupil(m_lea2, "PROFIL_CT IS NULL AND MOYCAT_CT IS NULL"), "1");
        QCOMPARE(rows("ELEVE").constFirst(), before.constFirst());
        // CE1 panels end with ARI.
        QCOMPARE(m_store->ComputePupilProfile(3, m_other), (QStringList{"_", "_", "_", "A"}));
        QCOMPARE(pupil(m_other, "PROFIL_L || MOYCAT_L"), "A1.0");
    }

    // The class's pupils, then the class from its pupils only, in one
    // transaction; profiles up to date write nothing.
    void refreshClassProfiles()
    {
        const QString letters = "IFNULL(PROFIL_L || PROFIL_PG || PROFIL_RM || PROFIL_CT, 'null')";
        QString error;
        QVERIFY2(m_store->RefreshClassProfiles(2, 1, 1, &error), qPrintable(error));
        QCOMPARE(sql("SELECT group_concat(" + letters + ", ' ') FROM (SELECT * FROM ELEVE ORDER BY NOELEVE)"),
                 "null ___A __FF ____"); // the other school's pupil, then Léa, Jean, Léa
        QCOMPARE(
            sql("SELECT T1_E1CAT || ' ' || T1_E2CAT || ' ' || T1_E3CAT || ' ' || T2_E1CAT || ' ' || T2_E2CAT || ' ' "
                "|| T2_E3CAT || ' ' || T3_E1CAT || ' ' || T3_E2CAT || ' ' || T3_E3CAT || ' ' || " +
                letters + " FROM CLASSE WHERE NOECOLE = 1 AND NOCLASSE = 1"),
            "0.0 0.0 0.0 1.0 2.0 0.0 0.0 4.0 2.5 _AFA");

        const qint64 settled = changes();
        const QByteArray file = TestSupport::fileBytes(m_c->database().databaseName());
        QVERIFY(m_store->RefreshClassProfiles(2, 1, 1));
        for (const qint64 key : {m_jean, m_lea1, m_lea2})
            QVERIFY(!m_store->ComputePupilProfile(2, key).isEmpty());
        QCOMPARE(cpProfile(), (QStringList{"_", "A", "F", "A"}));
        // An empty class, or none, changes nothing either.
        QCOMPARE(m_store->ComputeClassProfile(1, 1, 3), QStringList());
        QCOMPARE(m_store->ComputeClassProfile(2, 1, 0), QStringList());
        QVERIFY(m_store->RefreshClassProfiles(1, 1, 3));
        QCOMPARE(changes(), settled);
        QCOMPARE(TestSupport::fileBytes(m_c->database().databaseName()), file);

        // A changed category: one write for the pupil and one for the class.
        QVERIFY(m_store->SaveResults(m_jean, {{"T3_E2CAT", 3}, {"T3_E2PRO", "F"}}));
        QCOMPARE(m_store->ComputePupilProfile(2, m_jean), (QStringList{"_", "_", "F", "F"}));
        QCOMPARE(cpProfile(), (QStringList{"_", "A", "F", "A"}));
        QCOMPARE(changes(), settled + 3);
        QCOMPARE(sql("SELECT T3_E2CAT FROM CLASSE WHERE NOECOLE = 1 AND NOCLASSE = 1"), "3");
    }

    // A write the database refuses is reported and leaves every row as it was.
    void refusedWriteChangesNothing()
    {
        const QStringList pupils = rows("ELEVE"), classes = rows("CLASSE");
        QString error;
        // The class refused: the pupils' profiles written before it are undone too.
        refuse("CLASSE", "refuse_classe");
        QVERIFY(!m_store->RefreshClassProfiles(2, 1, 1, &error));
        QVERIFY2(error.contains("refus"), qPrintable(error));
        QCOMPARE(rows("ELEVE"), pupils);
        QVERIFY(m_store->pupilFields(m_jean)->value("PROFIL_RM").isNull());

        refuse("ELEVE", "refuse_eleve");
        QVERIFY(!m_store->SaveResults(m_jean, {{"CSP", 1}, {"T1_E1P1", 4}}, &error));
        QVERIFY2(error.contains("refus"), qPrintable(error));
        // Nothing refused lingers in what the store reads back.
        QCOMPARE(m_store->pupilFields(m_jean)->value("CSP").toInt(), 4);
        QVERIFY(m_store->pupilFields(m_jean)->value("T1_E1P1").isNull());
        // The panels still show the computed profiles, with the failure reported.
        error.clear();
        QCOMPARE(m_store->ComputePupilProfile(2, m_jean, &error), (QStringList{"_", "_", "F", "F"}));
        QVERIFY2(error.contains("refus"), qPrintable(error));
        error.clear();
        QCOMPARE(m_store->ComputeClassProfile(2, 1, 1, &error), (QStringList{"_", "A", "F", "A"}));
        QVERIFY2(error.contains("refus"), qPrintable(error));
        error.clear();
        QVERIFY(!m_store->RefreshClassProfiles(2, 1, 1, &error));
        QVERIFY2(error.contains("refus"), qPrintable(error));
        QCOMPARE(rows("ELEVE"), pupils);
        QCOMPARE(rows("CLASSE"), classes);
        QVERIFY(m_c->database().transaction()); // no transaction left open
        QVERIFY(m_c->database().rollback());
        QVERIFY(m_c->execute("DROP TRIGGER refuse_eleve"));
        QVERIFY(m_store->SaveResults(m_jean, {{"T1_E1P1", 4}}));
        QCOMPARE(pupil(m_jean, "CSP || T1_E1P1"), "44");
    }
};

QTEST_GUILESS_MAIN(TestResultStore)
#include "tst_resultstore.moc"
