#pragma once

#include <QString>

struct sqlite3;
class QSqlDatabase;

namespace SqliteSupport {

// Name order as a French reader expects it: accents and case are ignored first
// ("Émile" sorts with the E's), then the exact text breaks ties.
int FrenchCompare(const QString &a, const QString &b);

// Registers the FRANCAIS collation (FrenchCompare) on a connection.
bool RegisterFrenchCollation(sqlite3 *db);
sqlite3 *Handle(const QSqlDatabase &db);

// Makes a connection safe for a file that may come from anywhere: SQLite's
// defensive mode, a schema that is not trusted (its views and defaults may
// call only harmless functions), no triggers, and an authorizer that refuses
// ATTACH, DETACH, VACUUM and pragmas that write. Every connection the program
// opens goes through it.
bool Harden(sqlite3 *db);

// While one lives on this thread, the program's own steps that need them
// (compaction, the transfer file, stamping a version) may attach, vacuum and
// write pragmas. Defensive mode is lifted on `db` for that time, when given.
class AdministrativeStep
{
public:
    explicit AdministrativeStep(sqlite3 *db = nullptr);
    ~AdministrativeStep();
    AdministrativeStep(const AdministrativeStep &) = delete;
    AdministrativeStep &operator=(const AdministrativeStep &) = delete;

private:
    sqlite3 *m_db;
};

// A connection through the SQLite library itself, for file-level work
// (creation, checks, compaction) done while the program's connection is closed.
class RawDatabase
{
public:
    RawDatabase() = default;
    ~RawDatabase() { close(); }
    RawDatabase(const RawDatabase &) = delete;
    RawDatabase &operator=(const RawDatabase &) = delete;

    bool open(const QString &path, bool create, bool readOnly = false);
    void close();
    bool exec(const QString &sql);
    // The first column of the first row of a query, or an invalid value.
    bool queryInt(const QString &sql, qint64 *value);
    bool queryTexts(const QString &sql, QStringList *values);
    sqlite3 *handle() const { return m_db; }
    const QString &error() const { return m_error; }
    int errorCode() const { return m_code; }

private:
    bool setError();
    sqlite3 *m_db = nullptr;
    QString m_error;
    int m_code = 0;
};

} // namespace SqliteSupport
