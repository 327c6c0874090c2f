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

} // namespace

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
    RegisterFrenchCollation(m_db);
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
