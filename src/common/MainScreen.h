#pragma once

#include "Session.h"

#include <QString>

class QWidget;

// What the commands need from the main window, and no more: a parent for
// their windows, the program's title for printed footers, and the refreshing
// of what it shows once they have changed data.
class MainScreen
{
public:
    virtual ~MainScreen() = default;

    virtual QWidget *window() = 0;
    // "Rozodivo Velorin - v1.0.0"
    virtual QString programTitle() const = 0;
    // Rebuilds the three lists from the database and selects `keys` in them,
    // which sets the session; a key that is gone (or 0) selects the first
    // entry of its list instead.
    virtual void showSelection(const SelectionKeys &keys) = 0;
    // The list toolbars' enabled states after a command.
    virtual void updateToolbars() = 0;
    // The start-up sequence again (compaction, reopening, first school
    // selected), as after a backup or a restore. False when the database
    // could not be opened.
    virtual bool restart() = 0;
};
