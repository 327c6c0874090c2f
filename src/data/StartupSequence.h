#pragma once

#include "InstanceLock.h"

#include <QDateTime>

class Connection;
class Dialogs;

// The database side of the start-up sequence: the data folder is checked and
// repaired (see PrepareDataFolder), the database compacted, then opened.
// A compaction that fails on a sound file is reported and the database is
// opened uncompacted; a file found unreadable is offered the "donnees.BAK"
// path. False means the program must stop (the reason has been shown).
bool StartDatabase(Connection &connection, Dialogs &dialogs, const QDateTime &now);

// Makes `folder` the data folder of `connection`, holding its lock in `lock`.
// A folder that is not there is created, with an empty database, once the
// user agrees (the question asked of any folder without a database); a folder
// that another copy of the program works on is refused as at start-up. The
// lock of the previous folder is released only once the new one is held.
// False (the reason has been shown) leaves the folder and the lock as they were.
bool TakeDataFolder(Connection &connection, InstanceLock &lock, const QString &folder, Dialogs &dialogs,
                    const QDateTime &now, InstanceLock::Ask ask = InstanceLock::Ask::WhenStale);
