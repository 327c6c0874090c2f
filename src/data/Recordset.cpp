#include "Recordset.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

namespace {

QString quoted(const QString &identifier)
{
    QString q = identifier;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

bool isNumeric(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// The equality a find-first criterion expresses: Null matches Null only,
// numbers compare as numbers, everything else as text (binary).
bool sameValue(const QVariant &field, const QVariant &wanted)
{
    if (wanted.isNull())
        return field.isNull();
    if (field.isNull())
        return false;
    if (isNumeric(field) && isNumeric(wanted))
        return field.toDouble() == wanted.toDouble();
    if (isNumeric(field) != isNumeric(wanted)) {
        bool ok = false;
        const double text = (isNumeric(field) ? wanted : field).toString().toDouble(&ok);
        return ok && text == (isNumeric(field) ? field : wanted).toDouble();
    }
    return field.toString() == wanted.toString();
}

} // namespace

Recordset::Recordset(QString name) : m_name(std::move(name)) {}

bool Recordset::fail(const QString &message)
{
    m_lastError = m_name + QLatin1String(": ") + message;
    return false;
}

void Recordset::close()
{
    m_kind = Kind::Closed;
    m_table.clear();
    m_rowid = -1;
    m_rowLoaded = false;
    m_row = QSqlRecord();
    m_querySql.clear();
    m_queryParams.clear();
    m_queryLoaded = false;
    m_hasRid = false;
    m_rows.clear();
    m_queryColumns = QSqlRecord();
    m_index = 0;
    m_currentDeleted = false;
    m_baseColumns.clear();
    m_editMode = EditMode::None;
    m_pending.clear();
}

bool Recordset::refresh()
{
    close();
    if (!m_enabled)
        return fail(QStringLiteral("recordset disabled"));
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        return fail(QStringLiteral("database not open"));
    if (m_recordSource.isEmpty()) {
        m_kind = Kind::Empty;
        return true;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT type, name FROM sqlite_master WHERE name = ? COLLATE NOCASE AND type IN ('table', 'view')"));
    q.addBindValue(m_recordSource);
    if (!q.exec() || !q.next())
        return fail(QStringLiteral("no table or query named %1").arg(m_recordSource));
    const QString type = q.value(0).toString();
    const QString name = q.value(1).toString();
    if (type == QLatin1String("table")) {
        m_kind = Kind::Table;
        m_table = name;
        return moveFirst();
    }
    m_kind = Kind::Query;
    m_querySql = QStringLiteral("SELECT * FROM ") + quoted(name);
    return true;
}

bool Recordset::openQuery(const QString &sql, const QVariantMap &params, const QString &baseTable)
{
    close();
    if (!QSqlDatabase::database(m_connectionName, false).isOpen())
        return fail(QStringLiteral("database not open"));
    m_kind = Kind::Query;
    m_querySql = sql;
    m_queryParams = params;
    m_table = baseTable;
    return true;
}

bool Recordset::ensureQueryLoaded()
{
    if (m_queryLoaded)
        return true;
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    if (!q.prepare(m_querySql))
        return fail(q.lastError().text());
    for (auto it = m_queryParams.cbegin(); it != m_queryParams.cend(); ++it)
        q.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!q.exec())
        return fail(q.lastError().text());
    m_queryColumns = q.record();
    m_hasRid = m_queryColumns.count() > 0 &&
               m_queryColumns.fieldName(0).compare(QLatin1String("RID"), Qt::CaseInsensitive) == 0;
    m_rows.clear();
    while (q.next())
        m_rows.append(q.record());
    m_queryLoaded = true;
    m_index = 0;
    m_currentDeleted = false;
    return true;
}

bool Recordset::requery()
{
    m_editMode = EditMode::None;
    m_pending.clear();
    m_currentDeleted = false;
    switch (m_kind) {
    case Kind::Closed:
        return fail(QStringLiteral("recordset closed"));
    case Kind::Empty:
        return true;
    case Kind::Table:
        return moveFirst();
    case Kind::Query:
        m_queryLoaded = false;
        return ensureQueryLoaded();
    }
    return false;
}

int Recordset::recordCount()
{
    switch (m_kind) {
    case Kind::Closed:
    case Kind::Empty:
        return 0;
    case Kind::Table: {
        // Counted each time: rows added or deleted by statements and other
        // recordsets show at once (a count on an indexed table is cheap).
        QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
        return q.exec(QStringLiteral("SELECT count(*) FROM ") + quoted(m_table)) && q.next() ? q.value(0).toInt() : 0;
    }
    case Kind::Query:
        return ensureQueryLoaded() ? int(m_rows.size()) : 0;
    }
    return 0;
}

bool Recordset::eof()
{
    switch (m_kind) {
    case Kind::Table:
        return m_rowid < 0;
    case Kind::Query:
        return !ensureQueryLoaded() || m_index >= m_rows.size();
    default:
        return true;
    }
}

bool Recordset::tableSeek(const QString &sql, const QVariantMap &params)
{
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return fail(q.lastError().text());
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.bindValue(it.key(), it.value());
    if (!q.exec())
        return fail(q.lastError().text());
    m_rowLoaded = false;
    m_currentDeleted = false;
    m_rowid = q.next() ? q.value(0).toLongLong() : -1;
    return true;
}

bool Recordset::moveFirst()
{
    if (m_kind == Kind::Table)
        return tableSeek(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid LIMIT 1").arg(quoted(m_table)), {});
    if (m_kind == Kind::Query) {
        if (!ensureQueryLoaded())
            return false;
        m_index = 0;
        m_currentDeleted = false;
        return true;
    }
    return m_kind == Kind::Empty;
}

bool Recordset::moveNext()
{
    if (m_kind == Kind::Table) {
        if (m_rowid < 0)
            return fail(QStringLiteral("no current row"));
        return tableSeek(
            QStringLiteral("SELECT rowid FROM %1 WHERE rowid > :r ORDER BY rowid LIMIT 1").arg(quoted(m_table)),
            {{QStringLiteral(":r"), m_rowid}});
    }
    if (m_kind == Kind::Query) {
        if (!ensureQueryLoaded())
            return false;
        if (m_index >= m_rows.size())
            return fail(QStringLiteral("no current row"));
        // After a delete the next row has already moved into the current place.
        if (!m_currentDeleted)
            ++m_index;
        m_currentDeleted = false;
        return true;
    }
    return false;
}

bool Recordset::moveLast()
{
    if (m_kind == Kind::Table)
        return tableSeek(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid DESC LIMIT 1").arg(quoted(m_table)), {});
    if (m_kind == Kind::Query) {
        if (!ensureQueryLoaded())
            return false;
        m_index = m_rows.isEmpty() ? 0 : int(m_rows.size()) - 1;
        m_currentDeleted = false;
        return true;
    }
    return m_kind == Kind::Empty;
}

bool Recordset::findFirst(const QString &column, const QVariant &value)
{
    return findFirst(Criteria{{column, value}});
}

bool Recordset::findFirst(const Criteria &criteria)
{
    if (m_kind == Kind::Table) {
        QStringList columns;
        for (const auto &c : criteria)
            columns.append(c.first);
        if (!checkColumns(columns))
            return false;
        QStringList where;
        QVariantMap params;
        for (int i = 0; i < criteria.size(); ++i) {
            const auto &[column, value] = criteria.at(i);
            if (value.isNull()) {
                where.append(quoted(column) + QLatin1String(" IS NULL"));
            } else {
                const QString p = QStringLiteral(":v%1").arg(i);
                where.append(quoted(column) + QLatin1String(" = ") + p);
                params.insert(p, value);
            }
        }
        QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY rowid LIMIT 1")
                      .arg(quoted(m_table), where.join(QLatin1String(" AND "))));
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            q.bindValue(it.key(), it.value());
        if (!q.exec())
            return fail(q.lastError().text());
        if (!q.next())
            return false;
        m_rowid = q.value(0).toLongLong();
        m_rowLoaded = false;
        m_currentDeleted = false;
        return true;
    }
    if (m_kind == Kind::Query) {
        if (!ensureQueryLoaded())
            return false;
        for (const auto &c : criteria)
            if (m_queryColumns.indexOf(c.first) < 0)
                return fail(QStringLiteral("no column %1").arg(c.first));
        for (int i = 0; i < m_rows.size(); ++i) {
            bool all = true;
            for (const auto &[column, value] : criteria)
                all = all && sameValue(m_rows.at(i).value(column), value);
            if (all) {
                m_index = i;
                m_currentDeleted = false;
                return true;
            }
        }
    }
    return false;
}

bool Recordset::loadTableRow()
{
    if (m_rowLoaded)
        return true;
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(quoted(m_table)));
    q.addBindValue(m_rowid);
    if (!q.exec())
        return fail(q.lastError().text());
    if (!q.next())
        return fail(QStringLiteral("row %1 no longer exists").arg(m_rowid));
    m_row = q.record();
    m_rowLoaded = true;
    return true;
}

QVariant Recordset::value(const QString &column)
{
    for (const auto &[name, v] : std::as_const(m_pending))
        if (name.compare(column, Qt::CaseInsensitive) == 0)
            return v;
    if (m_currentDeleted)
        return {};
    if (m_kind == Kind::Table) {
        if (m_rowid < 0 || !loadTableRow())
            return {};
        return m_row.value(column);
    }
    if (m_kind == Kind::Query) {
        if (!ensureQueryLoaded() || m_index >= m_rows.size())
            return {};
        return m_rows.at(m_index).value(column);
    }
    return {};
}

QStringList Recordset::columnNames()
{
    QSqlRecord record;
    if (m_kind == Kind::Table) {
        return baseColumns();
    } else if (m_kind == Kind::Query && ensureQueryLoaded()) {
        record = m_queryColumns;
    }
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names.append(record.fieldName(i));
    return names;
}

QStringList Recordset::baseColumns()
{
    if (m_baseColumns.isEmpty() && !m_table.isEmpty()) {
        QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
        q.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)"));
        q.addBindValue(m_table);
        if (q.exec())
            while (q.next())
                m_baseColumns.append(q.value(0).toString());
    }
    return m_baseColumns;
}

bool Recordset::checkColumns(const QStringList &columns)
{
    const QStringList known = baseColumns();
    for (const QString &c : columns)
        if (!known.contains(c, Qt::CaseInsensitive))
            return fail(QStringLiteral("no column %1 in %2").arg(c, m_table));
    return true;
}

void Recordset::addNew()
{
    m_editMode = EditMode::Add;
    m_pending.clear();
}

bool Recordset::edit()
{
    if (eof() || m_currentDeleted)
        return fail(QStringLiteral("no current row to edit"));
    if (m_kind == Kind::Query && !m_hasRid)
        return fail(QStringLiteral("read-only query"));
    m_editMode = EditMode::Edit;
    m_pending.clear();
    return true;
}

void Recordset::setValue(const QString &column, const QVariant &value)
{
    for (auto &entry : m_pending) {
        if (entry.first.compare(column, Qt::CaseInsensitive) == 0) {
            entry.second = value;
            return;
        }
    }
    m_pending.append({column, value});
}

void Recordset::cancelUpdate()
{
    m_editMode = EditMode::None;
    m_pending.clear();
}

int Recordset::queryIndexOfRid(qint64 rid) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).value(0).toLongLong() == rid)
            return i;
    return -1;
}

bool Recordset::update()
{
    if (m_editMode == EditMode::None)
        return fail(QStringLiteral("update without addNew or edit"));
    if (m_table.isEmpty())
        return fail(QStringLiteral("read-only query"));
    QStringList columns;
    for (const auto &p : std::as_const(m_pending))
        columns.append(p.first);
    if (!checkColumns(columns))
        return false;

    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery q(db);
    qint64 rid = -1;
    if (m_editMode == EditMode::Add) {
        QStringList names, marks;
        for (int i = 0; i < columns.size(); ++i) {
            names.append(quoted(columns.at(i)));
            marks.append(QStringLiteral(":p%1").arg(i));
        }
        q.prepare(columns.isEmpty()
                      ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_table))
                      : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(quoted(m_table), names.join(QLatin1String(", ")), marks.join(QLatin1String(", "))));
    } else {
        rid = m_kind == Kind::Table ? m_rowid : m_rows.at(m_index).value(0).toLongLong();
        if (columns.isEmpty()) {
            cancelUpdate();
            return true;
        }
        QStringList sets;
        for (int i = 0; i < columns.size(); ++i)
            sets.append(quoted(columns.at(i)) + QStringLiteral(" = :p%1").arg(i));
        q.prepare(
            QStringLiteral("UPDATE %1 SET %2 WHERE rowid = :rid").arg(quoted(m_table), sets.join(QLatin1String(", "))));
        q.bindValue(QStringLiteral(":rid"), rid);
    }
    for (int i = 0; i < m_pending.size(); ++i)
        q.bindValue(QStringLiteral(":p%1").arg(i), m_pending.at(i).second);
    if (!q.exec()) {
        // A refused write leaves the row as it was, and reads show the stored values.
        cancelUpdate();
        return fail(q.lastError().text());
    }

    const bool adding = m_editMode == EditMode::Add;
    if (adding) {
        rid = q.lastInsertId().toLongLong();
        m_lastInsert = rid;
    }
    m_editMode = EditMode::None;
    m_pending.clear();

    if (m_kind == Kind::Table) {
        m_rowLoaded = false;
        return true;
    }
    // Query: bring the edited row up to date, or append the added one, as a
    // dynaset shows its own additions until the next requery.
    if (!m_queryLoaded)
        return true;
    QSqlQuery r(db);
    r.prepare(QStringLiteral("SELECT rowid AS RID, * FROM %1 WHERE rowid = ?").arg(quoted(m_table)));
    r.addBindValue(rid);
    if (!r.exec() || !r.next())
        return fail(r.lastError().text());
    QSqlRecord fresh = m_queryColumns;
    const QSqlRecord base = r.record();
    for (int i = 0; i < fresh.count(); ++i) {
        const int at = base.indexOf(fresh.fieldName(i));
        fresh.setValue(i, at >= 0 ? base.value(at) : QVariant());
    }
    const int index = queryIndexOfRid(rid);
    if (index >= 0) {
        for (int i = 0; i < fresh.count(); ++i)
            if (base.indexOf(fresh.fieldName(i)) < 0)
                fresh.setValue(i, m_rows.at(index).value(i));
        m_rows[index] = fresh;
    } else {
        m_rows.append(fresh);
    }
    return true;
}

bool Recordset::deleteCurrent()
{
    if (eof() || m_currentDeleted)
        return fail(QStringLiteral("no current row to delete"));
    if (m_table.isEmpty() || (m_kind == Kind::Query && !m_hasRid))
        return fail(QStringLiteral("read-only query"));
    const qint64 rid = m_kind == Kind::Table ? m_rowid : m_rows.at(m_index).value(0).toLongLong();
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(m_table)));
    q.addBindValue(rid);
    if (!q.exec())
        return fail(q.lastError().text());
    m_currentDeleted = true;
    m_rowLoaded = false;
    if (m_kind == Kind::Query)
        m_rows.removeAt(m_index);
    return true;
}

QVariant Recordset::bookmark()
{
    if (eof() || m_currentDeleted)
        return {};
    if (m_kind == Kind::Table)
        return m_rowid;
    return m_hasRid ? m_rows.at(m_index).value(0) : QVariant(m_index);
}

bool Recordset::setBookmark(const QVariant &bookmark)
{
    if (!bookmark.isValid())
        return fail(QStringLiteral("invalid bookmark"));
    if (m_kind == Kind::Table) {
        QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
        q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE rowid = ?").arg(quoted(m_table)));
        q.addBindValue(bookmark.toLongLong());
        if (!q.exec() || !q.next())
            return fail(QStringLiteral("invalid bookmark"));
        m_rowid = bookmark.toLongLong();
        m_rowLoaded = false;
        m_currentDeleted = false;
        return true;
    }
    if (m_kind == Kind::Query && ensureQueryLoaded()) {
        const int index = m_hasRid ? queryIndexOfRid(bookmark.toLongLong()) : bookmark.toInt();
        if (index < 0 || index >= m_rows.size())
            return fail(QStringLiteral("invalid bookmark"));
        m_index = index;
        m_currentDeleted = false;
        return true;
    }
    return fail(QStringLiteral("invalid bookmark"));
}
