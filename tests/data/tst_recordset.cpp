// The recordsets and the key-based lists over a small district: two schools (one with a double quote in its name)
// and one without class, a class label used in both, pupils whose names need French ordering, two of them alike.
#include "TestSupport.h"

#include "data/Connection.h"
#include "data/Roster.h"
#include "mainwindow/ToolbarStates.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString Tilleuls = QStringLiteral("Ecole \"Les Tilleuls\"");
const QString Jeannot = QStringLiteral("Jean \"Jeannot\" Dupont");

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
    QString text;
    for (const QList<bool> &bar : {states.schools, states.classes, states.pupils})
        for (bool on : bar)
            text += QLatin1Char(on ? '1' : '0');
    return text.insert(6, ' ').insert(3, ' ');
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
        TestSupport::execSql(
            folder, "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE, NOM_COMM, ZEP) VALUES (1, 'Ecole Jules Ferry', 'Lyon', "
                    "NULL), (2, 'Ecole \"Les Tilleuls\"', NULL, NULL), (7, 'Ecole vide', 'Lyon', 1);"
                    // The other school's "Classe 1" comes first in table order.
                    "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU) VALUES (3, 2, 'Classe 1', 'CE1'), "
                    "(1, 1, 'Classe 1', 'CP'), (2, 1, 'Classe 2', 'GS');"
                    "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) VALUES (1, 1, 'Zoé', 1), "
                    "(1, 1, 'Jean \"Jeannot\" Dupont', 2), (1, 1, 'Eric', 3), (1, 1, 'Émile', 4), (1, 1, 'Emma', 5), "
                    "(2, 3, 'Paul', NULL), (2, 3, 'Alice', NULL), (1, 1, 'Emma', 8);"
                    "INSERT INTO IMPORTE (NOM) VALUES ('Import');"
                    "INSERT INTO CHANGEANNEE (NOECOLE, ANNEE) VALUES (1, '2004-2005'), (2, '2003-2004'), "
                    "(1, '2003-2004')");
        m_c = std::make_unique<Connection>();
        m_c->setDataFolder(folder);
        QString error;
        QVERIFY2(m_c->OpenDatabase(&error), qPrintable(error));
        // The filtered list of the first school's "Classe 1".
        QVERIFY(m_c->DonneFiltre2(m_c->VIEW_ELEVE, "VIEW_ELEVE", "NO_ECOLE", 1, "NO_CLASSE", 1));
    }

    void navigateAndFind()
    {
        Recordset &schools = m_c->ECOLE;
        QCOMPARE(values(schools, "NOM_ECOLE"), (QStringList{"Ecole Jules Ferry", Tilleuls, "Ecole vide"}));
        QVERIFY(schools.eof() && !schools.moveNext());
        QVERIFY(schools.moveLast());
        QCOMPARE(schools.value("NOECOLE").toInt(), 7);
        QCOMPARE(values(m_c->CLASSE, "NOCLASSE"), (QStringList{"3", "1", "2"}));
        QCOMPARE(values(m_c->ELEVE, "NOELEVE"), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));

        // Each search starts from the last row: a miss leaves the current row there.
        auto find = [](Recordset &rs, const Recordset::Criteria &criteria, const QString &column) {
            rs.moveLast();
            const QVariant before = rs.bookmark();
            if (rs.findFirst(criteria))
                return rs.value(column).toString();
            return rs.bookmark() == before ? QStringLiteral("<miss>") : QStringLiteral("<moved>");
        };
        QCOMPARE(find(m_c->ECOLE, {{"NOM_ECOLE", Tilleuls}}, "NOECOLE"), "2");
        QCOMPARE(find(m_c->ECOLE, {{"NOM_COMM", QVariant()}}, "NOECOLE"), "2");
        QCOMPARE(find(m_c->CLASSE, {{"LIBELLE", "Classe 1"}}, "NOCLASSE"), "3"); // the first in table order
        QCOMPARE(find(m_c->CLASSE, {{"NOECOLE", 1}, {"LIBELLE", "Classe 1"}}, "NOCLASSE"), "1");
        QCOMPARE(find(m_c->CLASSE, {{"NOECOLE", 2}, {"LIBELLE", "Classe 2"}}, "NOCLASSE"), "<miss>");
        QCOMPARE(find(m_c->ELEVE, {{"NOM", Jeannot}}, "CSP"), "2");
        QCOMPARE(find(m_c->ELEVE, {{"NOM", "Emile"}}, "CSP"), "<miss>"); // accents count
        QCOMPARE(find(m_c->ELEVE, {{"NOELEVE", 8}}, "NOM"), "Emma");
        QCOMPARE(find(m_c->VIEW_ELEVE, {{"NOM", "Eric"}}, "CSP"), "3");
        QCOMPARE(find(m_c->VIEW_ELEVE, {{"NOM", "Paul"}}, "CSP"), "<miss>"); // a pupil of another class
    }

    void edits_data()
    {
        QTest::addColumn<bool>("table"); // or the filtered list of pupils, whose edits go to their table
        QTest::addColumn<QVariantMap>("added");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("deleted");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QStringList>("after"); // the names once requeried
        QTest::newRow("table") << true << QVariantMap{{"NOECOLE", 3}, {"NOM_ECOLE", "École neuve"}} << "Ecole vide"
                               << "ZEP" << QVariant() << "Ecole Jules Ferry" << Tilleuls
                               << QStringList{Tilleuls, "Ecole vide", "École neuve"};
        QTest::newRow("filtered list") << false << QVariantMap{{"NOECOLE", 1}, {"NOCLASSE", 1}, {"NOM", "Anaïs"}}
                                       << "Zoé"
                                       << "CSP" << QVariant(9) << "Eric" << Jeannot
                                       << QStringList{"Anaïs", "Émile", "Emma", "Emma", Jeannot, "Zoé"};
    }

    // Add, edit, delete and requery: the edit is read back from the file; a
    // bookmark still finds its row after rows before it went away, not a deleted row.
    void edits()
    {
        QFETCH(bool, table);
        QFETCH(QVariantMap, added);
        QFETCH(QString, edited);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, deleted);
        Recordset &rs = table ? m_c->ECOLE : m_c->VIEW_ELEVE;
        const QString column = table ? "NOM_ECOLE" : "NOM"; // a row's name
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

    void roster_data()
    {
        QTest::addColumn<int>("school");
        QTest::addColumn<int>("classNo");
        // Classes (number, label, level) by label | pupils (key, name) by name, accents and case aside, then by key
        // | the toolbars' states.
        QTest::addColumn<QString>("lists");
        QTest::newRow("first school") << 1 << 1
                                      << "1 Classe 1 CP, 2 Classe 2 GS | 4 Émile, 5 Emma, 8 Emma, 3 Eric, 2 " +
                                             Jeannot + ", 1 Zoé | 111 111 11111111";
        QTest::newRow("quoted school") << 2 << 3 << "3 Classe 1 CE1 | 7 Alice, 6 Paul | 111 111 11111111";
        QTest::newRow("class without pupil") << 1 << 2 << "1 Classe 1 CP, 2 Classe 2 GS |  | 111 111 10000100";
        QTest::newRow("class of another school") << 2 << 1 << "3 Classe 1 CE1 |  | 111 111 10000100";
        QTest::newRow("school without class") << 7 << 0 << " |  | 111 100 00000000";
    }

    // The lists of the main window, each entry with its key; the toolbar states follow their counts.
    void roster()
    {
        QFETCH(int, school);
        QFETCH(int, classNo);
        QStringList classes, pupils;
        for (const Roster::ClassEntry &c : Roster::Classes(*m_c, school))
            classes.append(QStringLiteral("%1 %2 %3").arg(c.classNo).arg(c.label, c.level));
        for (const Roster::PupilEntry &p : Roster::Pupils(*m_c, school, classNo))
            pupils.append(QStringLiteral("%1 %2").arg(p.key).arg(p.name));
        QTEST(classes.join(", ") + " | " + pupils.join(", ") + " | " +
                  bits(UpdateToolbarStates(int(Roster::Schools(*m_c).size()), int(classes.size()), int(pupils.size()))),
              "lists");
    }

    void lookups()
    {
        QCOMPARE(bits(UpdateToolbarStates(0, 0, 0)), QStringLiteral("100 000 00000000")); // only a school can be added
        QCOMPARE(Roster::ClassOf(*m_c, 2, 3).level, QStringLiteral("CE1"));
        QCOMPARE(Roster::ClassOf(*m_c, 2, 1).classNo, 0); // a class number of another school
        QCOMPARE(Roster::PupilName(*m_c, 2), Jeannot);
        QCOMPARE(Roster::PupilName(*m_c, 99), QString());
        QVERIFY(Roster::PupilNameTaken(*m_c, 1, 1, "Emma", 5)); // by the other Emma
        QVERIFY(Roster::PupilNameTaken(*m_c, 1, 1, "Zoé"));
        QVERIFY(!Roster::PupilNameTaken(*m_c, 1, 1, "Zoé", 1));
        QVERIFY(!Roster::PupilNameTaken(*m_c, 2, 3, "Zoé"));
        QVERIFY(!Roster::PupilNameTaken(*m_c, 1, 1, "Zoe"));                    // accents count
        QCOMPARE(Roster::LastChangeYear(*m_c, 1), QStringLiteral("2003-2004")); // the latest, not the greatest
        QCOMPARE(Roster::LastChangeYear(*m_c, 7), QString());
    }

    void storedDeletes_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QVariantMap>("params");
        QTest::addColumn<QString>("remaining"); // rows of ELEVE, CLASSE, IMPORTE
        QTest::newRow("a class") << "SUP_ELEVE_CLASSE" << QVariantMap{{"NO_ECOLE", 1}, {"NO_CLASSE", 1}} << "2 3 1";
        QTest::newRow("other school's") << "SUP_ELEVE_CLASSE" << QVariantMap{{"NO_ECOLE", 2}, {"NO_CLASSE", 1}}
                                        << "8 3 1";
        QTest::newRow("pupils of a school") << "SUP_ELEVE_ECOLE" << QVariantMap{{"NO_ECOLE", 2}} << "6 3 1";
        QTest::newRow("classes of a school") << "SUP_CLASSE_ECOLE" << QVariantMap{{"NO_ECOLE", 1}} << "8 1 1";
        QTest::newRow("import staging") << "SUP_IMPORTE" << QVariantMap() << "8 3 0";
    }

    // A delete query in a command's transaction: its rows are gone inside it, and back unless the command commits.
    void storedDeletes()
    {
        QFETCH(QString, query);
        QFETCH(QVariantMap, params);
        QFETCH(QString, remaining);
        auto counts = [&] {
            QSqlQuery q(m_c->database());
            q.exec("SELECT (SELECT count(*) FROM ELEVE) || ' ' || (SELECT count(*) FROM CLASSE) || ' ' || "
                   "(SELECT count(*) FROM IMPORTE)");
            return q.next() ? q.value(0).toString() : QString();
        };
        for (bool commit : {false, true}) {
            {
                Connection::Transaction transaction(*m_c);
                QVERIFY(transaction.active() && m_c->executeStored(query, params));
                QCOMPARE(counts(), remaining);
                QVERIFY(!commit || transaction.commit());
            }
            QCOMPARE(counts(), commit ? remaining : "8 3 1");
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
