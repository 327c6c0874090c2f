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

// Spreadsheets read back: a workbook or CSV file of results, and the school
// administration's CSV list of pupils.
constexpr qint64 SpreadsheetBytes = 8 * 1024 * 1024;
constexpr qint64 SpreadsheetPartBytes = 32 * 1024 * 1024; // one unzipped part of a workbook
constexpr int SpreadsheetSheets = 100;
constexpr int SpreadsheetRows = 1000;
constexpr int SpreadsheetColumns = 300;
constexpr int CellLength = 1000;      // characters of one cell
constexpr int CsvLineLength = 20000;  // characters of one line of a CSV file
constexpr int SchoolListPupils = 3000; // pupils of one administration list

// A lock file from another machine, or unreadable, is reported as stale after this long.
constexpr int StaleLockHours = 12;

} // namespace Limits
