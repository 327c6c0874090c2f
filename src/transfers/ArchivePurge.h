#pragma once

#include "YearChange.h"

#include <QDateTime>
#include <QList>
#include <QString>

class Connection;

// The archived results of past years (PARCOURS) are personal data that a
// school must not keep longer than needed: « Purger les archives… » deletes
// a school's archived years older than the years it keeps.
namespace ArchivePurge {

constexpr int DefaultKeptYears = 3;
constexpr int MaxKeptYears = 50;

struct YearRows
{
    QString year; // "2019-2020"
    int rows = 0;
};

// The archived years of `school` that go when `keptYears` school years are
// kept before `currentSchoolYear` (2026-2027 keeping 3 keeps 2023-2024 to
// 2025-2026), oldest first, with their row counts. The school's most recent
// archived year is never among them ("Importe depuis l'année dernière" reads
// it), nor a year whose text is not two years "AAAA-AAAA".
QList<YearRows> Plan(Connection &connection, qint16 school, const QString &currentSchoolYear, int keptYears,
                     QString *error);

// Deletes the planned years' archived rows of `school` and logs the purge in
// the year-change history (its number follows the log's last one; its year
// stays the school's last change, so that the year change is not fooled).
// One transaction: on failure, or when the rows no longer match the plan,
// nothing has changed. `hook` is called after "deleted" and "logged".
bool Perform(Connection &connection, qint16 school, const QList<YearRows> &plan, const QDateTime &now, QString *error,
             const YearChange::StepHook &hook = {});

// "2019-2020 : 25 élèves" lines, as the confirmation and the log show them.
QString Describe(const QList<YearRows> &plan, const QString &separator);

} // namespace ArchivePurge
