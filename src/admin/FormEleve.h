#pragma once

#include "RecordForm.h"

// The pupil dialog: name and parents' occupation, with "Suivant" to save and
// go on with the next pupil of the class (or a further new pupil).
class FormEleve : public RecordForm
{
    Q_OBJECT
public:
    FormEleve(AppContext &context, Form1 &form1, QWidget *parent = nullptr);
};
