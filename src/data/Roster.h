#pragma once

#include <QList>
#include <QString>

class Connection;

// What the three lists of the main window show, each entry with its key:
// schools in table order, a school's classes by label, a class's pupils by
// name (same-named pupils in the order they were added).
namespace Roster {

struct SchoolEntry
{
    int schoolNo = 0;
    QString name;
};

struct ClassEntry
{
    int classNo = 0;
    QString label;
    QString level; // "GS", "CP", "CE1", or what was typed
};

struct PupilEntry
{
    qint64 key = 0;
    QString name;
};

// The class with this key; a class of number 0 when there is none.
ClassEntry ClassOf(const Connection &connection, int schoolNo, int classNo);

// Empty with `error` set when the database refuses.
QList<SchoolEntry> Schools(const Connection &connection, QString *error = nullptr);
QList<ClassEntry> Classes(const Connection &connection, int schoolNo, QString *error = nullptr);
QList<PupilEntry> Pupils(const Connection &connection, int schoolNo, int classNo, QString *error = nullptr);

// The pupil's name; empty when no pupil has this key.
QString PupilName(const Connection &connection, qint64 key);
// Whether another pupil of the class (not `except`) is called `name`.
bool PupilNameTaken(const Connection &connection, int schoolNo, int classNo, const QString &name, qint64 except = 0);

// ANNEE of the school's latest year change, or empty.
QString LastChangeYear(const Connection &connection, int schoolNo);

} // namespace Roster
