#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Enabled state of every button of the three list toolbars, separators included:
// schools 3 buttons, classes 4 (the fourth: the class grid), pupils 8 (index 0 is button 1).
struct ToolbarStates
{
    QList<bool> schools;
    QList<bool> classes;
    QList<bool> pupils;
};

// The toolbar states that follow the row counts of the schools, of the
// current school's classes and of the current class's pupils; the class
// grid needs a selected class of an evaluated level.
ToolbarStates UpdateToolbarStates(int schoolCount, int classCount, int pupilCount, bool evaluatedClass = false);
