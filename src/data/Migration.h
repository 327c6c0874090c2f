#pragma once

#include <QSqlDatabase>
#include <QString>

// Brings a database of an older schema version (PRAGMA user_version) up to
// the program's, in one transaction: a failure leaves the file as it was.
namespace Migration {

// The file's schema version; -1 when it cannot be read.
int FileVersion(const QSqlDatabase &db);

// Runs every step from the file's version to the program's. True when the
// file is (now) current; a newer file is left alone and refused.
bool MigrateToCurrent(const QSqlDatabase &db, QString *error);

// The same on the file at `path`, opened on a connection of its own (a
// restored copy, before it replaces the live file).
bool MigrateFile(const QString &path, QString *error);

// Version 1 to 2: ELEVE gets its key NOELEVE INTEGER PRIMARY KEY AUTOINCREMENT
// (a deleted pupil's key is never given again), each pupil
// keeping its row number as key, every value untouched; the export view stops
// carrying the whole row (a key must not travel to another school). Runs
// inside the caller's transaction.
bool AddPupilKey(const QSqlDatabase &db, QString *error);

} // namespace Migration
