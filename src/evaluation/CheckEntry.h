#pragma once

#include "Scoring.h"

#include <QString>

class Dialogs;

// An entry window's state between checks: set while it fills its boxes from
// the stored values; set while a refusal or an incomplete series is pending.
struct EntryFlags
{
    bool loadingResults = false;
    bool entryPending = false;
};

// What the validation of a typed score needs from an entry window. Boxes are
// addressed by box number (1000 * level + 100 * trimester + 10 * exercise + item).
class EntryForm
{
public:
    virtual ~EntryForm() = default;

    virtual QString boxText(int box) const = 0;
    // A change made by code: the window processes it as a keystroke, that is,
    // it runs CheckEntry for the box before returning (re-entrantly when called
    // from CheckEntry itself). Setting the text the box already holds is no change.
    virtual void setBoxText(int box, const QString &text) = 0;
    virtual bool boxEnabled(int box) const = 0;
    // Gives the focus back to the window, then to the box.
    virtual void focusBox(int box) = 0;
    // The first panel of the window's status bar.
    virtual void setStatusText(const QString &text) = 0;
    virtual void setExerciseLabels(int level, int trimester, int exercise, const ExerciseResult &result) = 0;
    virtual Dialogs &dialogs() = 0;
};

// Examines box `box` after a change, a focus loss or a validation event.
// While flags.loadingResults is set it only evaluates the exercise. Otherwise
// it keeps one character when the item's maximum is below 10, refuses an
// empty box (keeping the focus), a non-numeric text and a value above the
// maximum (resetting the box to "_" with a message), holds an incomplete
// series back with a status message, and evaluates a complete (or entirely
// "_") exercise. flags.entryPending tells whether something is pending.
void CheckEntry(EntryForm &form, EntryFlags &flags, int box);

// The status text shown when the focus arrives on a box:
// "Valeur du champ entre 0 et <max>".
QString RangeHint(int box);

// The texts of the exercise's item boxes, items 1..n.
QStringList ExerciseTexts(const EntryForm &form, int level, int trimester, int exercise);

// The box to give the focus to when a trimester is validated with a partly
// filled series: the first "_" box of the first exercise whose scored items
// are neither none nor all. 0 when every series of the trimester is complete.
int FirstBoxOfIncompleteSeries(const EntryForm &form, int level, int trimester);

extern const QString IncompleteSeriesMessage; // "Vous devez remplir la série complète !"
