#include "Roster.h"

#include "Connection.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Roster {

namespace {

bool run(QSqlQuery &q, QString *error)
{
    if (q.exec())
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

} // namespace

QList<SchoolEntry> Schools(const Connection &connection, QString *error)
{
    QList<SchoolEntry> schools;
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT NOECOLE, NOM_ECOLE FROM ECOLE ORDER BY rowid"));
    if (run(q, error))
        while (q.next())
            schools.append({q.value(0).toInt(), q.value(1).toString()});
    return schools;
}

QList<ClassEntry> Classes(const Connection &connection, int schoolNo, QString *error)
{
    QList<ClassEntry> classes;
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT NOCLASSE, LIBELLE, NIVEAU FROM CLASSE WHERE NOECOLE = ? "
                             "ORDER BY LIBELLE COLLATE FRANCAIS, rowid"));
    q.addBindValue(schoolNo);
    if (run(q, error))
        while (q.next())
            classes.append({q.value(0).toInt(), q.value(1).toString(), q.value(2).toString()});
    return classes;
}

ClassEntry ClassOf(const Connection &connection, int schoolNo, int classNo)
{
    QSqlQuery q(connection.database());
    q.prepare(QStringLiteral("SELECT NOCLASSE, LIBELLE, NIVEAU FROM CLASSE WHERE NOECOLE = ? AND NOCLASSE = ?"));
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    if (q.exec() && q.next())
        return {q.value(0).toInt(), q.value(1).toString(), q.value(2).toString()};
    return {};
}

QList<PupilEntry> Pupils(const Connection &connection, int schoolNo, int classNo, QString *error)
{
    QList<PupilEntry> pupils;
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT NOELEVE, NOM FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ? "
                             "ORDER BY NOM COLLATE FRANCAIS, NOELEVE"));
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    if (run(q, error))
        while (q.next())
            pupils.append({q.value(0).toLongLong(), q.value(1).toString()});
    return pupils;
}

QString PupilName(const Connection &connection, qint64 key)
{
    QSqlQuery q(connection.database());
    q.prepare(QStringLiteral("SELECT NOM FROM ELEVE WHERE NOELEVE = ?"));
    q.addBindValue(key);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

bool PupilNameTaken(const Connection &connection, int schoolNo, int classNo, const QString &name, qint64 except)
{
    QSqlQuery q(connection.database());
    q.prepare(QStringLiteral("SELECT 1 FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ? AND NOM = ? AND NOELEVE <> ? "
                             "LIMIT 1"));
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    q.addBindValue(name);
    q.addBindValue(except);
    return q.exec() && q.next();
}

QString LastChangeYear(const Connection &connection, int schoolNo)
{
    QSqlQuery q(connection.database());
    q.prepare(QStringLiteral("SELECT ANNEE FROM CHANGEANNEE WHERE NOECOLE = ? ORDER BY rowid DESC LIMIT 1"));
    q.addBindValue(schoolNo);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

} // namespace Roster
