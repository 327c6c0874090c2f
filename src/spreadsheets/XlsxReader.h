#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Reads the cell values of an XLSX workbook: the zip archive through libzip
// (common/ZipSupport), the XML parts through QXmlStreamReader. What is read:
// the sheets in workbook order with their names and hidden state, the cells'
// values as text — shared strings, inline strings, formula results kept as
// text or number, numbers (whole numbers written without decimals),
// booleans as "VRAI"/"FAUX", errors as their code ("#N/A"). Formulas are not
// evaluated, styles, dates and merged ranges are not interpreted (a merged
// range's value is in its first cell), and the file, each part, the sheets,
// rows, columns and cell lengths are bounded by common/Limits.h.
namespace XlsxReader {

struct Sheet
{
    QString name;
    bool hidden = false;
    QList<QStringList> rows; // rows[r][c], 0-based; missing cells are empty

    QString cell(int row, int column) const { return rows.value(row).value(column); }
};

bool Read(const QString &path, QList<Sheet> *sheets, QString *error);

// "A" for column 0, "AA" for 26.
QString ColumnName(int column);

} // namespace XlsxReader
