#pragma once

#include "ResultColumns.h"

#include <QDate>
#include <QList>
#include <QString>

// Writes classes' results as an XLSX workbook (libxlsxwriter): one sheet per
// class named after its label, a header block (school, class, teacher, level,
// school year, date), the trimester and exercise headings merged over their
// columns, a row per pupil with numbers as numbers and absences as empty
// cells, the names and headings frozen, landscape printing one page wide;
// then, hidden, a sheet per class with its pupils' keys, read back by the
// import. The file is written beside its target and renamed over it.
namespace XlsxExport {

// Rows of a class sheet, from 0: the header block, then the headings.
constexpr int TrimesterRow = 7;
constexpr int GroupRow = 8;
constexpr int HeadingRow = 9;
constexpr int FirstPupilRow = 10;
// The hidden sheet's first cell.
inline const QString KeysMark = QStringLiteral("VELORIN-CLES");

// The sheet name of a class label: at most 31 characters, without []:*?/\,
// different from every name of `taken` (compared ignoring case).
QString SheetName(const QString &label, const QStringList &taken);

bool Write(const QString &path, const QList<ClassResults> &classes, const QString &schoolYear, const QDate &date,
           QString *error);

} // namespace XlsxExport
