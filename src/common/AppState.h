#pragma once

#include "SchoolYears.h"

#include <QString>

// What every window shares while the program runs: the data folder and the
// school-year texts. The selection lives in the Session.
struct AppState
{
    QString DataFolder; // with its trailing separator
    SchoolYears years;
};
