#include "SqliteSupport.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QStringList>
#include <QVariant>

#include <sqlite3.h>

namespace SqliteSupport {

namespace {

QString foldKey(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString key;
    key.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing || c.category() == QChar::Mark_SpacingCombining)
            continue;
        const QChar lower = c.toCaseFolded();
        if (lower == QChar(0x0153)) // œ
            key += QLatin1String("oe");
        else if (lower == QChar(0x00E6)) // æ
            key += QLatin1String("ae");
        else
            key += lower;
    }
    return key;
}

int collate(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    return FrenchCompare(QString::fromUtf8(static_cast<const char *>(a), lengthA),
                         QString::fromUtf8(static_cast<const char *>(b), lengthB));
}

thread_local int administrativeSteps = 0;

// Pragmas that read, whatever their argument.
bool readingPragma(const char *name)
{
    static const char *const reading[] = {"table_info", "table_xinfo",     "index_info",      "index_xinfo",
                                          "index_list", "quick_check",     "integrity_check", "foreign_key_list",
                                          "database_list", "collation_list", "function_list"};
    for (const char *r : reading)
        if (sqlite3_stricmp(name, r) == 0)
            return true;
    return false;
}

// Pragmas that write although they take no argument.
bool writingPragma(const char *name)
{
    return sqlite3_stricmp(name, "optimize") == 0 || sqlite3_stricmp(name, "incremental_vacuum") == 0;
}

int authorize(void *, int action, const char *first, const char *second, const char *, const char *)
{
    if (administrativeSteps > 0)
        return SQLITE_OK;
    switch (action) {
    case SQLITE_ATTACH: // also asked by VACUUM and VACUUM INTO
    case SQLITE_DETACH:
        return SQLITE_DENY;
    case SQLITE_PRAGMA:
        if (!first)
            return SQLITE_DENY;
        if (readingPragma(first))
            return SQLITE_OK;
        return second || writingPragma(first) ? SQLITE_DENY : SQLITE_OK;
    default:
        return SQLITE_OK;
    }
}

} // namespace

bool Harden(sqlite3 *db)
{
    if (!db)
        return false;
    int on = 0;
    bool ok = sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, &on) == SQLITE_OK && on == 1;
    ok = sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &on) == SQLITE_OK && on == 0 && ok;
    ok = sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &on) == SQLITE_OK && on == 0 && ok;
    ok = sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, &on) == SQLITE_OK && on == 0 && ok;
    return sqlite3_set_authorizer(db, authorize, nullptr) == SQLITE_OK && ok;
}

AdministrativeStep::AdministrativeStep(sqlite3 *db) : m_db(db)
{
    ++administrativeSteps;
    if (m_db)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
}

AdministrativeStep::~AdministrativeStep()
{
    --administrativeSteps;
    if (m_db)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
}

int FrenchCompare(const QString &a, const QString &b)
{
    const int folded = foldKey(a).compare(foldKey(b));
    if (folded != 0)
        return folded < 0 ? -1 : 1;
    const int exact = a.compare(b);
    return exact < 0 ? -1 : (exact > 0 ? 1 : 0);
}

bool RegisterFrenchCollation(sqlite3 *db)
{
    return db && sqlite3_create_collation_v2(db, "FRANCAIS", SQLITE_UTF8, nullptr, collate, nullptr) == SQLITE_OK;
}

sqlite3 *Handle(const QSqlDatabase &db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

bool RawDatabase::open(const QString &path, bool create, bool readOnly)
{
    close();
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK)
        return setError();
    sqlite3_busy_timeout(m_db, 2000);
    if (!RegisterFrenchCollation(m_db) || !Harden(m_db))
        return setError();
    return true;
}

void RawDatabase::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool RawDatabase::setError()
{
    m_code = m_db ? sqlite3_extended_errcode(m_db) : SQLITE_CANTOPEN;
    m_error = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("unable to open database file");
    return false;
}

bool RawDatabase::exec(const QString &sql)
{
    if (!m_db)
        return false;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return setError();
    return true;
}

bool RawDatabase::queryInt(const QString &sql, qint64 *value)
{
    if (!m_db)
        return false;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        return setError();
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW)
        *value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return setError();
    return rc == SQLITE_ROW;
}

bool RawDatabase::queryTexts(const QString &sql, QStringList *values)
{
    if (!m_db)
        return false;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        return setError();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        values->append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))));
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return setError();
    return true;
}

} // namespace SqliteSupport
