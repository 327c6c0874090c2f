#include "TestSupport.h"

#include "data/DataFiles.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTest>

namespace TestSupport {

namespace {

// Opens the folder's live database under a throw-away connection name and runs `work`.
template <typename F> auto withDatabase(const QString &folder, F work)
{
    const QString name = QStringLiteral("testsupport");
    struct Cleanup
    {
        QString name;
        ~Cleanup() { QSqlDatabase::removeDatabase(name); }
    } cleanup{name};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(DataFiles::LiveDatabase(folder));
    if (!db.open())
        qFatal("cannot open test database in %s", qPrintable(folder));
    auto result = work(db);
    db.close();
    db = QSqlDatabase();
    return result;
}

} // namespace

void createEmptyDataFolder(const QString &folder)
{
    QString error;
    if (!Schema::CreateDatabase(QDir(folder).filePath(DataFiles::Database), &error) ||
        !Schema::CreateExportTemplate(QDir(folder).filePath(DataFiles::ExportTemplate), &error))
        qFatal("cannot create test data folder: %s", qPrintable(error));
}

qint64 insertRow(const QString &folder, const QString &table, const QVariantMap &values)
{
    return withDatabase(folder, [&](QSqlDatabase &db) {
        QStringList names, marks;
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            names.append(it.key());
            marks.append(QStringLiteral("?"));
        }
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(','), marks.join(',')));
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            q.addBindValue(it.value());
        if (!q.exec())
            qFatal("insert into %s failed: %s", qPrintable(table), qPrintable(q.lastError().text()));
        return q.lastInsertId().toLongLong();
    });
}

void execSql(const QString &folder, const QString &sql)
{
    SqliteSupport::RawDatabase db;
    QVERIFY2(db.open(DataFiles::LiveDatabase(folder), false), qPrintable(folder));
    QVERIFY2(db.exec(sql), qPrintable(db.error()));
}

int rowCount(const QString &folder, const QString &table)
{
    return withDatabase(folder, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table)) || !q.next())
            return -1;
        return q.value(0).toInt();
    });
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList fileNames(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort(Qt::CaseSensitive);
    return names;
}

QStringList tableRows(const QSqlDatabase &db, const QString &table)
{
    QStringList rows;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table)))
        qFatal("cannot read %s: %s", qPrintable(table), qPrintable(q.lastError().text()));
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values.append(q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
        rows.append(values.join(QLatin1Char('|')));
    }
    return rows;
}

} // namespace TestSupport
