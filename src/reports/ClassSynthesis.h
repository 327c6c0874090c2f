#pragma once

#include "PageSetup.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class Connection;
class PageComposer;

// The class synthesis: for one class, a landscape document with one line per
// pupil giving the category of each evaluation of the year and the pupil's
// domain profiles, then the same columns for the class as a whole.

// The columns of both tables for a level (1 GS, 2 CP, 3 CE1).
struct SynthesisColumns
{
    int count = 0;           // name column + evaluation columns + 4 profile columns
    QList<int> percent;      // width before the 95 % scaling
    QStringList fields;      // field printed in each column ("NOM" first)
    QStringList groupTitles; // header line 1 (group titles at their first column)
    QStringList labels;      // header line 2 (trimester or profile labels)
    QList<QColor> colours;   // header line 2 backgrounds
    QList<int> groupSizes;   // evaluation columns of the four groups
};
SynthesisColumns BuildSynthesisColumns(int level);

// One cell of a composed table, as it is handed to the page composer.
struct SynthesisCell
{
    QString text;
    QColor background;   // invalid: none
    double fontSize = 0; // 0: the table's (8 points)
    bool bold = true;    // false: normal weight (the table's is bold)
    int span = 1;
};

// A table of the synthesis: column widths in twips and its rows of cells.
struct SynthesisTable
{
    QList<int> widths;
    QList<QList<SynthesisCell>> rows;
};

// What the synthesis is made of, read from the selected class.
struct SynthesisInput
{
    QString className;    // the label shown in the class list
    QString schoolYear;   // "2026-2027"
    QString programTitle; // the main window's caption
    QDateTime printedAt;
    int level = 0;
    QList<QVariantMap> pupils; // the class's pupils, in list order
    QVariantMap classRecord;   // the class's row (LIBELLE, NIVEAU, averages, profiles)
    QLocale locale;            // decimal separator of the class line
};

// The class's row and its pupils in list order; an empty input (level 0)
// when the class is not found.
SynthesisInput ReadSynthesisInput(Connection &connection, int schoolNo, int classNo);

// A class average as the class line prints it: at most one decimal, no
// leading zero, no separator after a whole number ("2,5", "3", ",5").
QString FormatClassAverage(double value, const QLocale &locale);

// The category a synthesis column shows for a pupil's row or the class's
// (`classLine`): the stored value, but for CE1's reading column the rounded
// mean of the two reading categories. Invalid when there is none (empty, 99,
// or 0 on the class's line, where it means no pupil has one).
QVariant SynthesisCategory(const QVariantMap &row, const QString &field, int level, bool classLine);

// The pupil table (two header rows + one per pupil) and the class table (three rows).
SynthesisTable PupilTable(const SynthesisInput &input, const SynthesisColumns &columns, int pageWidth);
SynthesisTable ClassTable(const SynthesisInput &input, const SynthesisColumns &columns, int pageWidth);

// The viewer's fonts and page: body Arial 11.25 points, header and footer
// Arial 18 points bold, on the set-up's paper (A4 landscape, margins of one
// inch, unless the user chose otherwise).
void PrepareSynthesisDocument(PageComposer &document, const PageSetup &setup = PageSetup::Synthesis());

// Composes the whole synthesis into `document` and ends it. Its tables keep
// their widths relative to the paper, narrowed when the margins leave them
// less room.
void visu_rapport2(PageComposer &document, const SynthesisInput &input);

// The name of the class's PDF file: the label without its outer blanks and
// with characters no file name may hold replaced by "_", then ".pdf".
QString SynthesisFileName(const QString &classLabel);

// Writes the ended document as a PDF file, replacing `path` only once the
// whole file is written. False, with a reason, when it cannot be written.
// `title` names the document in the file's properties.
bool WriteSynthesisPdf(const PageComposer &document, const QString &path, QString *error = nullptr,
                       const QString &title = QString());
