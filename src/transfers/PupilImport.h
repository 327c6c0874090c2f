#pragma once

#include <QString>

class Connection;

// Receiving a pupil from another school: the transfer file's pupil is staged
// in IMPORTE, moved to the current class, its results remapped, and appended
// to ELEVE, all in one transaction.
namespace PupilImport {

enum class Outcome { Imported, LevelMismatch, Failed };

struct Result
{
    Outcome outcome = Outcome::Failed;
    QString name;  // NOM of the imported pupil
    QString error; // why the pupil was not imported, in French
};

// Whether a pupil of level `from` may enter a class of level `to`: the same
// level, or the next one (GS to CP, CP to CE1).
bool LevelsAgree(const QString &from, const QString &to);

// Imports the one pupil of `folder`/EXPORT.mdb into class `klass` (level
// `classLevel`) of `school`. The file is untrusted: it is attached read-only,
// only its table ELEVE is read, and a file that is not a database, lacks the
// table or a column, or holds no pupil or several pupils is refused. Nothing
// reaches ELEVE unless the outcome is Imported.
Result Import(Connection &connection, const QString &folder, qint16 school, qint16 klass, const QString &classLevel);

} // namespace PupilImport
