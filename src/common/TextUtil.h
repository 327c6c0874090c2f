#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

// A text without its leading and trailing blanks; any value that is not text
// (a number, a date, Null) gives the empty text.
QString TrimOrEmpty(const QVariant &value);

// The texts of the parents' occupation codes 1 to 7 (index 0 is unused and empty).
const QStringList &CspLabels();

// A file's text: UTF-8 (with or without its byte-order mark) when the bytes
// are valid UTF-8, otherwise Windows-1252, the 8-bit set of Windows machines
// (ISO-8859-1 with printable characters in 0x80..0x9F).
QString DecodeUtf8OrWindows1252(const QByteArray &bytes);
