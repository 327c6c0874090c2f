#pragma once

#include "BarChart.h"
#include "PageSetup.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QVariantMap>

class Connection;
class PageComposer;

// The pupil's results sheet, for families and for the end-of-trimester
// meetings: one portrait page per pupil with the school, the class and its
// teacher, the level and the school year; each evaluated exercise with its
// items' scores over their maxima, its total, category and profile letter
// beside the class's average category; the domain profiles of the pupil and
// of the class; a chart of the pupil's categories against the class's, and
// how to read it all.

// What the sheets of a class (or of one of its pupils) are made of.
struct SheetInput
{
    QString schoolName;
    QString className;
    QString teacher;
    QString schoolYear; // "2026-2027"
    QString programTitle;
    QDateTime printedAt;
    QLocale locale;            // decimal separator of the class's averages
    int level = 0;             // 1 GS, 2 CP, 3 CE1; 0 when the class was not found
    QVariantMap classRecord;   // the class's average categories and profiles
    QList<QVariantMap> pupils; // NOM, NOELEVE, every result field and the profiles, in list order
};

// The class's pupils in list order, or the one whose key is `pupilKey`.
SheetInput ReadSheetInput(Connection &connection, int schoolNo, int classNo, qint64 pupilKey = 0);

// The sheet's fonts and page: the standard frame's fonts on the set-up's paper.
void PrepareSheetDocument(PageComposer &document, const PageSetup &setup = PageSetup::Sheet());

// Composes one page per pupil of `input` into `document` and ends it.
void ComposePupilSheets(PageComposer &document, const SheetInput &input);

// The chart of one pupil: for each domain and each of its evaluations, the
// pupil's category beside the class's average, best at the right (category
// 1 is a full bar, category 4 a quarter of it); a gap with "_" where there is none.
BarChart PupilCategoryChart(const SheetInput &input, const QVariantMap &pupil);
// The chart's styles: the pupil's bars, then the class's.
enum SheetChartStyle { PupilBar = 0, ClassBar = 1 };

// "<class label> - fiches.pdf", made safe as the synthesis's file name is.
QString SheetsFileName(const QString &classLabel);
