#pragma once

#include <QString>

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

} // namespace FolderPaths
