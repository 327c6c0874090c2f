#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

// The database schema the program carries, its creation and the checks that
// tell whether a file is a database of the program.
namespace Schema {

// Stamped in PRAGMA user_version; later versions migrate older files.
constexpr int Version = 2;
// Stamped in PRAGMA application_id ("VLRN").
constexpr int ApplicationId = 0x564C524E;

const char *SchemaSqlText();
// The statements of the schema, in order.
QStringList Statements();
// Tables and views every database of the program holds.
const QStringList &RequiredObjects();

// Creates a new, empty database at `path` (written beside it, then renamed).
bool CreateDatabase(const QString &path, QString *error);
// Creates the transfer template: a database of the program's engine without a table ELEVE.
bool CreateExportTemplate(const QString &path, QString *error);

// Altered: the file holds objects the program did not make (triggers, views,
// tables, indexes) or a changed one; `detail` then says which, in French.
enum class FileState { Sound, Missing, NotDatabase, WrongSchema, NewerVersion, Damaged, Altered };

struct FileCheck
{
    FileState state = FileState::Missing;
    QString detail; // English, for logs (French for Altered); messages are built by the caller

    bool sound() const { return state == FileState::Sound; }
};

// What differs between the schema of the open file `db`, of schema version
// `version`, and the program's, in French ("déclencheur inconnu « X »"), or
// nothing. A file of an older version may lack what its migration adds.
QStringList SchemaDifferences(::sqlite3 *db, int version);

// Header, schema objects, their definitions and version; `thorough` adds SQLite's quick_check,
// which reads the whole file.
FileCheck CheckDatabaseFile(const QString &path, bool thorough);

} // namespace Schema
