#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// CSV as French spreadsheets write it: ";" between fields, fields holding a
// separator, a quote or a line break between double quotes (a quote doubled),
// records ended by CR LF (LF or CR alone read too).
namespace CsvText {

// UTF-8 with a byte-order mark, so that spreadsheets take it for UTF-8.
QByteArray Encode(const QList<QStringList> &rows);

// The records of `text`, each with the line it starts on (from 1). Refused,
// with a French `error` naming `shown` and the line, when a quoted field is
// not closed, a record is longer than Limits::CsvLineLength characters, has
// more than Limits::SpreadsheetColumns fields or a field of more than
// Limits::CellLength characters, or when there are more than `maxRecords`
// records. Blank lines are skipped.
bool Parse(const QString &text, const QString &shown, int maxRecords, QList<QStringList> *rows, QList<int> *lines,
           QString *error);

// The text of a regular file of at most `maxBytes`, UTF-8 or Windows-1252.
bool ReadFile(const QString &path, qint64 maxBytes, QString *text, QString *error);

} // namespace CsvText
