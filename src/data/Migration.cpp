#include "Migration.h"

#include "Schema.h"
#include "SqliteSupport.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace Migration {

namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool run(const QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    return fail(error, q.lastError().text());
}

// The statements of the current schema that create `kind` objects whose
// name starts with `prefix` (indexes and views rebuilt around a new table).
QStringList schemaStatements(const QString &start)
{
    QStringList found;
    for (const QString &statement : Schema::Statements())
        if (statement.startsWith(start))
            found.append(statement);
    return found;
}

} // namespace

int FileVersion(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("PRAGMA user_version")) && q.next() ? q.value(0).toInt() : -1;
}

bool AddPupilKey(const QSqlDatabase &db, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT name, type FROM pragma_table_info('ELEVE') ORDER BY cid")))
        return fail(error, q.lastError().text());
    QStringList definitions{QStringLiteral("NOELEVE INTEGER PRIMARY KEY AUTOINCREMENT")};
    QStringList columns;
    while (q.next()) {
        const QString name = q.value(0).toString();
        if (name.compare(QLatin1String("NOELEVE"), Qt::CaseInsensitive) == 0)
            return fail(error, QStringLiteral("ELEVE already has a column NOELEVE"));
        const QString quoted =
            QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
        columns.append(quoted);
        definitions.append(quoted + QLatin1Char(' ') + q.value(1).toString());
    }
    q.finish();
    if (columns.isEmpty())
        return fail(error, QStringLiteral("the file has no table ELEVE"));
    const QString list = columns.join(QStringLiteral(", "));
    // The views that read ELEVE go first: SQLite checks them on a rename.
    QStringList steps = {
        QStringLiteral("DROP VIEW IF EXISTS VIEW_EXPORT"),
        QStringLiteral("DROP VIEW IF EXISTS VIEW_PARCOURS"),
        QStringLiteral("CREATE TABLE ELEVE_V2 (%1)").arg(definitions.join(QStringLiteral(", "))),
        QStringLiteral("INSERT INTO ELEVE_V2 (NOELEVE, %1) SELECT rowid, %1 FROM ELEVE ORDER BY rowid").arg(list),
        QStringLiteral("DROP TABLE ELEVE"),
        QStringLiteral("ALTER TABLE ELEVE_V2 RENAME TO ELEVE"),
    };
    steps += schemaStatements(QStringLiteral("CREATE INDEX ELEVE_"));
    steps += schemaStatements(QStringLiteral("CREATE VIEW VIEW_EXPORT"));
    steps += schemaStatements(QStringLiteral("CREATE VIEW VIEW_PARCOURS"));
    for (const QString &sql : std::as_const(steps))
        if (!run(db, sql, error))
            return false;
    return true;
}

bool MigrateToCurrent(const QSqlDatabase &db, QString *error)
{
    const int version = FileVersion(db);
    if (version < 0)
        return fail(error, QStringLiteral("cannot read the schema version"));
    if (version == Schema::Version)
        return true;
    if (version > Schema::Version)
        return fail(error, QStringLiteral("schema version %1 is newer than this program's").arg(version));
    QSqlDatabase handle = db;
    if (!handle.transaction())
        return fail(error, handle.lastError().text());
    bool ok = true;
    // A file made before versions were stamped (0) has the first schema.
    if (version <= 1)
        ok = AddPupilKey(db, error);
    if (ok) {
        const SqliteSupport::AdministrativeStep stamping;
        ok = run(db, QStringLiteral("PRAGMA user_version = %1").arg(Schema::Version), error);
    }
    if (ok && handle.commit())
        return true;
    if (ok && error)
        *error = handle.lastError().text();
    handle.rollback();
    return false;
}

bool MigrateFile(const QString &path, QString *error)
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("velorin-migration-%1").arg(counter.fetchAndAddRelaxed(1));
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open() || !SqliteSupport::Harden(SqliteSupport::Handle(db)))
            done = fail(error, db.lastError().text());
        else
            done = MigrateToCurrent(db, error);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}

} // namespace Migration
