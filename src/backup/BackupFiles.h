#pragma once

#include <QString>

#include <functional>

// The file steps of the backup and of the restore, run while the program's
// connection is closed. Neither ever leaves a folder without its previous
// file: the new copy is written under a temporary name beside its
// destination, flushed, checked as a sound database of the program, and only
// then renamed over the old file.
namespace BackupFiles {

// The faults a test makes the file steps meet.
struct Faults
{
    // The copy's writes fail once this many bytes are written, as on a full disk (-1: never).
    qint64 writeLimit = -1;
    // The temporary file cannot be created, as in a folder that cannot be written.
    bool unwritableFolder = false;
    // Called after each step with its name; returning false stops the
    // sequence there as a crash would: nothing is cleaned up.
    // Backup: "copied", "checked", "renamed", "variants-removed".
    // Restore: "copied", "checked", "renamed".
    std::function<bool(const char *step)> afterStep;
};

// Name of the temporary copy beside "donnees.mdb".
QString TemporaryName();

// Copies the live database of `dataFolder` to "donnees.mdb" in `folder`. An
// earlier backup there is replaced whatever the letter case of its name; a
// live file found damaged replaces nothing. On failure `reason` says why, in
// French, and the folder holds what it held before.
bool CopyOut(const QString &dataFolder, const QString &folder, QString *reason, const Faults &faults = {});

// Puts "donnees.mdb" of `folder` (whatever file the user highlighted) in place
// of the live database of `dataFolder`, under the live file's own name, once
// its copy in the data folder has been checked as a sound database of this
// schema version. On failure the live file is untouched.
bool CopyIn(const QString &dataFolder, const QString &folder, QString *reason, const Faults &faults = {});

// The same with the backup file named: a dated copy of the scheduled backups.
bool CopyInFile(const QString &dataFolder, const QString &source, QString *reason, const Faults &faults = {});

} // namespace BackupFiles
