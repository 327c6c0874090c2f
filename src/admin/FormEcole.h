#pragma once

#include "RecordForm.h"

// The school dialog: name, commune, the sector's secondary school and its
// commune, priority area, school library, training course.
class FormEcole : public RecordForm
{
    Q_OBJECT
public:
    FormEcole(AppContext &context, Form1 &form1, QWidget *parent = nullptr);
};
