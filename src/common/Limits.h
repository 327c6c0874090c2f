#pragma once

#include <QtGlobal>

// The sizes the program accepts from users and from files. Anything larger is
// refused with a message and nothing is added.
namespace Limits {

// Pupils in one class, whether typed, read from a list or imported.
constexpr int PupilsPerClass = 200;
// Names in one text list of pupils.
constexpr int NamesPerList = 200;
// Characters of a pupil's name, after trimming.
constexpr int NameLength = 80;
// Bytes of a text list of pupils: 200 names of 80 characters, with room to spare.
constexpr qint64 ListBytes = 256 * 1024;
// Scores, totals and categories held in a pupil's row.
constexpr int ScoreMin = 0;
constexpr int ScoreMax = 99;

// Archives read by the restore of a zipped backup.
constexpr qint64 UnzippedBytes = qint64(1) << 30; // 1 GiB in all
constexpr int ZipEntries = 10000;
// Uncompressed size over compressed size of one entry (a sound database
// compresses about 10:1; a zip bomb by thousands).
constexpr qint64 ZipRatio = 200;

// A lock file from another machine, or unreadable, is reported as stale after this long.
constexpr int StaleLockHours = 12;

} // namespace Limits
