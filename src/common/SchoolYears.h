#pragma once

#include <QDate>
#include <QString>

// The four school-year texts, each two four-digit years joined by a hyphen.
// A school year starts in September: until the end of August the current
// school year is the one that began the previous calendar year.
struct SchoolYears
{
    QString CurrentSchoolYear;
    QString PreviousSchoolYear;
    QString ClosingYear; // the year a year change archives
    QString NextYear;    // the year that follows it

    static SchoolYears fromDate(const QDate &today);
};
