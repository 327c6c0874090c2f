#include "Navigation.h"

#include "common/AppState.h"
#include "data/Connection.h"
#include "evaluation/EvaluationModel.h"

#include <QSqlQuery>

ToolbarStates UpdateToolbarStates(int schoolCount, int classCount, int pupilCount)
{
    ToolbarStates s{QList<bool>(3, false), QList<bool>(3, false), QList<bool>(8, false)};
    auto setAll = [](QList<bool> &buttons, int from, bool on) {
        for (int i = from; i < buttons.size(); ++i)
            buttons[i] = on;
    };
    if (schoolCount > 0) {
        s.classes[0] = true;
        setAll(s.schools, 0, true);
        if (classCount > 0) {
            s.pupils[0] = true;
            s.pupils[5] = true;
            setAll(s.classes, 0, true);
        } else {
            setAll(s.classes, 1, false);
            setAll(s.pupils, 0, false);
        }
        if (pupilCount > 0)
            setAll(s.pupils, 0, true);
        else
            setAll(s.pupils, 1, false);
        if (classCount > 0)
            s.pupils[5] = true;
    } else {
        setAll(s.schools, 1, false);
        setAll(s.classes, 0, false);
        setAll(s.pupils, 0, false);
        s.schools[0] = true;
    }
    return s;
}

Navigation::Navigation(Connection &connection, AppState &state) : m_connection(connection), m_state(state) {}

QStringList Navigation::schoolNames()
{
    QStringList names;
    QSqlQuery q(m_connection.database());
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT NOM_ECOLE FROM ECOLE ORDER BY rowid")))
        while (q.next())
            names.append(q.value(0).toString());
    return names;
}

QList<Navigation::ClassEntry> Navigation::selectSchool(const QString &name)
{
    QList<ClassEntry> classes;
    Recordset &schools = m_connection.Data1;
    if (schools.recordCount() == 0)
        return classes;
    schools.findFirst(QStringLiteral("NOM_ECOLE"), name);
    m_state.CurrentSchoolNo = qint16(schools.value(QStringLiteral("NOECOLE")).toInt());
    Recordset &view = m_connection.VIEW_CLASSE;
    m_connection.DonneFiltre(view, QStringLiteral("VIEW_CLASSE"), QStringLiteral("NO_ECOLE"), m_state.CurrentSchoolNo);
    view.requery();
    if (view.recordCount() > 0) {
        for (view.moveFirst(); !view.eof(); view.moveNext())
            classes.append({view.value(QStringLiteral("LIBELLE")).toString(),
                            LevelCode(view.value(QStringLiteral("Niveau")).toString())});
    } else {
        m_connection.DonneFiltre2(m_connection.VIEW_ELEVE, QStringLiteral("VIEW_ELEVE"), QStringLiteral("NO_ECOLE"),
                                  m_state.CurrentSchoolNo, QStringLiteral("NO_CLASSE"), 0);
        m_connection.VIEW_ELEVE.requery();
    }
    return classes;
}

QString Navigation::selectClass(const QString &label)
{
    Recordset &view = m_connection.VIEW_CLASSE;
    view.findFirst(QStringLiteral("LIBELLE"), label);
    m_connection.Data2.findFirst(
        {{QStringLiteral("NOECOLE"), m_state.CurrentSchoolNo}, {QStringLiteral("LIBELLE"), label}});
    m_state.CurrentClassNo = qint16(m_connection.Data2.value(QStringLiteral("NOCLASSE")).toInt());
    m_connection.DonneFiltre2(m_connection.VIEW_ELEVE, QStringLiteral("VIEW_ELEVE"), QStringLiteral("NO_ECOLE"),
                              m_state.CurrentSchoolNo, QStringLiteral("NO_CLASSE"), m_state.CurrentClassNo);
    m_connection.VIEW_ELEVE.requery();
    return view.value(QStringLiteral("Niveau")).toString();
}

QStringList Navigation::pupilNames()
{
    QStringList names;
    Recordset &pupils = m_connection.VIEW_ELEVE;
    for (pupils.moveFirst(); !pupils.eof(); pupils.moveNext())
        names.append(pupils.value(QStringLiteral("NOM")).toString());
    pupils.moveFirst();
    return names;
}

bool Navigation::selectPupil(const QString &name)
{
    return m_connection.VIEW_ELEVE.findFirst(QStringLiteral("NOM"), name);
}

QString Navigation::lastChangeYear()
{
    QSqlQuery q(m_connection.database());
    q.prepare(QStringLiteral("SELECT ANNEE FROM CHANGEANNEE WHERE NOECOLE = ? ORDER BY rowid DESC LIMIT 1"));
    q.addBindValue(m_state.CurrentSchoolNo);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

ToolbarStates Navigation::toolbarStates()
{
    return UpdateToolbarStates(m_connection.Data1.recordCount(), m_connection.VIEW_CLASSE.recordCount(),
                               m_connection.VIEW_ELEVE.recordCount());
}
