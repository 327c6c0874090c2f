#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class Connection;
class QSqlDatabase;

// Fixtures shared by the test programs: databases made by code in temporary folders.
namespace TestSupport {

// Creates an empty database of the program (and the transfer template) in `folder`.
void createEmptyDataFolder(const QString &folder);

// Inserts one row into `table` of the database file in `folder`; returns its rowid.
qint64 insertRow(const QString &folder, const QString &table, const QVariantMap &values);

// Runs SQL statements on the live database of `folder` (opened on its own,
// pragmas allowed); a failure fails the calling test.
void execSql(const QString &folder, const QString &sql);

// Runs SQL statements on an open connection of the program, with triggers
// switched on for it: the tests' way of making the engine refuse a write.
void execWithTriggers(const QSqlDatabase &db, const QString &sql);

// The whole content of a file, for comparing files before and after.
QByteArray fileBytes(const QString &path);

// Writes `bytes` to `path`, replacing it.
void writeFile(const QString &path, const QByteArray &bytes);

// Leaves the folder lock `content` in `folder` as if written at `since`: a lock
// from another machine, or a damaged one.
void plantLock(const QString &folder, const QByteArray &content, const QDateTime &since);

// The names of the files of `folder`, sorted: what a test expects to remain.
QStringList fileNames(const QString &folder);

// Every row of `table` as one text (columns joined by "|", Null as "<null>"),
// in rowid order: compares a table's content before and after.
QStringList tableRows(const QSqlDatabase &db, const QString &table);

// How many of the `expected` rows (as tableRows gives them) `actual` lacks,
// each row counted as often as it is expected: what a kill cost the user.
int rowsMissing(const QStringList &expected, const QStringList &actual);

// How many random inputs the fuzz tests try (VELORIN_FUZZ_INPUTS): `usual` when the
// variable is not set, so that CI stays fast and long runs can go further.
// A value that is not a positive number stops the test rather than run the usual count.
int fuzzInputs(int usual);

// The tally of a kill loop: the kills it is to make (VELORIN_KILL_TRIALS, read as
// VELORIN_FUZZ_INPUTS is), those made and the committed rows they cost, printed with
// the time taken when it ends.
struct KillTally
{
    KillTally(const char *loop, int usual);
    ~KillTally();
    bool more() const { return kills < trials; }

    const char *loop;
    const int trials;
    int kills = 0;
    int lost = 0;
    QElapsedTimer timer;
};

} // namespace TestSupport
