#pragma once

#include "SchoolYears.h"

#include <QString>

// The state shared by the windows while the program runs.
struct AppState
{
    QString DataFolder; // with its trailing separator
    qint16 CurrentSchoolNo = 0;
    qint16 CurrentClassNo = 0;
    SchoolYears years;
    bool ActivatedOnce = false;
    // Set while an entry window fills its boxes; set while a refusal or an
    // incomplete series is pending in an entry window.
    bool LoadingResults = false;
    bool EntryPending = false;
    // Set by the record dialogs when they create a record.
    bool NewSchoolFlag = false;
    bool NewClassFlag = false;
    bool NewPupilFlag = false;

    // The folder chooser: what the caller asks (folder or file mode, file
    // pattern, window title) and what the user chose (empty when given up).
    bool ChooserFolderMode = true;
    QString ChooserPattern;
    QString ChooserTitle;
    QString ChosenFolder;
    QString ChosenFile;
};
