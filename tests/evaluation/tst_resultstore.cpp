// The scoring's reads and writes on a real database: a CP class of two pupils,
// a CE1 class holding a pupil of the same name, and an empty GS class.
#include "TestSupport.h"

#include "common/AppState.h"
#include "data/Connection.h"
#include "evaluation/ResultStore.h"
#include "mainwindow/Navigation.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString Jeannot = QStringLiteral("Jean \"Jeannot\" Dupont");
const QString Lea = QStringLiteral("Léa Martin");

} // namespace

class TestResultStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Connection> m_c;
    AppState m_state;
    std::unique_ptr<Navigation> m_nav;
    std::unique_ptr<ResultStore> m_store;

    QVariant sql(const QString &text)
    {
        QSqlQuery q(m_c->database());
        if (!q.exec(text))
            qFatal("%s", qPrintable(text));
        return q.next() ? q.value(0) : QVariant();
    }
    QVariant field(const QString &table, const QString &where, const QString &column)
    {
        return sql(QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(column, table, where));
    }
    QStringList rows(const char *table) { return TestSupport::tableRows(m_c->database(), QLatin1String(table)); }
    qint64 changes() { return sql(QStringLiteral("SELECT total_changes()")).toLongLong(); }
    void select(const QString &label, const QString &name = {})
    {
        m_nav->selectSchool(QStringLiteral("Ecole A"));
        m_nav->selectClass(label);
        if (!name.isEmpty())
            QVERIFY(m_nav->selectPupil(name));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString folder = m_dir->path();
        TestSupport::createEmptyDataFolder(folder);
        auto add = [&](const char *table, const QVariantMap &row) {
            TestSupport::insertRow(folder, QLatin1String(table), row);
        };
        add("ECOLE", {{"NOECOLE", 1}, {"NOM_ECOLE", "Ecole A"}});
        add("CLASSE", {{"NOECOLE", 1}, {"NOCLASSE", 1}, {"LIBELLE", "CP A"}, {"NIVEAU", "CP"}});
        add("CLASSE", {{"NOECOLE", 1}, {"NOCLASSE", 2}, {"LIBELLE", "CE1 B"}, {"NIVEAU", "CE1"}});
        add("CLASSE", {{"NOECOLE", 1}, {"NOCLASSE", 3}, {"LIBELLE", "GS vide"}, {"NIVEAU", "GS"}});
        // The CE1 pupil comes first: a look-up by name alone would find it.
        add("ELEVE", {{"NOECOLE", 1}, {"NOCLASSE", 2}, {"NOM", Lea}, {"CSP", 3}, {"T2_E3CAT", 1}, {"T2_E3PRO", "A"}});
        add("ELEVE", {{"NOECOLE", 1},
                      {"NOCLASSE", 1},
                      {"NOM", Jeannot},
                      {"CSP", 4},
                      {"T2_E2CAT", 2},
                      {"T3_E2CAT", 4},
                      {"T3_E3CAT", 3},
                      {"T3_E3PRO", "F"}});
        add("ELEVE", {{"NOECOLE", 1}, {"NOCLASSE", 1}, {"NOM", Lea}, {"CSP", 5}, {"T2_E1CAT", 1}, {"T3_E3CAT", 2}});
        m_c = std::make_unique<Connection>();
        m_c->setDataFolder(folder);
        QString error;
        QVERIFY2(m_c->OpenDatabase(&error), qPrintable(error));
        m_state = AppState();
        m_nav = std::make_unique<Navigation>(*m_c, m_state);
        m_store = std::make_unique<ResultStore>(*m_c, m_state);
        select(QStringLiteral("CP A"), Jeannot);
    }

    void saveResults()
    {
        const QStringList before = rows("ELEVE");
        QString error;
        QVERIFY(!m_store->SaveResults(QStringLiteral("Inconnu"), {{"T1_E1P1", 1}}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(rows("ELEVE"), before);

        QVERIFY(m_store->SaveResults(Lea, {{"T1_E1P1", 1}, {"T1_E1TOT", 99}, {"T1_E1PRO", "_"}}, &error));
        const QStringList after = rows("ELEVE");
        QCOMPARE(after.mid(0, 2), before.mid(0, 2)); // the CE1 namesake and Jeannot untouched
        QCOMPARE(field("ELEVE", "NOCLASSE = 1 AND NOM = 'Léa Martin'", "T1_E1P1 || T1_E1TOT || T1_E1PRO || CSP"),
                 QVariant("199_5"));
        // The class's pupils are reloaded, with the saved pupil current.
        QCOMPARE(m_c->VIEW_ELEVE.value("NOM").toString(), Lea);
        QCOMPARE(m_c->VIEW_ELEVE.value("T1_E1P1").toInt(), 1);
        // Saving the same values again writes nothing.
        const qint64 written = changes();
        QVERIFY(m_store->SaveResults(Lea, {{"T1_E1P1", 1.0}, {"T1_E1TOT", "99"}, {"T1_E1PRO", "_"}}, &error));
        QCOMPARE(changes(), written);
    }

    void pupilProfile()
    {
        QCOMPARE(m_store->ComputePupilProfile(2, QStringLiteral("Inconnu")), QStringList());
        QCOMPARE(m_store->ComputePupilProfile(2, Jeannot), (QStringList{"_", "_", "F", "F"}));
        QCOMPARE(field("ELEVE", "NOM LIKE 'Jean%'",
                       "PROFIL_L || PROFIL_PG || PROFIL_RM || PROFIL_CT || ' ' || MOYCAT_L || ' ' || MOYCAT_PG "
                       "|| ' ' || MOYCAT_RM || ' ' || MOYCAT_CT"),
                 QVariant("__FF 0.0 0.0 6.0 3.0"));
        QCOMPARE(m_c->VIEW_ELEVE.value("NOM").toString(), Jeannot);
        QCOMPARE(m_c->VIEW_ELEVE.value("PROFIL_RM").toString(), QStringLiteral("F"));
        // CE1 panels end with ARI; only the CE1 pupil is written.
        select(QStringLiteral("CE1 B"), Lea);
        QCOMPARE(m_store->ComputePupilProfile(3, Lea), (QStringList{"_", "_", "_", "A"}));
        QCOMPARE(field("ELEVE", "NOM = 'Léa Martin' AND NOCLASSE = 1", "PROFIL_L IS NULL"), QVariant(1));
        QCOMPARE(field("ELEVE", "NOM = 'Léa Martin' AND NOCLASSE = 2", "PROFIL_L || MOYCAT_L"), QVariant("A1.0"));
    }

    void classProfile()
    {
        m_c->Data2.moveLast(); // the store positions the class row itself
        QCOMPARE(m_store->ComputeClassProfile(2), (QStringList{"_", "A", "F", "A"}));
        QCOMPARE(field("CLASSE", "NOCLASSE = 1",
                       "T1_E1CAT || ' ' || T2_E1CAT || ' ' || T2_E2CAT || ' ' || T3_E2CAT || ' ' || T3_E3CAT || ' ' || "
                       "PROFIL_L || PROFIL_PG || PROFIL_RM || PROFIL_CT"),
                 QVariant("0.0 1.0 2.0 4.0 2.5 _AFA"));
        QCOMPARE(m_c->VIEW_ELEVE.value("NOM").toString(), Jeannot); // the selection stays

        // An empty class, or no class, changes nothing.
        const QStringList before = rows("CLASSE");
        select(QStringLiteral("GS vide"));
        QCOMPARE(m_store->ComputeClassProfile(1), QStringList());
        select(QStringLiteral("CP A"));
        m_state.CurrentClassNo = 0;
        QCOMPARE(m_store->ComputeClassProfile(2), QStringList());
        QCOMPARE(rows("CLASSE"), before);
    }

    // Selecting a pupil whose profiles are up to date writes nothing; a changed
    // category makes one write for the pupil and one for the class.
    void upToDateWritesNothing()
    {
        for (const QString &name : {Jeannot, Lea, Jeannot}) {
            QVERIFY(m_nav->selectPupil(name));
            QVERIFY(!m_store->ComputePupilProfile(2, name).isEmpty());
            QVERIFY(!m_store->ComputeClassProfile(2).isEmpty());
        }
        const qint64 settled = changes();
        const QByteArray file = TestSupport::fileBytes(m_c->database().databaseName());
        for (const QString &name : {Lea, Jeannot}) {
            QVERIFY(m_nav->selectPupil(name));
            m_store->ComputePupilProfile(2, name);
            m_store->ComputeClassProfile(2);
        }
        QCOMPARE(changes(), settled);
        QCOMPARE(TestSupport::fileBytes(m_c->database().databaseName()), file);

        QVERIFY(m_store->SaveResults(Jeannot, {{"T3_E2CAT", 3}, {"T3_E2PRO", "F"}}));
        QCOMPARE(m_store->ComputePupilProfile(2, Jeannot), (QStringList{"_", "_", "F", "F"}));
        QCOMPARE(m_store->ComputeClassProfile(2), (QStringList{"_", "A", "F", "A"}));
        QCOMPARE(changes(), settled + 3);
        QCOMPARE(field("CLASSE", "NOCLASSE = 1", "T3_E2CAT"), QVariant(3.0));
    }

    // A write the database refuses leaves every field of the row as it was.
    void refusedWriteChangesNothing()
    {
        QVERIFY(
            m_c->execute("CREATE TRIGGER refuse_eleve BEFORE UPDATE ON ELEVE BEGIN SELECT RAISE(ABORT, 'refus'); END"));
        QVERIFY(m_c->execute("CREATE TRIGGER refuse_classe BEFORE UPDATE OF PROFIL_CT ON CLASSE "
                             "BEGIN SELECT RAISE(ABORT, 'refus'); END"));
        const QStringList pupils = rows("ELEVE"), classes = rows("CLASSE");
        QString error;
        QVERIFY(!m_store->SaveResults(Jeannot, {{"CSP", 1}, {"T1_E1P1", 4}}, &error));
        QVERIFY2(error.contains("refus"), qPrintable(error));
        // Nothing refused lingers in the recordset.
        QCOMPARE(m_store->pupilFields(Jeannot)->value("CSP").toInt(), 4);
        QVERIFY(m_store->pupilFields(Jeannot)->value("T1_E1P1").isNull());
        QCOMPARE(m_store->ComputePupilProfile(2, Jeannot), (QStringList{"_", "_", "F", "F"}));
        QCOMPARE(m_store->ComputeClassProfile(2), (QStringList{"_", "A", "F", "A"}));
        QCOMPARE(rows("ELEVE"), pupils);
        QCOMPARE(rows("CLASSE"), classes);
        QVERIFY(m_c->database().transaction()); // no transaction left open
        QVERIFY(m_c->database().rollback());
        QVERIFY(m_c->execute("DROP TRIGGER refuse_eleve"));
        QVERIFY(m_store->SaveResults(Jeannot, {{"T1_E1P1", 4}}));
        QCOMPARE(field("ELEVE", "NOM LIKE 'Jean%'", "CSP || T1_E1P1"), QVariant("44"));
    }
};

QTEST_GUILESS_MAIN(TestResultStore)
#include "tst_resultstore.moc"
