#pragma once

#include <QList>
#include <QStringList>

class Form1;
class QListWidget;

// Refills a list of the main window (with the level codes as item data for
// the class list) and selects entry `select`, which runs the list's
// selection handling; -1 selects nothing.
void RefillList(QListWidget *list, const QStringList &texts, const QList<int> &levelCodes, int select);

// Shows "_" in the value labels of the pupil panel, and of the class panel too
// when `classPanel` is set.
void ClearProfileValues(Form1 &form1, bool classPanel);
