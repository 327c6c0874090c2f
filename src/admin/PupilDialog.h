#pragma once

#include "RecordDialog.h"

// The pupil dialog: name and parents' occupation, with "Suivant" to save and
// go on with the next pupil of the class (or a further new pupil).
class PupilDialog : public RecordDialog
{
    Q_OBJECT
public:
    PupilDialog(AppContext &context, MainScreen &screen, bool creating, QWidget *parent = nullptr);
};
