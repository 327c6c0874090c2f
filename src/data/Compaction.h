#pragma once

#include <QString>

// The compaction run at every start: the live database is rewritten into
// "donnees2.MDB", the live file becomes "donnees.BAK" and the new file takes
// the name "donnees.MDB". A file with pages to reclaim is rebuilt (VACUUM
// INTO); one with (almost) nothing to reclaim is copied page by page.
struct CompactionReport
{
    bool rebuilt = false;
    qint64 freePages = 0;
    qint64 pages = 0;
    bool damaged = false; // the source could not be read as a database
};

// Test seam: called after each step of the file sequence with the step's
// name ("target-removed", "compacted", "backup-removed", "live-renamed",
// "target-renamed"); returning false stops the sequence there, as a crash would.
using CompactionStepHook = bool (*)(const char *step);

bool CompactDatabase(const QString &dataFolder, QString *error, CompactionReport *report = nullptr,
                     CompactionStepHook hook = nullptr);

// Brings the folder back to a complete state after a compaction that was
// interrupted between its two renames (no live file, a complete
// "donnees2.MDB"): the compacted file takes its place. True when it acted.
bool CompleteInterruptedCompaction(const QString &dataFolder);
