#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Enabled state of every button of the three list toolbars, separators included:
// schools 3 buttons, classes 3, pupils 8 (index 0 is button 1).
struct ToolbarStates
{
    QList<bool> schools;
    QList<bool> classes;
    QList<bool> pupils;
};

// The toolbar states that follow the row counts of the schools, of the
// current school's classes and of the current class's pupils.
ToolbarStates UpdateToolbarStates(int schoolCount, int classCount, int pupilCount);
