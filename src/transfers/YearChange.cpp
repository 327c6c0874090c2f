#include "YearChange.h"

#include "data/Connection.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

namespace YearChange {

namespace {

const QString StoredDateFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

QStringList columnsOf(const QSqlDatabase &db, const QString &table)
{
    QStringList names;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    q.addBindValue(table);
    if (q.exec())
        while (q.next())
            names.append(q.value(0).toString());
    return names;
}

// The pupil columns the archive takes: those of ELEVE that PARCOURS has too.
QStringList archivedColumns(const QSqlDatabase &db)
{
    const QStringList archive = columnsOf(db, QStringLiteral("PARCOURS"));
    QStringList columns;
    for (const QString &c : columnsOf(db, QStringLiteral("ELEVE")))
        if (archive.contains(c, Qt::CaseInsensitive) && c.compare(QLatin1String("ANNEE"), Qt::CaseInsensitive) != 0 &&
            c.compare(QLatin1String("Niveau"), Qt::CaseInsensitive) != 0)
            columns.append(QLatin1Char('"') + c + QLatin1Char('"'));
    return columns;
}

bool run(QSqlQuery &q, const QString &sql, const QVariantMap &params, QString *error)
{
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return false;
    }
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}

} // namespace

QList<Entry> SchoolHistory(Connection &connection, qint16 school)
{
    QList<Entry> entries;
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT NO_OPER, date, nb_eleve, LIBELLE, ANNEE FROM CHANGEANNEE WHERE NOECOLE = ? ORDER BY rowid"));
    q.addBindValue(school);
    if (q.exec())
        while (q.next())
            entries.append(
                {q.value(0), q.value(1).toString(), q.value(2), q.value(3).toString(), q.value(4).toString()});
    return entries;
}

QString DisplayDate(const QString &stored)
{
    const QDateTime when = QDateTime::fromString(stored, StoredDateFormat);
    return when.isValid() ? QLocale(QLocale::French).toString(when, QStringLiteral("dd/MM/yyyy HH:mm")) : stored;
}

bool AlreadyChanged(const QString &closingYear, const QString &lastChangeYear)
{
    return !lastChangeYear.isEmpty() && closingYear.left(4) <= lastChangeYear.left(4);
}

bool Perform(Connection &connection, qint16 school, const QString &closingYear, const QDateTime &now, Outcome *outcome,
             QString *errorOut, const StepHook &hook)
{
    QString ignored;
    QString *error = errorOut ? errorOut : &ignored;
    auto stepDone = [&](const char *step) {
        if (!hook || hook(step))
            return true;
        *error = QStringLiteral("étape « %1 » en échec").arg(QLatin1String(step));
        return false;
    };
    const QSqlDatabase db = connection.database();
    Connection::Transaction transaction(connection);
    if (!transaction.active()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    // The school year comes from the program's clock, not from the view's own date.
    const QString columns = archivedColumns(db).join(QLatin1String(", "));
    if (!run(q,
             QStringLiteral("INSERT INTO PARCOURS (ANNEE, Niveau, %1) SELECT :ANNEE, Niveau, %1 FROM VIEW_PARCOURS "
                            "WHERE NOECOLE = :NO_ECOLE")
                 .arg(columns),
             {{QStringLiteral("ANNEE"), closingYear}, {QStringLiteral("NO_ECOLE"), school}}, error) ||
        !stepDone("archived"))
        return false;
    const int archived = q.numRowsAffected();

    const QString deleteSql = connection.storedQuery(QStringLiteral("SUP_ELEVE_ECOLE"), error);
    if (deleteSql.isEmpty() || !run(q, deleteSql, {{QStringLiteral("NO_ECOLE"), school}}, error))
        return false;
    // Every pupil archived is deleted, and no other: the two counts agree.
    if (q.numRowsAffected() != archived) {
        *error = QStringLiteral("%1 élèves archivés, %2 supprimés").arg(archived).arg(q.numRowsAffected());
        return false;
    }
    if (!stepDone("deleted"))
        return false;

    if (!run(q, QStringLiteral("SELECT NO_OPER FROM CHANGEANNEE ORDER BY rowid DESC LIMIT 1"), {}, error))
        return false;
    const int operation = q.next() ? q.value(0).toInt() + 1 : 1;
    q.finish();
    if (!run(q,
             QStringLiteral("INSERT INTO CHANGEANNEE (NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE) "
                            "VALUES (:NO_OPER, :NOECOLE, :ANNEE, :NB, :DATE, :LIBELLE)"),
             {{QStringLiteral("NO_OPER"), operation},
              {QStringLiteral("NOECOLE"), school},
              {QStringLiteral("ANNEE"), closingYear},
              {QStringLiteral("NB"), archived},
              {QStringLiteral("DATE"), now.toString(StoredDateFormat)},
              {QStringLiteral("LIBELLE"), QStringLiteral("Année ") + closingYear}},
             error) ||
        !stepDone("logged"))
        return false;
    q.finish();
    if (!transaction.commit()) {
        *error = db.lastError().text();
        return false;
    }
    if (outcome)
        *outcome = {operation, archived};
    return true;
}

} // namespace YearChange
