#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

class Connection;

// The year change of one school: its pupils are archived into PARCOURS with
// all their results, deleted, and the operation is logged in CHANGEANNEE.
namespace YearChange {

// One logged change of a school, as the history list shows it.
struct Entry
{
    QVariant number; // NO_OPER
    QString date;    // as stored ("yyyy-MM-ddTHH:mm:ss")
    QVariant pupils; // nb_eleve
    QString label;   // LIBELLE
    QString year;    // ANNEE
};

// The school's logged changes in the order they were made (an indexed query:
// the log of a district holds every school's changes).
QList<Entry> SchoolHistory(Connection &connection, qint16 school);

// The stored date as the history list shows it ("15/06/2026 18:30"); a text
// that is no date is shown as stored.
QString DisplayDate(const QString &stored);

// True when the school's year has already been changed: the first year of
// `closingYear` is not after the first year of `lastChangeYear` (compared as
// texts). An empty `lastChangeYear` never counts as changed.
bool AlreadyChanged(const QString &closingYear, const QString &lastChangeYear);

struct Outcome
{
    int operation = 0; // NO_OPER of the new log row
    int archived = 0;  // pupils of the school archived (and deleted)
};

// Test seam: called after "archived", "deleted" and "logged"; returning false
// makes that step fail.
using StepHook = std::function<bool(const char *step)>;

// Archives every pupil of `school` under `closingYear`, deletes them and logs
// the change (operation number: the log's last row's number plus 1, or 1 for
// an empty log), all in one transaction: on failure nothing has changed and
// `error` says why.
bool Perform(Connection &connection, qint16 school, const QString &closingYear, const QDateTime &now, Outcome *outcome,
             QString *error, const StepHook &hook = {});

} // namespace YearChange
