#include "SchoolYears.h"

namespace {
QString span(int first)
{
    return QStringLiteral("%1-%2").arg(first).arg(first + 1);
}
} // namespace

SchoolYears SchoolYears::fromDate(const QDate &today)
{
    const int y = today.year();
    const int s = today.month() > 8 ? 1 : 0;
    SchoolYears years;
    years.ClosingYear = span(y - 1);
    years.NextYear = span(y);
    years.CurrentSchoolYear = span(y + s - 1);
    years.PreviousSchoolYear = span(y + s - 2);
    return years;
}
