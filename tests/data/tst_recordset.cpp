// The recordsets, the filtered lists and the selection logic over a small district: two schools (one with a double
// quote in its name) and one without class, a class label used in both, and pupils whose names need French ordering.
#include "TestSupport.h"

#include "common/AppState.h"
#include "data/Connection.h"
#include "mainwindow/Navigation.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <numeric>

namespace {

const QString Tilleuls = QStringLiteral("Ecole \"Les Tilleuls\"");
const QString Jeannot = QStringLiteral("Jean \"Jeannot\" Dupont");

const auto no = [](int n) { return QVariant::fromValue(qint16(n)); }; // the current numbers are 16-bit

// The column from the first row to the end, then "count N" if the recordset counts otherwise.
QStringList values(Recordset &rs, const QString &column)
{
    QStringList result;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        result.append(rs.value(column).toString());
    if (rs.recordCount() != result.size())
        result.append(QStringLiteral("count %1").arg(rs.recordCount()));
    return result;
}

// The toolbar states as text, schools, classes and pupils: "111 100 00000000".
QString bits(const ToolbarStates &states)
{
    QStringList bars;
    for (const QList<bool> &bar : {states.schools, states.classes, states.pupils})
        bars.append(std::accumulate(bar.cbegin(), bar.cend(), QString(),
                                    [](const QString &text, bool on) { return text + (on ? '1' : '0'); }));
    return bars.join(' ');
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Connection> m_c;

private slots:
    void init()
    {
        m_c.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        const QString folder = m_dir->path();
        TestSupport::createEmptyDataFolder(folder);
        auto add = [&](const char *table, const QVariantMap &row) { TestSupport::insertRow(folder, QLatin1String(table), row); };
        add("ECOLE", {{"NOECOLE", 1}, {"NOM_ECOLE", "Ecole Jules Ferry"}, {"NOM_COMM", "Lyon"}});
        add("ECOLE", {{"NOECOLE", 2}, {"NOM_ECOLE", Tilleuls}});
        add("ECOLE", {{"NOECOLE", 7}, {"NOM_ECOLE", "Ecole vide"}, {"NOM_COMM", "Lyon"}, {"ZEP", 1}});
        // The other school's "Classe 1" comes first in table order.
        add("CLASSE", {{"NOCLASSE", 3}, {"NOECOLE", 2}, {"LIBELLE", "Classe 1"}, {"NIVEAU", "CE1"}});
        add("CLASSE", {{"NOCLASSE", 1}, {"NOECOLE", 1}, {"LIBELLE", "Classe 1"}, {"NIVEAU", "CP"}});
        add("CLASSE", {{"NOCLASSE", 2}, {"NOECOLE", 1}, {"LIBELLE", "Classe 2"}, {"NIVEAU", "GS"}});
        int csp = 0;
        for (const QString &name : {QStringLiteral("Zoé"), Jeannot, QStringLiteral("Eric"), QStringLiteral("Émile"), QStringLiteral("Emma")})
            add("ELEVE", {{"NOECOLE", 1}, {"NOCLASSE", 1}, {"NOM", name}, {"CSP", ++csp}});
        for (const char *name : {"Paul", "Alice"})
            add("ELEVE", {{"NOECOLE", 2}, {"NOCLASSE", 3}, {"NOM", name}});
        add("IMPORTE", {{"NOM", "Import"}});
        m_c = std::make_unique<Connection>();
        m_c->setDataFolder(folder);
        QString error;
        QVERIFY2(m_c->OpenDatabase(&error), qPrintable(error));
        // The pupils' list shows the first school's "Classe 1".
        QVERIFY(m_c->DonneFiltre2(m_c->VIEW_ELEVE, "VIEW_ELEVE", "NO_ECOLE", no(1), "NO_CLASSE", no(1)));
    }

    void navigateAndFind()
    {
        Recordset &schools = m_c->Data1;
        QCOMPARE(values(schools, "NOM_ECOLE"), (QStringList{"Ecole Jules Ferry", Tilleuls, "Ecole vide"}));
        QVERIFY(schools.eof() && !schools.moveNext());
        QVERIFY(schools.moveLast());
        QCOMPARE(schools.value("NOECOLE").toInt(), 7);
        QCOMPARE(values(m_c->Data2, "NOCLASSE"), (QStringList{"3", "1", "2"}));
        QCOMPARE(values(m_c->CHANGEANNEE, "NO_OPER"), QStringList());

        // Each search starts from the last row: a miss leaves the current row there.
        auto find = [](Recordset &rs, const Recordset::Criteria &criteria, const QString &column) {
            rs.moveLast();
            const QVariant before = rs.bookmark();
            if (rs.findFirst(criteria))
                return rs.value(column).toString();
            return rs.bookmark() == before ? QStringLiteral("<miss>") : QStringLiteral("<moved>");
        };
        QCOMPARE(find(m_c->Data1, {{"NOM_ECOLE", Tilleuls}}, "NOECOLE"), "2");
        QCOMPARE(find(m_c->Data1, {{"NOM_COMM", QVariant()}}, "NOECOLE"), "2");
        QCOMPARE(find(m_c->Data2, {{"LIBELLE", "Classe 1"}}, "NOCLASSE"), "3"); // the first in table order
        QCOMPARE(find(m_c->Data2, {{"NOECOLE", no(1)}, {"LIBELLE", "Classe 1"}}, "NOCLASSE"), "1");
        QCOMPARE(find(m_c->Data2, {{"NOECOLE", no(2)}, {"LIBELLE", "Classe 2"}}, "NOCLASSE"), "<miss>");
        QCOMPARE(find(m_c->ELEVE, {{"NOM", Jeannot}}, "CSP"), "2");
        QCOMPARE(find(m_c->ELEVE, {{"NOM", "Emile"}}, "CSP"), "<miss>"); // accents count
        QCOMPARE(find(m_c->VIEW_ELEVE, {{"NOM", "Eric"}}, "CSP"), "3");
        QCOMPARE(find(m_c->VIEW_ELEVE, {{"NOM", "Paul"}}, "CSP"), "<miss>"); // a pupil of another class
    }

    void edits_data()
    {
        QTest::addColumn<QString>("recordset");
        QTest::addColumn<QVariantMap>("added");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("deleted");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QStringList>("after"); // the names once requeried
        QTest::newRow("table") << "Data1" << QVariantMap{{"NOECOLE", no(3)}, {"NOM_ECOLE", "École neuve"}} << "Ecole vide"
                               << "ZEP" << QVariant() << "Ecole Jules Ferry" << Tilleuls << QStringList{Tilleuls, "Ecole vide", "École neuve"};
        // Edits made through a filtered list go to the pupils' table.
        QTest::newRow("filtered list") << "VIEW_ELEVE" << QVariantMap{{"NOECOLE", no(1)}, {"NOCLASSE", no(1)}, {"NOM", "Anaïs"}}
                                       << "Zoé" << "CSP" << QVariant(9) << "Eric" << Jeannot
                                       << QStringList{"Anaïs", "Émile", "Emma", Jeannot, "Zoé"};
    }

    // Add, edit, delete and requery: the edit is read back from the file; a
    // bookmark still finds its row after rows before it went away, not a deleted row.
    void edits()
    {
        QFETCH(QString, recordset);
        QFETCH(QVariantMap, added);
        QFETCH(QString, edited);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, deleted);
        Recordset &rs = recordset == "Data1" ? m_c->Data1 : m_c->VIEW_ELEVE;
        const QString column = recordset == "Data1" ? "NOM_ECOLE" : "NOM"; // a row's name
        const int rows = rs.recordCount();
        rs.addNew();
        for (auto it = added.cbegin(); it != added.cend(); ++it)
            rs.setValue(it.key(), it.value());
        QVERIFY(rs.update());
        QCOMPARE(rs.recordCount(), rows + 1);
        QVERIFY(rs.findFirst(column, edited) && rs.edit());
        rs.setValue(field, value);
        QVERIFY(rs.update());
        QCOMPARE(rs.value(field).isNull() ? QVariant() : rs.value(field), value);
        const QVariant kept = rs.bookmark();

        QVERIFY(rs.findFirst(column, deleted));
        const QVariant gone = rs.bookmark();
        QVERIFY(rs.deleteCurrent() && rs.moveNext());
        QTEST(rs.value(column).toString(), "next");
        QCOMPARE(rs.recordCount(), rows);
        QVERIFY(rs.requery());
        QTEST(values(rs, column), "after");
        QVERIFY(rs.setBookmark(kept));
        QCOMPARE(rs.value(column).toString(), edited);
        QCOMPARE(rs.value(field).isNull() ? QVariant() : rs.value(field), value);
        QVERIFY(!rs.setBookmark(gone));
    }

    // The classes' labels or the pupils' names of the lists filtered on a school (and class).
    void filters()
    {
        auto list = [&](const QVariantList &numbers) {
            Recordset &rs = numbers.size() == 1 ? m_c->VIEW_CLASSE : m_c->VIEW_ELEVE;
            const bool filtered = numbers.size() == 1 ? m_c->DonneFiltre(rs, rs.name(), "NO_ECOLE", numbers.at(0))
                                                      : m_c->DonneFiltre2(rs, rs.name(), "NO_ECOLE", numbers.at(0), "NO_CLASSE", numbers.at(1));
            return filtered && rs.requery() ? values(rs, numbers.size() == 1 ? "LIBELLE" : "NOM") : QStringList{"<failed>"};
        };
        QCOMPARE(list({no(1)}), (QStringList{"Classe 1", "Classe 2"}));
        QCOMPARE(list({no(2)}), QStringList{"Classe 1"});
        // French order: accents and case do not count, "Émile" goes with the E's.
        QCOMPARE(list({no(1), no(1)}), (QStringList{"Émile", "Emma", "Eric", Jeannot, "Zoé"}));
        QCOMPARE(list({no(2), no(3)}), (QStringList{"Alice", "Paul"}));
        QCOMPARE(list({no(1), no(0)}), QStringList());
        QCOMPARE(list({no(2), no(1)}), QStringList()); // a class number of another school
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("school");
        QTest::addColumn<QString>("label"); // empty: the school has no class
        QTest::addColumn<int>("schoolNo");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QStringList>("pupils");
        QTest::addColumn<QString>("toolbars");
        QTest::newRow("Classe 1, first school") << "Ecole Jules Ferry" << "Classe 1" << 1 << "CP"
                                                << QStringList{"Émile", "Emma", "Eric", Jeannot, "Zoé"} << "111 111 11111111";
        QTest::newRow("Classe 1, quoted school") << Tilleuls << "Classe 1" << 2 << "CE1" << QStringList{"Alice", "Paul"}
                                                 << "111 111 11111111";
        QTest::newRow("class without pupil") << "Ecole Jules Ferry" << "Classe 2" << 1 << "GS" << QStringList() << "111 111 10000100";
        QTest::newRow("school without class") << "Ecole vide" << "" << 7 << "" << QStringList() << "111 100 00000000";
    }

    void navigation()
    {
        QFETCH(QString, school);
        QFETCH(QString, label);
        QFETCH(int, schoolNo);
        AppState state;
        Navigation nav(*m_c, state);
        // Start from a class of the other school, as a user moving between them would.
        nav.selectSchool(school == "Ecole Jules Ferry" ? Tilleuls : "Ecole Jules Ferry");
        nav.selectClass("Classe 1");

        const QList<Navigation::ClassEntry> classes = nav.selectSchool(school);
        QCOMPARE(int(state.CurrentSchoolNo), schoolNo);
        QCOMPARE(std::any_of(classes.cbegin(), classes.cend(), [&](const auto &c) { return c.label == label; }), !label.isEmpty());
        if (!label.isEmpty()) {
            QTEST(nav.selectClass(label), "level");
            QCOMPARE(m_c->Data2.value("NOECOLE").toInt(), schoolNo);
            QCOMPARE(int(state.CurrentClassNo), m_c->Data2.value("NOCLASSE").toInt());
        }
        QTEST(nav.pupilNames(), "pupils");
        for (const QString &name : nav.pupilNames())
            QVERIFY2(nav.selectPupil(name) && m_c->VIEW_ELEVE.value("NOM").toString() == name, qPrintable(name));
        QTEST(bits(nav.toolbarStates()), "toolbars");
    }

    void toolbars()
    {
        QCOMPARE(bits(UpdateToolbarStates(0, 0, 0)), QStringLiteral("100 000 00000000"));
        QCOMPARE(bits(UpdateToolbarStates(1, 0, 0)), QStringLiteral("111 100 00000000"));
        QCOMPARE(bits(UpdateToolbarStates(2, 3, 0)), QStringLiteral("111 111 10000100"));
        QCOMPARE(bits(UpdateToolbarStates(2, 3, 25)), QStringLiteral("111 111 11111111"));
    }

    void storedDeletes_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QVariantMap>("params");
        QTest::addColumn<QString>("remaining"); // rows of ELEVE, CLASSE, IMPORTE
        QTest::newRow("pupils of a class") << "SUP_ELEVE_CLASSE" << QVariantMap{{"NO_ECOLE", no(1)}, {"NO_CLASSE", no(1)}} << "2 3 1";
        QTest::newRow("class of another school") << "SUP_ELEVE_CLASSE" << QVariantMap{{"NO_ECOLE", no(2)}, {"NO_CLASSE", no(1)}} << "7 3 1";
        QTest::newRow("pupils of a school") << "SUP_ELEVE_ECOLE" << QVariantMap{{"NO_ECOLE", no(2)}} << "5 3 1";
        QTest::newRow("classes of a school") << "SUP_CLASSE_ECOLE" << QVariantMap{{"NO_ECOLE", no(1)}} << "7 1 1";
        QTest::newRow("import staging") << "SUP_IMPORTE" << QVariantMap() << "7 3 0";
    }

    // A delete query in a command's transaction: its rows are gone inside it, and back unless the command commits.
    void storedDeletes()
    {
        QFETCH(QString, query);
        QFETCH(QVariantMap, params);
        QFETCH(QString, remaining);
        auto counts = [&] {
            QSqlQuery q(m_c->database());
            return q.exec("SELECT (SELECT count(*) FROM ELEVE) || ' ' || (SELECT count(*) FROM CLASSE) || ' ' || "
                          "(SELECT count(*) FROM IMPORTE)") && q.next() ? q.value(0).toString() : QString();
        };
        for (bool commit : {false, true}) {
            {
                Connection::Transaction transaction(*m_c);
                QVERIFY(transaction.active() && m_c->executeStored(query, params));
                QCOMPARE(counts(), remaining);
                QVERIFY(!commit || transaction.commit());
            }
            QCOMPARE(counts(), commit ? remaining : "7 3 1");
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
