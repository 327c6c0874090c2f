#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class Connection;

// Results read back from a workbook written by XlsxExport (or any workbook
// laid out like it) or from a CSV file of a class. Pupils are found by the
// key of the hidden sheet (or the CSV's « Clé élève » column), else by name
// within the class, an ambiguous name being refused. Every value goes through
// the class grid's checks, as typed; the derived fields (totals, categories,
// profiles) of the file are not read: they are computed again.
namespace ResultsImport {

// One cell that will change.
struct Change
{
    QString classLabel;
    QString pupil;
    QString column; // "T1 Langage Q1"
    QString before; // "_" for no result
    QString after;
};

// A value or a row the import refuses, where it stands in the file.
struct Refusal
{
    QString sheet;  // the sheet, or the CSV file's name
    int row = 0;    // from 1, as the spreadsheet numbers it
    QString column; // "C (T1 Langage Q2)", or the CSV header; empty for a whole row
    QString reason;
    QString text() const;
};

struct ClassPlan
{
    int schoolNo = 0;
    int classNo = 0;
    int level = 0;
    QString label;
    QHash<qint64, QMap<int, QString>> values; // pupil key -> box number -> text to enter
};

struct Plan
{
    QList<ClassPlan> classes;
    QList<Change> changes;
    QList<Refusal> refusals;
    QStringList notes; // sheets or columns left aside
    int pupilCount() const;
};

// Reads `path` (an XLSX workbook, else a CSV file) and checks every value
// against the stored results; nothing is written. Workbook sheets go to the
// classes of school `schoolNo` they name; a CSV file goes to class `classNo`.
// False with a French `error` when the file cannot be read as results at all;
// refused values are in plan->refusals.
bool Prepare(Connection &connection, const QString &path, int schoolNo, int classNo, Plan *plan, QString *error);

// Stores a plan without refusals: every changed pupil's scores, derived
// fields and domain profiles, and each class's profile, in one transaction.
// False, with nothing stored, when a value no longer passes or the database refuses.
bool Apply(Connection &connection, const Plan &plan, QString *error);

} // namespace ResultsImport
