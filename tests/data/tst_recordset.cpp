// The recordsets and the key-based lists over a small district: two schools (one with a double quote in its name)
// and one without class, a class label used in both, pupils whose names need French ordering, two of them alike.
#include "TestSupport.h"

#include "data/Connection.h"
#include "data/Roster.h"

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
        QVERIFY(m_c->OpenDatabase());
    }

    void navigateAndFind()
    {
        Recordset &schools = m_c->ECOLE;
        QCOMPARE(values(schools, "NOM_ECOLE"), (QStringList{"Ecole Jules Ferry", Tilleuls, "Ecole vide"}));
        QVERIFY(schools.eof() && !schools.moveNext());
        QVERIFY(schools.moveLast() && schools.value("NOECOLE").toInt() == 7);

        // Each search starts from the last row: a miss leaves the current row there.
        auto find = [](Recordset &rs, const Recordset::Criteria &criteria, const QString &column) {
            return rs.moveLast() && !rs.findFirst(criteria) ? "<miss> " + rs.value(column).toString()
                                                            : rs.value(column).toString();
        };
        QCOMPARE(find(m_c->ECOLE, {{"NOM_COMM", QVariant()}}, "NOECOLE"), "2");
        QCOMPARE(find(m_c->CLASSE, {{"LIBELLE", "Classe 1"}}, "NOCLASSE"), "3"); // the first in table order
        QCOMPARE(find(m_c->CLASSE, {{"NOECOLE", 1}, {"LIBELLE", "Classe 1"}}, "NOCLASSE"), "1");
        QCOMPARE(find(m_c->CLASSE, {{"NOECOLE", 2}, {"LIBELLE", "Classe 2"}}, "NOCLASSE"), "<miss> 2");
        QCOMPARE(find(m_c->ELEVE, {{"NOM", Jeannot}}, "CSP"), "2");
        QCOMPARE(find(m_c->ELEVE, {{"NOM", "Emile"}}, "CSP"), "<miss> 8"); // accents count
    }

    // Add, edit, delete and requery: the edit is read back from the file; a bookmark still finds its row after rows
    // before it went away, not a deleted row.
    void edits()
    {
        Recordset &rs = m_c->ECOLE;
        rs.addNew();
        rs.setValue("NOECOLE", 3);
        rs.setValue("NOM_ECOLE", "École neuve");
        QVERIFY(rs.update());
        QVERIFY(rs.findFirst("NOM_ECOLE", "Ecole vide") && rs.edit());
        rs.setValue("ZEP", QVariant());
        QVERIFY(rs.update());
        const QVariant kept = rs.bookmark();
        QVERIFY(rs.findFirst("NOECOLE", 1));
        const QVariant gone = rs.bookmark();
        QVERIFY(rs.deleteCurrent());
        QCOMPARE(rs.recordCount(), 3);
        QVERIFY(rs.requery());
        QCOMPARE(values(rs, "NOM_ECOLE"), (QStringList{Tilleuls, "Ecole vide", "École neuve"}));
        QVERIFY(rs.setBookmark(kept));
        QVERIFY(rs.value("NOM_ECOLE") == "Ecole vide" && rs.value("ZEP").isNull());
        QVERIFY(!rs.setBookmark(gone));
    }

    // The lists of the main window, each entry with its key: classes by label, pupils by name, accents and case
    // aside, then by key; and the lookups by key.
    void roster()
    {
        QStringList classes, pupils;
        for (const Roster::ClassEntry &c : Roster::Classes(*m_c, 1))
            classes.append(QStringLiteral("%1 %2 %3").arg(c.classNo).arg(c.label, c.level));
        for (const Roster::PupilEntry &p : Roster::Pupils(*m_c, 1, 1))
            pupils.append(QStringLiteral("%1 %2").arg(p.key).arg(p.name));
        QCOMPARE(classes.join(", ") + " | " + pupils.join(", "),
                 "1 Classe 1 CP, 2 Classe 2 GS | 4 Émile, 5 Emma, 8 Emma, 3 Eric, 2 " + Jeannot + ", 1 Zoé");
        // A class number of another school.
        QVERIFY(Roster::Pupils(*m_c, 2, 1).isEmpty() && Roster::ClassOf(*m_c, 2, 1).classNo == 0);
        QCOMPARE(Roster::ClassOf(*m_c, 2, 3).level, QStringLiteral("CE1"));
        QCOMPARE(Roster::PupilName(*m_c, 2), Jeannot);
        QVERIFY(Roster::PupilNameTaken(*m_c, 1, 1, "Emma", 5)); // by the other Emma
        QVERIFY(!Roster::PupilNameTaken(*m_c, 1, 1, "Zoé", 1)); // herself
        // Neither in another class nor with other accents.
        QVERIFY(!Roster::PupilNameTaken(*m_c, 2, 3, "Zoé") && !Roster::PupilNameTaken(*m_c, 1, 1, "Zoe"));
        QCOMPARE(Roster::LastChangeYear(*m_c, 1), QStringLiteral("2003-2004")); // the latest, not the greatest
    }

    // A delete query keeps to its school: the pupils of a class number another school also uses stay.
    void storedDeletes()
    {
        QVERIFY(m_c->executeStored("SUP_ELEVE_CLASSE", {{"NO_ECOLE", 2}, {"NO_CLASSE", 1}}));
        QCOMPARE(Roster::Pupils(*m_c, 1, 1).size(), 6);
        QVERIFY(m_c->executeStored("SUP_ELEVE_CLASSE", {{"NO_ECOLE", 1}, {"NO_CLASSE", 1}}));
        QVERIFY(Roster::Pupils(*m_c, 1, 1).isEmpty() && Roster::Pupils(*m_c, 2, 3).size() == 2);
        QVERIFY(m_c->executeStored("SUP_IMPORTE", {}) && m_c->IMPORTE.requery() && m_c->IMPORTE.recordCount() == 0);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
