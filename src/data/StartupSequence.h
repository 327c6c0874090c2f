#pragma once

#include <QDateTime>

class Connection;
class Dialogs;

// The database side of the start-up sequence: the data folder is checked and
// repaired (see PrepareDataFolder), the database compacted, then opened.
// A compaction that fails on a sound file is reported and the database is
// opened uncompacted; a file found unreadable is offered the "donnees.BAK"
// path. False means the program must stop (the reason has been shown).
bool StartDatabase(Connection &connection, Dialogs &dialogs, const QDateTime &now);
