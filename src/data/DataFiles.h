#pragma once

#include <QFileDevice>
#include <QString>

// The fixed file names of the data folder. On disk their letter case may
// differ (the compaction names the live file "donnees.MDB"): names are
// resolved against the folder's listing, ignoring case.
namespace DataFiles {
inline const QString Database = QStringLiteral("donnees.mdb");
inline const QString CompactedDatabase = QStringLiteral("donnees.MDB");
inline const QString CompactionTarget = QStringLiteral("donnees2.MDB");
inline const QString PreviousDatabase = QStringLiteral("donnees.BAK");
inline const QString ExportTemplate = QStringLiteral("Export.vid");
inline const QString TransferFile = QStringLiteral("EXPORT.mdb");
inline const QString LockFile = QStringLiteral("donnees.lock");

// Full path of the file of `folder` whose name equals `name` ignoring letter
// case, or an empty text when there is none. An exact match wins; among
// several case variants, the first in name order.
QString Resolve(const QString &folder, const QString &name);

// The live database of `folder`, whatever the letter case of its name
// ("donnees.MDB" after a compaction, "donnees.mdb" before), or empty.
QString LiveDatabase(const QString &folder);

// `folder` with exactly one trailing "/".
QString WithTrailingSeparator(const QString &folder);

// Why `path` cannot be read as a data file, in French (« n'est pas un fichier »,
// « est introuvable »), or an empty text when it is a regular file. Links are
// followed: a link to a folder, a device or a pipe is refused, before any open.
QString RegularFileProblem(const QString &path);

// Why a file operation failed, in French, from the file's error or the
// system's error number (never the system's own English text).
QString FrenchReason(const QFileDevice &file);
QString FrenchReasonOfErrno(int error);

// Flushes a file, or a folder's entries after renames, to the disk.
bool SyncPath(const QString &path);

// Renames `from` to `to` (replacing `to`), then makes the rename durable.
bool RenameReplacing(const QString &from, const QString &to, QString *error);

// Copies `from` to `to` through a temporary file beside `to`, renamed over it
// only once complete and flushed: `to` is never left half-written.
bool CopyReplacing(const QString &from, const QString &to, QString *error);
} // namespace DataFiles
