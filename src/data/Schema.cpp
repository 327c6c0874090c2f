#include "Schema.h"

#include "DataFiles.h"
#include "SqliteSupport.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

using SqliteSupport::RawDatabase;

namespace Schema {

QStringList Statements()
{
    QStringList result;
    const QStringList parts = QString::fromUtf8(SchemaSqlText()).split(QStringLiteral("\n--;\n"));
    for (const QString &part : parts) {
        QStringList lines;
        for (const QString &line : part.split(QLatin1Char('\n')))
            if (!line.trimmed().startsWith(QLatin1String("--")))
                lines.append(line);
        const QString statement = lines.join(QLatin1Char('\n')).trimmed();
        if (!statement.isEmpty())
            result.append(statement);
    }
    return result;
}

const QStringList &RequiredObjects()
{
    static const QStringList objects = {
        QStringLiteral("ECOLE"),         QStringLiteral("CLASSE"),      QStringLiteral("ELEVE"),
        QStringLiteral("IMPORTE"),       QStringLiteral("PARCOURS"),    QStringLiteral("CHANGEANNEE"),
        QStringLiteral("REQUETES"),      QStringLiteral("VIEW_EXPORT"), QStringLiteral("VIEW_IMPORTE"),
        QStringLiteral("VIEW_PARCOURS"), QStringLiteral("VIEW_ANCIEN"),
    };
    return objects;
}

namespace {

bool createWith(const QString &path, const QStringList &statements, QString *error)
{
    const QString temp = path + QStringLiteral(".tmp");
    QFile::remove(temp);
    {
        RawDatabase db;
        bool ok = db.open(temp, true) && db.exec(QStringLiteral("BEGIN"));
        for (const QString &statement : statements)
            ok = ok && db.exec(statement);
        ok = ok && db.exec(QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId)) &&
             db.exec(QStringLiteral("PRAGMA user_version = %1").arg(Version)) && db.exec(QStringLiteral("COMMIT"));
        if (!ok) {
            if (error)
                *error = db.error();
            db.close();
            QFile::remove(temp);
            return false;
        }
    }
    DataFiles::SyncPath(temp);
    return DataFiles::RenameReplacing(temp, path, error);
}

} // namespace

bool CreateDatabase(const QString &path, QString *error)
{
    return createWith(path, Statements(), error);
}

bool CreateExportTemplate(const QString &path, QString *error)
{
    return createWith(path, {QStringLiteral("CREATE TABLE MODELE_TRANSFERT (VERSION INTEGER)")}, error);
}

FileCheck CheckDatabaseFile(const QString &path, bool thorough)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return {FileState::Missing, QStringLiteral("no such file")};
    if (!file.open(QIODevice::ReadOnly))
        return {FileState::NotDatabase, file.errorString()};
    const QByteArray header = file.read(16);
    file.close();
    if (header != QByteArray("SQLite format 3\0", 16))
        return {FileState::NotDatabase, QStringLiteral("not an SQLite file")};

    RawDatabase db;
    if (!db.open(path, false))
        return {FileState::NotDatabase, db.error()};
    QStringList names;
    if (!db.queryTexts(QStringLiteral("SELECT upper(name) FROM sqlite_master WHERE type IN ('table', 'view')"),
                       &names)) {
        const int code = db.errorCode() & 0xff;
        return {code == SQLITE_NOTADB ? FileState::NotDatabase : FileState::Damaged, db.error()};
    }
    QStringList missing;
    for (const QString &required : RequiredObjects())
        if (!names.contains(required))
            missing.append(required);
    if (!missing.isEmpty())
        return {FileState::WrongSchema, QStringLiteral("missing: ") + missing.join(QLatin1String(", "))};
    qint64 version = 0;
    db.queryInt(QStringLiteral("PRAGMA user_version"), &version);
    if (version > Version)
        return {FileState::NewerVersion, QStringLiteral("schema version %1").arg(version)};
    if (thorough) {
        QStringList result;
        if (!db.queryTexts(QStringLiteral("PRAGMA quick_check"), &result) ||
            result != QStringList{QStringLiteral("ok")})
            return {FileState::Damaged, result.isEmpty() ? db.error() : result.join(QLatin1String("; "))};
    }
    return {FileState::Sound, {}};
}

} // namespace Schema
