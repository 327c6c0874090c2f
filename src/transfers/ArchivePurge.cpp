#include "ArchivePurge.h"

#include "data/Connection.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace ArchivePurge {

namespace {

const QString StoredDateFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// The first year of a school-year text "AAAA-AAAA"; 0 for any other text.
int firstYear(const QString &schoolYear)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{4})-(\\d{4})$"));
    const QRegularExpressionMatch match = pattern.match(schoolYear);
    if (!match.hasMatch() || match.captured(2).toInt() != match.captured(1).toInt() + 1)
        return 0;
    return match.captured(1).toInt();
}

bool failed(const QSqlQuery &q, QString *error)
{
    *error = q.lastError().text();
    return false;
}

} // namespace

QList<YearRows> Plan(Connection &connection, qint16 school, const QString &currentSchoolYear, int keptYears,
                     QString *error)
{
    QList<YearRows> all;
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ANNEE, count(*) FROM PARCOURS WHERE NOECOLE = ? GROUP BY ANNEE"));
    q.addBindValue(school);
    if (!q.exec()) {
        failed(q, error);
        return {};
    }
    int latest = 0;
    while (q.next()) {
        const QString year = q.value(0).toString();
        if (firstYear(year) == 0)
            continue;
        all.append({year, q.value(1).toInt()});
        latest = qMax(latest, firstYear(year));
    }
    const int current = firstYear(currentSchoolYear);
    QList<YearRows> plan;
    if (current == 0 || keptYears < 1)
        return plan;
    for (const YearRows &entry : all)
        if (current - firstYear(entry.year) > keptYears && firstYear(entry.year) != latest)
            plan.append(entry);
    std::sort(plan.begin(), plan.end(), [](const YearRows &a, const YearRows &b) { return a.year < b.year; });
    return plan;
}

bool Perform(Connection &connection, qint16 school, const QList<YearRows> &plan, const QDateTime &now,
             QString *errorOut, const YearChange::StepHook &hook)
{
    QString ignored;
    QString *error = errorOut ? errorOut : &ignored;
    const QSqlDatabase db = connection.database();
    Connection::Transaction transaction(connection);
    if (!transaction.active()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    int total = 0;
    q.prepare(QStringLiteral("DELETE FROM PARCOURS WHERE NOECOLE = ? AND ANNEE = ?"));
    for (const YearRows &entry : plan) {
        q.addBindValue(school);
        q.addBindValue(entry.year);
        if (!q.exec())
            return failed(q, error);
        // Rows added or gone since the question: the user confirmed other counts.
        if (q.numRowsAffected() != entry.rows) {
            *error = QStringLiteral("%1 : %2 lignes trouvées au lieu de %3")
                         .arg(entry.year)
                         .arg(q.numRowsAffected())
                         .arg(entry.rows);
            return false;
        }
        total += entry.rows;
    }
    if (hook && !hook("deleted")) {
        *error = QStringLiteral("étape « deleted » en échec");
        return false;
    }

    if (!q.exec(QStringLiteral("SELECT NO_OPER FROM CHANGEANNEE ORDER BY rowid DESC LIMIT 1")))
        return failed(q, error);
    const int operation = q.next() ? q.value(0).toInt() + 1 : 1;
    q.finish();
    q.prepare(QStringLiteral("SELECT ANNEE FROM CHANGEANNEE WHERE NOECOLE = ? ORDER BY rowid DESC LIMIT 1"));
    q.addBindValue(school);
    if (!q.exec())
        return failed(q, error);
    const QVariant lastChange = q.next() ? q.value(0) : QVariant(QMetaType(QMetaType::QString));
    q.finish();
    q.prepare(QStringLiteral("INSERT INTO CHANGEANNEE (NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE) "
                             "VALUES (?, ?, ?, ?, ?, ?)"));
    for (const QVariant &value :
         {QVariant(operation), QVariant(school), lastChange, QVariant(total), QVariant(now.toString(StoredDateFormat)),
          QVariant(QStringLiteral("Purge des archives ") + Describe(plan, QStringLiteral(", ")))})
        q.addBindValue(value);
    if (!q.exec())
        return failed(q, error);
    if (hook && !hook("logged")) {
        *error = QStringLiteral("étape « logged » en échec");
        return false;
    }
    if (!transaction.commit()) {
        *error = db.lastError().text();
        return false;
    }
    return true;
}

QString Describe(const QList<YearRows> &plan, const QString &separator)
{
    QStringList lines;
    for (const YearRows &entry : plan)
        lines << QStringLiteral("%1 : %2 élève%3")
                     .arg(entry.year)
                     .arg(entry.rows)
                     .arg(entry.rows > 1 ? QStringLiteral("s") : QString());
    return lines.join(separator);
}

} // namespace ArchivePurge
