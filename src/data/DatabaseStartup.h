#pragma once

#include <QDateTime>
#include <QString>

class Dialogs;

// What must hold before the database is compacted and opened at start-up:
// a compaction interrupted between its renames is completed, a missing
// database is created on request, the transfer template exists, and a live
// file that is not a database of the program is reported (with an offer to
// put back "donnees.BAK" when that copy is sound). Messages are in French and
// name the file. False means the program must stop; no file has then been
// deleted or changed.
bool PrepareDataFolder(const QString &dataFolder, Dialogs &dialogs, const QDateTime &now);

// The damaged-file path on its own, for a compaction that finds the live file
// unreadable: offers donnees.BAK, keeping the damaged file aside.
bool OfferPreviousDatabase(const QString &dataFolder, const QString &damagedPath, const QString &reason,
                           Dialogs &dialogs, const QDateTime &now);

// The usual question about a folder without a database ("Voulez-vous créer
// une base de données vide dans ce dossier ?"), and the creation once agreed
// (false after saying why it failed).
bool AskForEmptyDatabase(const QString &dataFolder, Dialogs &dialogs);
bool CreateEmptyDatabase(const QString &dataFolder, Dialogs &dialogs);
