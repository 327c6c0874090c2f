#include "TestSupport.h"

#include "data/DataFiles.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <QSqlRecord>
#include <QTest>
#include <sqlite3.h>

namespace TestSupport {

int rowsMissing(const QStringList &expected, const QStringList &actual)
{
    QHash<QString, int> left;
    for (const QString &row : actual)
        ++left[row];
    int missing = 0;
    for (const QString &row : expected)
        if (--left[row] < 0)
            ++missing;
    return missing;
}

static int countFromEnvironment(const char *variable, int usual)
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue(variable, &ok);
    if (!qEnvironmentVariableIsSet(variable))
        return usual;
    if (!ok || count <= 0)
        qFatal("%s must be a positive number, not \"%s\"", variable, qgetenv(variable).constData());
    return count;
}

int fuzzInputs(int usual)
{
    return countFromEnvironment("VELORIN_FUZZ_INPUTS", usual);
}

KillTally::KillTally(const char *name, int usual)
    : loop(name), trials(countFromEnvironment("VELORIN_KILL_TRIALS", usual))
{
    timer.start();
}

KillTally::~KillTally()
{
    qInfo("%s: %d of %d kills, %d committed rows lost, %.1f s", loop, kills, trials, lost, timer.elapsed() / 1000.0);
}

void createEmptyDataFolder(const QString &folder)
{
    QString error;
    if (!Schema::CreateDatabase(QDir(folder).filePath(DataFiles::Database), &error) ||
        !Schema::CreateExportTemplate(QDir(folder).filePath(DataFiles::ExportTemplate), &error))
        qFatal("cannot create test data folder: %s", qPrintable(error));
}

qint64 insertRow(const QString &folder, const QString &table, const QVariantMap &values)
{
    const QString name = QStringLiteral("testsupport");
    qint64 rowid = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(DataFiles::LiveDatabase(folder));
        const bool opened = db.open();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table, values.keys().join(','), QStringList(values.size(), "?").join(',')));
        for (const QVariant &value : values)
            q.addBindValue(value);
        if (!opened || !q.exec())
            qFatal("insert into %s failed: %s", qPrintable(table), qPrintable(q.lastError().text()));
        rowid = q.lastInsertId().toLongLong();
    }
    QSqlDatabase::removeDatabase(name);
    return rowid;
}

void execSql(const QString &folder, const QString &sql)
{
    SqliteSupport::RawDatabase db;
    QVERIFY2(db.open(DataFiles::LiveDatabase(folder), false), qPrintable(folder));
    const SqliteSupport::AdministrativeStep setUp(db.handle());
    QVERIFY2(db.exec(sql), qPrintable(db.error()));
}

void execWithTriggers(const QSqlDatabase &db, const QString &sql)
{
    sqlite3 *handle = SqliteSupport::Handle(db);
    QVERIFY(handle && sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr) == SQLITE_OK);
    char *message = nullptr;
    const bool ok = sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK;
    const QString why = QString::fromUtf8(message ? message : "");
    sqlite3_free(message);
    QVERIFY2(ok, qPrintable(why));
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

void plantLock(const QString &folder, const QByteArray &content, const QDateTime &since)
{
    const QString path = QDir(folder).filePath(DataFiles::LockFile);
    writeFile(path, content);
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.setFileTime(since, QFileDevice::FileModificationTime))
        qFatal("cannot date %s", qPrintable(path));
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
