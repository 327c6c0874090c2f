#pragma once

#include "RecordDialog.h"

// The school dialog: name, commune, the sector's secondary school and its
// commune, priority area, school library, training course.
class SchoolDialog : public RecordDialog
{
    Q_OBJECT
public:
    SchoolDialog(AppContext &context, MainScreen &screen, bool creating, QWidget *parent = nullptr);
};
