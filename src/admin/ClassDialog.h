#pragma once

#include "RecordDialog.h"

// The class dialog: teacher, level, time in the school library, the
// teacher's experience and training. The class's label is composed from the
// teacher's name and the level.
class ClassDialog : public RecordDialog
{
    Q_OBJECT
public:
    ClassDialog(AppContext &context, MainScreen &screen, bool creating, QWidget *parent = nullptr);
};
