#pragma once

#include <QString>
#include <QStringList>

// Paths the folder chooser gives and the backup and restore use: '/'-separated,
// without a trailing separator except for a root ("/", "C:/").
namespace FolderPaths {

// `folder` without its trailing separators; a root keeps its own.
QString WithoutTrailingSeparator(const QString &folder);

// The file `name` inside `folder`: "/" gives "/donnees.mdb", "C:/" gives
// "C:/donnees.mdb", "/a/b/" gives "/a/b/donnees.mdb".
QString FileIn(const QString &folder, const QString &name);

// Whether `folder` is the data folder: the same path ignoring letter case
// (and trailing separators), or the same folder reached through a link.
bool IsDataFolder(const QString &folder, const QString &dataFolder);

// Whether `folder` belongs to the system (/proc, /sys, /dev, /usr, /etc,
// /var, /boot, /snap, /run...) and is kept out of the folder chooser. The
// home folder, with the folders above and below it, and the removable media
// under /media and /run/media never are.
bool IsSystemFolder(const QString &folder, const QString &home);

// Where removable media are mounted: the folders under /media, /media/USER and
// /run/media/USER (USER the user's name), as found under `root` ("/" but in tests).
QStringList RemovableMedia(const QString &root = QStringLiteral("/"));

} // namespace FolderPaths
