#include "Schema.h"

#include "DataFiles.h"
#include "SqliteSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

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
        const SqliteSupport::AdministrativeStep stamping(db.handle());
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

namespace {

// The shape of a schema: every object's type and definition, and the columns
// of every table as SQLite reads them (name, type, constraints, hidden).
struct Shape
{
    QHash<QString, QString> types;       // upper-case name -> type
    QHash<QString, QString> definitions; // views and indexes: their text, spaces collapsed
    QHash<QString, QStringList> columns; // tables
    QHash<QString, QString> tableKinds;  // tables: "CREATE TABLE", or "CREATE VIRTUAL"
};

bool readShape(sqlite3 *db, Shape *shape)
{
    sqlite3_stmt *objects = nullptr;
    sqlite3_stmt *columns = nullptr;
    bool ok = sqlite3_prepare_v2(db, "SELECT type, upper(name), ifnull(sql, '') FROM sqlite_master", -1, &objects,
                                 nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(db,
                                 "SELECT upper(name) || ' ' || upper(type) || ' ' || \"notnull\" || ' ' || "
                                 "ifnull(dflt_value, '-') || ' ' || pk || ' ' || hidden FROM pragma_table_xinfo(?1)",
                                 -1, &columns, nullptr) == SQLITE_OK;
    auto text = [](sqlite3_stmt *s, int i) {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, i)));
    };
    int rc = SQLITE_DONE;
    while (ok && (rc = sqlite3_step(objects)) == SQLITE_ROW) {
        const QString type = text(objects, 0), name = text(objects, 1), sql = text(objects, 2);
        // SQLite's own tables and indexes (sequences, statistics, automatic indexes).
        if (name.startsWith(QLatin1String("SQLITE_")) && (type == QLatin1String("table") || type == QLatin1String("index")))
            continue;
        shape->types.insert(name, type);
        if (type != QLatin1String("table")) {
            shape->definitions.insert(name, sql.simplified());
            continue;
        }
        shape->tableKinds.insert(name, sql.simplified().section(QLatin1Char(' '), 0, 1).toUpper());
        QStringList &list = shape->columns[name];
        const QByteArray utf8 = name.toUtf8();
        sqlite3_reset(columns);
        sqlite3_bind_text(columns, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(columns) == SQLITE_ROW)
            list.append(text(columns, 0));
    }
    sqlite3_finalize(objects);
    sqlite3_finalize(columns);
    return ok && rc == SQLITE_DONE;
}

// The program's schema, read once from a database made in memory.
const Shape &programShape()
{
    static const Shape shape = [] {
        Shape s;
        RawDatabase db;
        bool ok = db.open(QStringLiteral(":memory:"), true);
        for (const QString &statement : Statements())
            ok = ok && db.exec(statement);
        if (!ok || !readShape(db.handle(), &s))
            qFatal("the program's schema cannot be built: %s", qPrintable(db.error()));
        return s;
    }();
    return shape;
}

QString quoted(const QString &name)
{
    return QStringLiteral("« %1 »").arg(name);
}

} // namespace

QStringList SchemaDifferences(sqlite3 *db, int version)
{
    const Shape &program = programShape();
    Shape file;
    if (!readShape(db, &file))
        return {QStringLiteral("définition illisible")};
    QStringList found;
    for (auto it = file.types.cbegin(); it != file.types.cend(); ++it) {
        const QString &name = it.key();
        const QString &type = it.value();
        const bool known = program.types.value(name) == type;
        if (type == QLatin1String("trigger"))
            found.append(QStringLiteral("déclencheur inconnu ") + quoted(name));
        else if (type == QLatin1String("view"))
            found.append(!known ? QStringLiteral("vue inconnue ") + quoted(name)
                         // An older file's views that its migration rebuilds are not compared.
                         : version >= Version && file.definitions.value(name) != program.definitions.value(name)
                             ? QStringLiteral("vue %1 modifiée").arg(quoted(name))
                             : QString());
        else if (type == QLatin1String("index"))
            found.append(!known ? QStringLiteral("index inconnu ") + quoted(name)
                         : file.definitions.value(name) != program.definitions.value(name)
                             ? QStringLiteral("index %1 modifié").arg(quoted(name))
                             : QString());
        else if (type == QLatin1String("table") && !known)
            found.append(QStringLiteral("table inconnue ") + quoted(name));
        else if (type == QLatin1String("table")) {
            const QStringList &expected = program.columns.value(name);
            const QStringList &columns = file.columns.value(name);
            // The pupils' key came with version 2 (an older file that has one
            // is refused by its migration, which says so).
            const bool earlierPupils =
                version < 2 && name == QLatin1String("ELEVE") && columns == expected.mid(1);
            if ((columns != expected && !earlierPupils) ||
                file.tableKinds.value(name) != program.tableKinds.value(name))
                found.append(QStringLiteral("table %1 modifiée").arg(quoted(name)));
        } else if (!known)
            found.append(QStringLiteral("objet inconnu ") + quoted(name));
    }
    found.removeAll(QString());
    found.sort();
    return found;
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
    if (const QStringList differences = SchemaDifferences(db.handle(), int(version)); !differences.isEmpty())
        return {FileState::Altered, differences.join(QLatin1String(", "))};
    if (thorough) {
        QStringList result;
        if (!db.queryTexts(QStringLiteral("PRAGMA quick_check"), &result) ||
            result != QStringList{QStringLiteral("ok")})
            return {FileState::Damaged, result.isEmpty() ? db.error() : result.join(QLatin1String("; "))};
    }
    return {FileState::Sound, {}};
}

} // namespace Schema
