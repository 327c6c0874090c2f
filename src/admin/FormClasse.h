#pragma once

#include "RecordForm.h"

// The class dialog: teacher, level, time in the school library, the
// teacher's experience and training. The class's label is composed from the
// teacher's name and the level.
class FormClasse : public RecordForm
{
    Q_OBJECT
public:
    FormClasse(AppContext &context, Form1 &form1, QWidget *parent = nullptr);
};
