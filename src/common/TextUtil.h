#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// A text without its leading and trailing blanks; any value that is not text
// (a number, a date, Null) gives the empty text.
QString TrimOrEmpty(const QVariant &value);

// The texts of the parents' occupation codes 1 to 7 (index 0 is unused and empty).
const QStringList &CspLabels();
