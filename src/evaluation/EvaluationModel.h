#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The fixed evaluation model: levels, evaluated trimesters, the three exercises
// of every trimester, their items with maxima, category bounds, domain slots and
// the names of every result field. Built into the program, read-only.
//
// Every function takes natural 1-based codes: level code 1 GS, 2 CP, 3 CE1;
// trimester 1..3; exercise 1..3; item 1..7; domain slot 1..4; bound index k 0..3.
// An index outside these ranges never fails: it gives 0, an empty text or an
// empty list.

// The stored code of an absent score, total or category.
constexpr int AbsenceCode = 99;
// What a box or a label shows for an absent value.
inline const QString NoResult = QStringLiteral("_");

// Levels and trimesters -------------------------------------------------------

int LevelCode(const QString &niveau); // "GS" 1, "CP" 2, "CE1" 3, anything else 0
QString LevelName(int level);         // "GS", "CP", "CE1"
int FirstTrimester(int level);        // 2 for GS (no first-trimester evaluation), 1 otherwise
QList<int> EvaluatedTrimesters(int level);

// Exercise tables -------------------------------------------------------------

// Number of items of the exercise, 0 to 7 (0 for every GS trimester-1 exercise).
int ItemCount(int level, int trimester, int exercise);
// Maximum score of the item; 0 beyond the exercise's items.
int ItemMax(int level, int trimester, int exercise, int item);
// k = 0: B0, the highest possible exercise total; k = 1..3: the upper bounds of
// categories 2 to 4.
int CategoryBounds(int level, int trimester, int exercise, int k);
// The two items that count for half their score (rounded up) in their total:
// CP trimester 3 E1 item 2 and CE1 trimester 1 E1 item 2.
bool IsHalfWeightBox(int boxNumber);
// Exercises of 2 to 6 items store a total field and show a total label.
bool HasTotalField(int level, int trimester, int exercise);

// Domains ---------------------------------------------------------------------

// The category fields making up a domain, in chronological order; "" for an
// empty rank (rank 1..3).
QString CategoryField(int level, int slot, int rank);
QString DomainSuffix(int slot);           // "L", "PG", "RM", "CT"
QString DomainTitle(int level, int slot); // slot 1 is "Langage", but "ARI" for CE1
// The four profile panels of the main window, in display order: CE1 shows
// "ARI" (slot 1) last.
QStringList PanelDomainCaptions(int level);
QList<int> PanelSlotOrder(int level);

// Field names -----------------------------------------------------------------

QString ItemField(int trimester, int exercise, int item);                // "T2_E1P1"
QString ExerciseField(int trimester, int exercise, const QString &kind); // kind "TOT", "CAT" or "PRO"
QString ProfileFieldOfCategoryField(const QString &catField);            // "T2_E1CAT" -> "T2_E1PRO"

// Every result field written for a pupil of the level (30 for GS, 44 for CP,
// 49 for CE1): per trimester and exercise the items, the total where there is
// one, the category and the profile letter.
QStringList PupilResultFields(int level);
// The result columns of table ELEVE, the union over the levels and the import:
// for every trimester and exercise P1..P5 (P1..P7 in trimester 3), TOT, CAT, PRO.
QStringList PupilResultColumns();

// Control numbering -----------------------------------------------------------

// Box number of an item box: 1000 * level + 100 * trimester + 10 * exercise + item.
int BoxNumber(int level, int trimester, int exercise, int item);
// Exercise number of the tot, cat and prof labels: 100 * level + 10 * trimester + exercise.
int ExerciseNumber(int level, int trimester, int exercise);

struct BoxCoordinates
{
    int level = 0;
    int trimester = 0;
    int exercise = 0;
    int item = 0;
};

// The four decimal digits of a box number; all zero when a digit is out of range.
BoxCoordinates DecodeBoxNumber(int box);

// Texts of the entry windows --------------------------------------------------

// The caption beside an item box; CE1 trimester-3 boxes have none.
QString ItemCaption(int level, int trimester, int exercise, int item);
// The tool tip of an item box: "NAR question 1"... for CE1 trimester 3, "" elsewhere.
QString ItemToolTip(int level, int trimester, int exercise, int item);
// The heading drawn over an exercise, "\n" marking the line break ("Phono-\ngraphique").
QString ExerciseHeading(int level, int trimester, int exercise);
// The exercise as a screen reader says it: "Exercice 2 : Phono-graphique",
// "Exercice 1 : Compr.texte Nar.".
QString ExerciseSpokenName(int level, int trimester, int exercise);
// An item box as a screen reader says it: its caption, or "Q<item>" for the
// seven-question exercises, then the exercise: "Lexique — Exercice 1 : Langage",
// "Q3 — Exercice 2 : Compr.texte Doc.".
QString ItemSpokenName(int level, int trimester, int exercise, int item);
// The domain slot of an exercise, 1..4; 0 for CE1 trimester 3 E2, which enters
// slot 4 only together with trimester 3 E1.
int ExerciseSlot(int level, int trimester, int exercise);
QString TrimesterTabCaption(int trimester); // "1er Trimestre", "2ème Trimestre", "3ème Trimestre"
QString EntryWindowCaption(int level);      // "Saisie résultats GS"...
QString EntryWindowName(int level);         // "entryWindowGS", "entryWindowCP", "entryWindowCE1"
