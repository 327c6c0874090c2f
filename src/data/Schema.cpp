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

// The shape of a schema: every object's type and text. The columns of a
// table, as SQLite reads them (name, type, constraints, hidden), are read only
// when its text differs from the program's (a table rebuilt by a migration).
struct Shape
{
    QHash<QString, QString> types;       // upper-case name -> type
    QHash<QString, QString> definitions; // their text, spaces collapsed
    QHash<QString, QStringList> columns; // the program's tables
};

QString columnText(sqlite3_stmt *s, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, i)));
}

bool readShape(sqlite3 *db, Shape *shape)
{
    sqlite3_stmt *objects = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT type, upper(name), ifnull(sql, '') FROM sqlite_master", -1, &objects,
                           nullptr) != SQLITE_OK)
        return false;
    int rc;
    while ((rc = sqlite3_step(objects)) == SQLITE_ROW) {
        const QString type = columnText(objects, 0), name = columnText(objects, 1);
        // SQLite's own tables and indexes (sequences, statistics, automatic indexes).
        if (name.startsWith(QLatin1String("SQLITE_")) &&
            (type == QLatin1String("table") || type == QLatin1String("index")))
            continue;
        shape->types.insert(name, type);
        shape->definitions.insert(name, columnText(objects, 2).simplified());
    }
    sqlite3_finalize(objects);
    return rc == SQLITE_DONE;
}

// A table's kind ("CREATE TABLE", "CREATE VIRTUAL") and columns.
QStringList columnsOf(sqlite3 *db, const QString &table, const QString &definition)
{
    QStringList list{definition.section(QLatin1Char(' '), 0, 1).toUpper()};
    sqlite3_stmt *columns = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT upper(name) || ' ' || upper(type) || ' ' || \"notnull\" || ' ' || "
                           "ifnull(dflt_value, '-') || ' ' || pk || ' ' || hidden FROM pragma_table_xinfo(?1)",
                           -1, &columns, nullptr) != SQLITE_OK)
        return {};
    const QByteArray utf8 = table.toUtf8();
    sqlite3_bind_text(columns, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(columns) == SQLITE_ROW)
        list.append(columnText(columns, 0));
    sqlite3_finalize(columns);
    return list;
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
        for (auto it = s.types.cbegin(); it != s.types.cend(); ++it)
            if (it.value() == QLatin1String("table"))
                s.columns.insert(it.key(), columnsOf(db.handle(), it.key(), s.definitions.value(it.key())));
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
        else if (type == QLatin1String("table") && file.definitions.value(name) != program.definitions.value(name)) {
            const QStringList &expected = program.columns.value(name);
            QStringList columns = columnsOf(db, name, file.definitions.value(name));
            // The pupils' key came with version 2 (an older file that has one
            // is refused by its migration, which says so).
            if (version < 2 && name == QLatin1String("ELEVE") && columns.size() > 1 &&
                columns.value(1) != expected.value(1))
                columns.insert(1, expected.value(1));
            if (columns != expected)
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
    if (!QFileInfo::exists(path))
        return {FileState::Missing, QStringLiteral("no such file")};
    // A device or a pipe would never end, or never answer.
    if (!DataFiles::RegularFileProblem(path).isEmpty())
        return {FileState::NotDatabase, QStringLiteral("not a regular file")};
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
