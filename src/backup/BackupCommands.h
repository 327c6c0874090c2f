#pragma once

#include "BackupFiles.h"

class MainScreen;
struct AppContext;

// The main toolbar's "Sauvegarde" and "Restaure". Both close the connection
// only once a folder has been chosen, and reopen it whatever happens: after a
// success the start-up sequence runs again (compaction, reopening, first
// school selected); after a failure the database, untouched, is reopened on
// the same selection. `faults` is the tests' seam.
void RunBackup(AppContext &context, MainScreen &screen, const BackupFiles::Faults &faults = {});
void RunRestore(AppContext &context, MainScreen &screen, const BackupFiles::Faults &faults = {});
