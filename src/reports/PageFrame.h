#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <utility>

class PageComposer;

// The frame of a directly printed document (record sheets, pupil lists).

// "Le dd-mm-yyyy   à hh:mm:ss|-%d-|" + the program's title: the date and time
// of printing on the left, the page number in the centre, the title on the
// right. Taken once per document, so every page shows the same time.
QString StandardFooter(const QDateTime &now, const QString &programTitle);

// Starts a portrait document titled `title` in its header, with `footer`,
// in 14-point type.
void StartPageFrame(PageComposer &document, const QString &title, const QString &footer);

// The body of a record sheet: three empty lines, then for each field its
// caption and " : " in the normal weight and its value in bold, each
// followed by an empty line.
void ComposeRecordSheet(PageComposer &document, const QList<std::pair<QString, QString>> &fields);
