#pragma once

#include <QString>

class MainScreen;
struct AppContext;

// The "Fichier" menu's spreadsheet commands: the selected class's results to
// XLSX or CSV, the selected school's to one workbook, results read back from
// a workbook or CSV file (after a preview), and the school administration's
// CSV list of pupils mapped onto the school's classes.
void ExportClassResults(AppContext &context, MainScreen &screen, bool csv);
void ExportSchoolResults(AppContext &context, MainScreen &screen);
void ImportResults(AppContext &context, MainScreen &screen);
void ImportSchoolList(AppContext &context, MainScreen &screen);

// A file name made of a label: without the characters file systems refuse.
QString FileNameOf(const QString &label, const QString &extension);
