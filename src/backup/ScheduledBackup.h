#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The dated copies that velorin-sauvegarde writes, from a timer, while the
// program may be working on the database: "donnees-AAAAMMJJ-HHMMSS.mdb",
// made through SQLite's backup interface (a consistent picture of the last
// commit, never a file copy caught mid-write), checked, and kept to the N
// most recent.
namespace ScheduledBackup {

constexpr int DefaultKept = 10;
constexpr int MaxKept = 1000;

// "donnees-20261207-031500.mdb" for 7 December 2026 at 03:15:00.
QString DatedName(const QDateTime &when);
// The instant a dated copy's name stands for; invalid for any other name
// (the exact pattern: letter case, digits and a real date and time).
QDateTime DateOfName(const QString &name);
// The dated copies of `folder` (regular files), newest first.
QStringList DatedCopies(const QString &folder);

// What a run ends with: the process's exit code and its one French line.
enum class Status { Done = 0, Refused = 1, Failed = 2 };
struct Result
{
    Status status = Status::Refused;
    QString message;
    QString copy; // the dated copy written, when Done
};

struct Request
{
    QString dataFolder;
    QString destination; // created when missing, if the folder above it is there
    int keep = DefaultKept;
    QDateTime now; // names the copy
};

// Refused: nothing to copy, or a destination that cannot take the copy (not a
// folder, the data folder itself, not writable). Failed: the copy or its
// check failed (full disk, damaged database); no partial file is left. The
// copy is written under a hidden temporary name and renamed once checked;
// only then are the oldest dated copies beyond `keep` deleted.
Result Run(const Request &request);

// "DOSSIER DESTINATION [--garder N]" (without the program's name).
Result RunCommandLine(const QStringList &arguments, const QDateTime &now);

} // namespace ScheduledBackup
