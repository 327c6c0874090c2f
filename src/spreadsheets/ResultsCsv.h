#pragma once

#include "ResultColumns.h"

#include <QList>
#include <QString>
#include <QStringList>

// A class's results as CSV for French spreadsheets: one header line of
// readable names (« Nom », « T1 Langage Q1 »…, « Clé élève »), a line per
// pupil, absences as empty fields.
namespace ResultsCsv {

QList<QStringList> Rows(const ClassResults &results);
// Written beside `path` and renamed over it.
bool Write(const QString &path, const ClassResults &results, QString *error);

} // namespace ResultsCsv
