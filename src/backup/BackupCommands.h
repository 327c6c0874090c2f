#pragma once

#include "BackupFiles.h"

class Form1;
struct AppContext;

// The main toolbar's "Sauvegarde" and "Restaure". Both close the connection
// only once a folder has been chosen, and reopen it whatever happens: after a
// success the start-up sequence runs again (compaction, reopening, first
// school selected); after a failure the database, untouched, is reopened on
// the same selection. `faults` is the tests' seam.
void RunBackup(Form1 &form, AppContext &context, const BackupFiles::Faults &faults = {});
void RunRestore(Form1 &form, AppContext &context, const BackupFiles::Faults &faults = {});

// Plugs the backup, the restore, the year change and the refilling of a class
// from last year's pupils into the main window's routes.
void ConnectBackupAndTransfers(Form1 &form, AppContext &context);
