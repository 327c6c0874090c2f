// The recordsets, the filtered lists and the selection logic over a small
// district: two schools (one with a double quote in its name), a class label
// used in both, and pupils whose names need French ordering and quoting.
#include "TestSupport.h"

#include "common/AppState.h"
#include "data/Connection.h"
#include "mainwindow/Navigation.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using Criteria = Recordset::Criteria;
using Flags = QList<bool>;

namespace {

const QString Tilleuls = QStringLiteral("Ecole \"Les Tilleuls\"");
const QString Jeannot = QStringLiteral("Jean \"Jeannot\" Dupont");

QVariant no(int n)
{
    return QVariant::fromValue(qint16(n)); // the current numbers are 16-bit
}

QStringList values(Recordset &rs, const QString &column)
{
    QStringList result;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        result.append(rs.value(column).toString());
    return result;
}

Flags flags(const char *pattern)
{
    Flags result;
    for (const char *c = pattern; *c; ++c)
        result.append(*c == '1');
    return result;
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Connection> m_c;

    int count(const QString &sql)
    {
        QSqlQuery q(m_c->database());
        return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
    }

    Recordset &byName(const QString &name)
    {
        for (Recordset *rs : m_c->recordsets())
            if (rs->name() == name)
                return *rs;
        qFatal("no recordset %s", qPrintable(name));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString folder = m_dir->path();
        TestSupport::createEmptyDataFolder(folder);
        auto add = [&](const char *table, const QVariantMap &row) { TestSupport::insertRow(folder, QLatin1String(table), row); };
        add("ECOLE", {{"NOECOLE", 1}, {"NOM_ECOLE", "Ecole Jules Ferry"}, {"NOM_COMM", "Lyon"}});
        add("ECOLE", {{"NOECOLE", 2}, {"NOM_ECOLE", Tilleuls}});
        // The other school's "Classe 1" comes first in table order.
        add("CLASSE", {{"NOCLASSE", 3}, {"NOECOLE", 2}, {"LIBELLE", "Classe 1"}, {"NIVEAU", "CE1"}});
        add("CLASSE", {{"NOCLASSE", 1}, {"NOECOLE", 1}, {"LIBELLE", "Classe 1"}, {"NIVEAU", "CP"}});
        add("CLASSE", {{"NOCLASSE", 2}, {"NOECOLE", 1}, {"LIBELLE", "Classe 2"}, {"NIVEAU", "GS"}});
        int csp = 0;
        for (const QString &name : {QStringLiteral("Zoé"), Jeannot, QStringLiteral("Eric"), QStringLiteral("Émile"), QStringLiteral("Emma")})
            add("ELEVE", {{"NOECOLE", 1}, {"NOCLASSE", 1}, {"NOM", name}, {"CSP", ++csp}});
        add("ELEVE", {{"NOECOLE", 2}, {"NOCLASSE", 3}, {"NOM", "Paul"}});
        add("ELEVE", {{"NOECOLE", 2}, {"NOCLASSE", 3}, {"NOM", "Alice"}});
        add("IMPORTE", {{"NOM", "Import"}});
        m_c = std::make_unique<Connection>();
        m_c->setDataFolder(folder);
        QString error;
        QVERIFY2(m_c->OpenDatabase(&error), qPrintable(error));
    }

    void cleanup()
    {
        m_c.reset();
        m_dir.reset();
    }

    void tableNavigation()
    {
        Recordset &schools = m_c->Data1;
        QCOMPARE(schools.recordCount(), 2);
        QCOMPARE(values(schools, "NOM_ECOLE"), (QStringList{"Ecole Jules Ferry", Tilleuls}));
        QVERIFY(schools.eof());
        QVERIFY(!schools.moveNext());
        QVERIFY(schools.moveLast());
        QCOMPARE(schools.value("NOM_ECOLE").toString(), Tilleuls);
        QCOMPARE(values(m_c->Data2, "NOCLASSE"), (QStringList{"3", "1", "2"}));
        QCOMPARE(m_c->ELEVE.recordCount(), 7);
        QCOMPARE(m_c->CHANGEANNEE.recordCount(), 0);
        QVERIFY(m_c->CHANGEANNEE.eof());
    }

    void findFirst_data()
    {
        QTest::addColumn<QString>("recordset");
        QTest::addColumn<Criteria>("criteria");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("expected"); // empty: no match
        QTest::newRow("school with a double quote") << "Data1" << Criteria{{"NOM_ECOLE", Tilleuls}} << "NOECOLE" << "2";
        QTest::newRow("Null") << "Data1" << Criteria{{"NOM_COMM", QVariant()}} << "NOECOLE" << "2";
        QTest::newRow("label alone: first in table") << "Data2" << Criteria{{"LIBELLE", "Classe 1"}} << "NOCLASSE" << "3";
        QTest::newRow("label in a school") << "Data2" << Criteria{{"NOECOLE", no(1)}, {"LIBELLE", "Classe 1"}} << "NOCLASSE" << "1";
        QTest::newRow("label not in that school") << "Data2" << Criteria{{"NOECOLE", no(2)}, {"LIBELLE", "Classe 2"}} << "" << "";
        QTest::newRow("pupil with double quotes") << "ELEVE" << Criteria{{"NOM", Jeannot}} << "CSP" << "2";
        QTest::newRow("accents count") << "ELEVE" << Criteria{{"NOM", "Emile"}} << "" << "";
        QTest::newRow("filtered list") << "VIEW_ELEVE" << Criteria{{"NOM", "Eric"}} << "CSP" << "3";
        QTest::newRow("pupil of another class") << "VIEW_ELEVE" << Criteria{{"NOM", "Paul"}} << "" << "";
    }

    void findFirst()
    {
        QFETCH(QString, recordset);
        QFETCH(Criteria, criteria);
        QFETCH(QString, column);
        QFETCH(QString, expected);
        QVERIFY(m_c->DonneFiltre2(m_c->VIEW_ELEVE, "VIEW_ELEVE", "NO_ECOLE", no(1), "NO_CLASSE", no(1)));
        Recordset &rs = byName(recordset);
        QVERIFY(rs.moveLast());
        const QVariant before = rs.bookmark();
        QCOMPARE(rs.findFirst(criteria), !expected.isEmpty());
        if (expected.isEmpty())
            QCOMPARE(rs.bookmark(), before);
        else
            QCOMPARE(rs.value(column).toString(), expected);
    }

    void editTable()
    {
        Recordset &schools = m_c->Data1;
        schools.addNew();
        schools.setValue("NOECOLE", no(3));
        schools.setValue("NOM_ECOLE", "École neuve");
        QVERIFY(schools.update());
        QCOMPARE(schools.recordCount(), 3);
        QVERIFY(schools.findFirst("NOM_ECOLE", "École neuve"));
        QCOMPARE(schools.value("NOECOLE").toInt(), 3);

        QVERIFY(schools.edit());
        schools.setValue("NOM_COMM", "Brest");
        schools.setValue("ZEP", QVariant());
        QVERIFY(schools.update());
        QCOMPARE(count("SELECT count(*) FROM ECOLE WHERE NOECOLE = 3 AND NOM_COMM = 'Brest' AND ZEP IS NULL"), 1);
        QVERIFY(schools.value("ZEP").isNull());

        QVERIFY(schools.moveFirst());
        QVERIFY(schools.deleteCurrent());
        QVERIFY(schools.moveNext());
        QCOMPARE(schools.value("NOM_ECOLE").toString(), Tilleuls);
        QCOMPARE(schools.recordCount(), 2);
        QVERIFY(schools.requery());
        QCOMPARE(values(schools, "NOM_ECOLE"), (QStringList{Tilleuls, "École neuve"}));
    }

    // Edits made through a filtered list go to the pupils' table.
    void editThroughQuery()
    {
        Recordset &pupils = m_c->VIEW_ELEVE;
        QVERIFY(m_c->DonneFiltre2(pupils, "VIEW_ELEVE", "NO_ECOLE", no(1), "NO_CLASSE", no(1)));
        QVERIFY(pupils.findFirst("NOM", "Zoé"));
        QVERIFY(pupils.edit());
        pupils.setValue("CSP", 9);
        QVERIFY(pupils.update());
        QCOMPARE(pupils.value("CSP").toInt(), 9);
        QCOMPARE(count("SELECT CSP FROM ELEVE WHERE NOM = 'Zoé'"), 9);

        pupils.addNew();
        pupils.setValue("NOECOLE", no(1));
        pupils.setValue("NOCLASSE", no(1));
        pupils.setValue("NOM", "Anaïs");
        QVERIFY(pupils.update());
        QCOMPARE(pupils.recordCount(), 6);
        QCOMPARE(count("SELECT count(*) FROM ELEVE WHERE NOM = 'Anaïs' AND NOECOLE = 1 AND NOCLASSE = 1"), 1);

        QVERIFY(pupils.findFirst("NOM", "Eric"));
        QVERIFY(pupils.deleteCurrent());
        QVERIFY(pupils.moveNext());
        QCOMPARE(pupils.value("NOM").toString(), Jeannot);
        QVERIFY(pupils.requery());
        QCOMPARE(values(pupils, "NOM"), (QStringList{"Anaïs", "Émile", "Emma", Jeannot, "Zoé"}));
        QCOMPARE(m_c->ELEVE.requery() ? m_c->ELEVE.recordCount() : -1, 7);
    }

    void bookmarks()
    {
        Recordset &classes = m_c->Data2;
        QVERIFY(classes.findFirst({{"NOECOLE", no(1)}, {"LIBELLE", "Classe 2"}}));
        const QVariant mark = classes.bookmark();
        QVERIFY(classes.moveFirst());
        QVERIFY(classes.setBookmark(mark));
        QCOMPARE(classes.value("NOCLASSE").toInt(), 2);

        // A list's bookmark still finds its row after rows before it went away.
        Recordset &pupils = m_c->VIEW_ELEVE;
        QVERIFY(m_c->DonneFiltre2(pupils, "VIEW_ELEVE", "NO_ECOLE", no(1), "NO_CLASSE", no(1)));
        QVERIFY(pupils.findFirst("NOM", "Zoé"));
        const QVariant zoe = pupils.bookmark();
        QVERIFY(pupils.moveFirst());
        QVERIFY(pupils.deleteCurrent());
        QVERIFY(pupils.requery());
        QVERIFY(pupils.setBookmark(zoe));
        QCOMPARE(pupils.value("NOM").toString(), QStringLiteral("Zoé"));

        QVERIFY(classes.deleteCurrent());
        QVERIFY(!classes.setBookmark(mark));
    }

    void filters_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QVariantList>("numbers");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("classes of a school") << "VIEW_CLASSE" << QVariantList{no(1)} << "LIBELLE" << QStringList{"Classe 1", "Classe 2"};
        QTest::newRow("classes of the other") << "VIEW_CLASSE" << QVariantList{no(2)} << "NOCLASSE" << QStringList{"3"};
        // French order: accents and case do not count, "Émile" goes with the E's.
        QTest::newRow("pupils in French order") << "VIEW_ELEVE" << QVariantList{no(1), no(1)} << "NOM"
                                                << QStringList{"Émile", "Emma", "Eric", Jeannot, "Zoé"};
        QTest::newRow("class 0") << "VIEW_ELEVE" << QVariantList{no(1), no(0)} << "NOM" << QStringList();
        QTest::newRow("class of another school") << "VIEW_ELEVE" << QVariantList{no(2), no(1)} << "NOM" << QStringList();
        QTest::newRow("other school's class") << "VIEW_ELEVE" << QVariantList{no(2), no(3)} << "NOM" << QStringList{"Alice", "Paul"};
    }

    void filters()
    {
        QFETCH(QString, view);
        QFETCH(QVariantList, numbers);
        QFETCH(QString, column);
        QFETCH(QStringList, expected);
        Recordset &rs = byName(view);
        QVERIFY(numbers.size() == 1 ? m_c->DonneFiltre(rs, view, "NO_ECOLE", numbers.at(0))
                                    : m_c->DonneFiltre2(rs, view, "NO_ECOLE", numbers.at(0), "NO_CLASSE", numbers.at(1)));
        QVERIFY(rs.requery());
        QCOMPARE(rs.recordCount(), expected.size());
        QCOMPARE(values(rs, column), expected);
        QVERIFY(rs.moveFirst());
        QCOMPARE(rs.eof(), expected.isEmpty());
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("school");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("schoolNo");
        QTest::addColumn<int>("classNo");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QStringList>("pupils");
        QTest::addColumn<Flags>("pupilToolbar");
        QTest::newRow("Classe 1, first school") << "Ecole Jules Ferry" << "Classe 1" << 1 << 1 << "CP"
                                                << QStringList{"Émile", "Emma", "Eric", Jeannot, "Zoé"} << flags("11111111");
        QTest::newRow("Classe 1, quoted school") << Tilleuls << "Classe 1" << 2 << 3 << "CE1" << QStringList{"Alice", "Paul"}
                                                 << flags("11111111");
        QTest::newRow("class without pupil") << "Ecole Jules Ferry" << "Classe 2" << 1 << 2 << "GS" << QStringList() << flags("10000100");
    }

    void navigation()
    {
        QFETCH(QString, school);
        QFETCH(QString, label);
        QFETCH(int, schoolNo);
        QFETCH(int, classNo);
        QFETCH(QString, level);
        QFETCH(QStringList, pupils);
        QFETCH(Flags, pupilToolbar);
        AppState state;
        Navigation nav(*m_c, state);
        // Start from the other school, as a user moving between them would.
        nav.selectSchool(school == Tilleuls ? "Ecole Jules Ferry" : Tilleuls);
        nav.selectClass("Classe 1");

        const QList<Navigation::ClassEntry> classes = nav.selectSchool(school);
        QCOMPARE(int(state.CurrentSchoolNo), schoolNo);
        QVERIFY(std::any_of(classes.cbegin(), classes.cend(), [&](const auto &c) { return c.label == label; }));
        QCOMPARE(nav.selectClass(label), level);
        QCOMPARE(int(state.CurrentClassNo), classNo);
        QCOMPARE(m_c->Data2.value("NOECOLE").toInt(), schoolNo);
        QCOMPARE(m_c->Data2.value("NOCLASSE").toInt(), classNo);
        QCOMPARE(nav.pupilNames(), pupils);
        for (const QString &name : pupils) {
            QVERIFY(nav.selectPupil(name));
            QCOMPARE(m_c->VIEW_ELEVE.value("NOM").toString(), name);
        }
        QCOMPARE(nav.toolbarStates().pupils, pupilToolbar);
    }

    void schoolWithoutClass()
    {
        m_c->Data1.addNew();
        m_c->Data1.setValue("NOECOLE", no(7));
        m_c->Data1.setValue("NOM_ECOLE", "Ecole vide");
        QVERIFY(m_c->Data1.update());
        AppState state;
        Navigation nav(*m_c, state);
        nav.selectSchool("Ecole Jules Ferry");
        nav.selectClass("Classe 1");
        QVERIFY(nav.selectSchool("Ecole vide").isEmpty());
        QCOMPARE(int(state.CurrentSchoolNo), 7);
        QCOMPARE(m_c->VIEW_ELEVE.recordCount(), 0);
        const ToolbarStates states = nav.toolbarStates();
        QCOMPARE(states.schools, flags("111"));
        QCOMPARE(states.classes, flags("100"));
        QCOMPARE(states.pupils, flags("00000000"));
    }

    void toolbars_data()
    {
        QTest::addColumn<int>("schools");
        QTest::addColumn<int>("classes");
        QTest::addColumn<int>("pupils");
        QTest::addColumn<Flags>("schoolBar");
        QTest::addColumn<Flags>("classBar");
        QTest::addColumn<Flags>("pupilBar");
        QTest::newRow("no school") << 0 << 0 << 0 << flags("100") << flags("000") << flags("00000000");
        QTest::newRow("school without class") << 1 << 0 << 0 << flags("111") << flags("100") << flags("00000000");
        QTest::newRow("class without pupil") << 2 << 3 << 0 << flags("111") << flags("111") << flags("10000100");
        QTest::newRow("pupils") << 2 << 3 << 25 << flags("111") << flags("111") << flags("11111111");
    }

    void toolbars()
    {
        QFETCH(int, schools);
        QFETCH(int, classes);
        QFETCH(int, pupils);
        const ToolbarStates states = UpdateToolbarStates(schools, classes, pupils);
        QTEST(states.schools, "schoolBar");
        QTEST(states.classes, "classBar");
        QTEST(states.pupils, "pupilBar");
    }

    // The delete queries, within a command's transaction: what they remove is
    // gone inside it, and back when the command does not commit.
    void storedDeletes_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QVariantMap>("params");
        QTest::addColumn<QList<int>>("remaining"); // ELEVE, CLASSE, IMPORTE
        QTest::newRow("pupils of a class") << "SUP_ELEVE_CLASSE" << QVariantMap{{"NO_ECOLE", no(1)}, {"NO_CLASSE", no(1)}}
                                           << QList<int>{2, 3, 1};
        QTest::newRow("class number of another school") << "SUP_ELEVE_CLASSE" << QVariantMap{{"NO_ECOLE", no(2)}, {"NO_CLASSE", no(1)}}
                                                        << QList<int>{7, 3, 1};
        QTest::newRow("pupils of a school") << "SUP_ELEVE_ECOLE" << QVariantMap{{"NO_ECOLE", no(2)}} << QList<int>{5, 3, 1};
        QTest::newRow("classes of a school") << "SUP_CLASSE_ECOLE" << QVariantMap{{"NO_ECOLE", no(1)}} << QList<int>{7, 1, 1};
        QTest::newRow("import staging") << "SUP_IMPORTE" << QVariantMap() << QList<int>{7, 3, 0};
    }

    void storedDeletes()
    {
        QFETCH(QString, query);
        QFETCH(QVariantMap, params);
        QFETCH(QList<int>, remaining);
        auto counts = [&] {
            return QList<int>{count("SELECT count(*) FROM ELEVE"), count("SELECT count(*) FROM CLASSE"), count("SELECT count(*) FROM IMPORTE")};
        };
        const QList<int> before = counts();
        {
            Connection::Transaction transaction(*m_c);
            QVERIFY(transaction.active());
            QString error;
            QVERIFY2(m_c->executeStored(query, params, &error), qPrintable(error));
            QCOMPARE(counts(), remaining);
        }
        QCOMPARE(counts(), before);
        {
            Connection::Transaction transaction(*m_c);
            QVERIFY(m_c->executeStored(query, params));
            QVERIFY(transaction.commit());
        }
        QCOMPARE(counts(), remaining);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
