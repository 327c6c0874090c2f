#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class Connection;

// A plain text list of pupils' names, one name per line, added to a class.
namespace PupilTextList {

// The file's text: UTF-8 (with or without its byte-order mark) when the bytes
// are valid UTF-8, otherwise Windows-1252, the 8-bit set of Windows machines.
QString Decode(const QByteArray &bytes);

// The names of a list: every line, the last one too, ended by CR LF, CR or LF;
// tabs become blanks; lines that are empty or hold only blanks are skipped;
// other blanks are kept. `lines` gets each name's line number, from 1.
QStringList Names(const QString &text, QList<int> *lines = nullptr);

// Adds every name of the file at `path` to class `klass` of `school` with
// occupation code 0, in one transaction; a name the class already has (or
// that came earlier in the list) is skipped and counted in `skipped`. Only a
// regular file is read, and a list beyond the limits of common/Limits.h (its
// bytes, its names, a name's length, the pupils of the class) is refused. On
// failure nothing is added and `error` holds a French message for the user.
bool Import(Connection &connection, const QString &path, qint16 school, qint16 klass, int *added, QString *error,
            int *skipped = nullptr);

} // namespace PupilTextList
