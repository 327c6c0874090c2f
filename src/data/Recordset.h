#pragma once

#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <utility>

// A named recordset on the database, with the operations the windows use:
// move first/next/last, end test, count, find first, add, edit, read and set a
// column by name (Null reads back as an invalid/null QVariant), update, delete,
// requery and bookmarks.
//
// Two kinds of source:
//  - a table: rows in table (rowid) order, reached one at a time through
//    indexed SQL, so a table of tens of thousands of rows is never loaded;
//  - a query (a view or a stored SQL text with named parameters): its rows are
//    loaded when first used. Queries whose first column is RID (the rowid of
//    their base table) can be edited and give stable bookmarks; the others are
//    read-only and their bookmark is the row's position.
class Recordset
{
public:
    using Criteria = QList<std::pair<QString, QVariant>>;

    explicit Recordset(QString name);

    const QString &name() const { return m_name; }

    // The bound-recordset side: which connection, which source, enabled or not.
    void setConnectionName(const QString &connectionName) { m_connectionName = connectionName; }
    void setRecordSource(const QString &source) { m_recordSource = source; }
    const QString &recordSource() const { return m_recordSource; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    // Opens the record source (a table or a view of the file). An empty source
    // leaves the recordset open and empty.
    bool refresh();
    // Replaces the current rows by those of a SELECT with named parameters
    // (":NO_ECOLE"). `baseTable` names the table that edits go to.
    bool openQuery(const QString &sql, const QVariantMap &params, const QString &baseTable);
    void close();
    bool isOpen() const { return m_kind != Kind::Closed; }

    bool requery();
    int recordCount();
    bool eof();
    bool moveFirst();
    bool moveNext();
    bool moveLast();
    // Makes the first row matching every column = value current; false and
    // position unchanged when none matches. Values are bound as parameters.
    bool findFirst(const QString &column, const QVariant &value);
    bool findFirst(const Criteria &criteria);

    QVariant value(const QString &column);
    QStringList columnNames();

    void addNew();
    bool edit();
    void setValue(const QString &column, const QVariant &value);
    bool update();
    void cancelUpdate();
    bool deleteCurrent();

    QVariant bookmark();
    bool setBookmark(const QVariant &bookmark);
    // rowid of the last row added by update() after addNew().
    qint64 lastInsertedRowid() const { return m_lastInsert; }

    const QString &lastError() const { return m_lastError; }

private:
    enum class Kind { Closed, Empty, Table, Query };
    enum class EditMode { None, Add, Edit };

    bool fail(const QString &message);
    bool ensureQueryLoaded();
    bool loadTableRow();
    bool tableSeek(const QString &sql, const QVariantMap &params);
    bool checkColumns(const QStringList &columns);
    QStringList baseColumns();
    int queryIndexOfRid(qint64 rid) const;

    QString m_name;
    QString m_connectionName;
    QString m_recordSource;
    bool m_enabled = false;
    Kind m_kind = Kind::Closed;
    QString m_lastError;

    // Table kind: current rowid (-1 past the end) and its row, loaded on demand.
    QString m_table;
    qint64 m_rowid = -1;
    bool m_rowLoaded = false;
    QSqlRecord m_row;

    // Query kind.
    QString m_querySql;
    QVariantMap m_queryParams;
    bool m_queryLoaded = false;
    bool m_hasRid = false;
    QList<QSqlRecord> m_rows;
    QSqlRecord m_queryColumns;
    int m_index = 0;

    bool m_currentDeleted = false;
    QStringList m_baseColumns;
    EditMode m_editMode = EditMode::None;
    QList<std::pair<QString, QVariant>> m_pending;
    qint64 m_lastInsert = -1;
};
