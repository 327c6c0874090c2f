#pragma once

#include "PupilSheet.h"

#include <QString>

class QWidget;
class ReportPrinter;
struct AppContext;

// The results sheets of the session's class: every pupil's, or the one whose
// key is `pupilKey`, with this run's school year, title, time and locale.
SheetInput SessionSheets(AppContext &context, const QString &programTitle, qint64 pupilKey = 0);

// "Imprime" of the main window and "Imprimer" of the entry windows: brings the
// class's profiles up to date (as "Synthèse" does), then prints the pupil's
// results sheet through the print dialog on `printer`, which keeps the
// user's choices for the next print. False when nothing was printed: no such
// pupil of the session's class, the profiles could not be stored (said
// "ATTENTION"), the dialog was cancelled or the printer refused ("Abandon").
bool PrintPupilSheet(AppContext &context, const QString &programTitle, qint64 pupilKey, ReportPrinter &printer,
                     QWidget *parent);
