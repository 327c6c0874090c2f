#include "XlsxExport.h"

#include "data/DataFiles.h"
#include "evaluation/EvaluationModel.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

namespace XlsxExport {

namespace {

// The texts of one workbook, kept alive until it is closed.
class Texts
{
public:
    const char *operator()(const QString &text)
    {
        m_bytes.append(text.toUtf8());
        return m_bytes.constLast().constData();
    }

private:
    QList<QByteArray> m_bytes;
};

struct Formats
{
    lxw_format *bold = nullptr;
    lxw_format *heading = nullptr; // centred, bold, bordered, grey
    lxw_format *cell = nullptr;    // centred, bordered
    lxw_format *name = nullptr;    // bordered
};

// Writes `text` over columns first..last of `row`, merged when more than one.
void spanned(lxw_worksheet *ws, Texts &t, int row, int first, int last, const QString &text, lxw_format *format)
{
    if (last > first)
        worksheet_merge_range(ws, lxw_row_t(row), lxw_col_t(first), lxw_row_t(row), lxw_col_t(last), t(text), format);
    else
        worksheet_write_string(ws, lxw_row_t(row), lxw_col_t(first), t(text), format);
}

void writeClass(lxw_workbook *wb, lxw_worksheet *ws, lxw_worksheet *keys, Texts &t, const Formats &f,
                const ClassResults &c, const QString &sheetName, const QString &schoolYear, const QDate &date)
{
    const QList<ResultColumn> columns = ResultColumns(c.level);
    const QList<std::pair<QString, QString>> header = {
        {QStringLiteral("Ecole"), c.school},
        {QStringLiteral("Classe"), c.label},
        {QStringLiteral("Enseignant"), c.teacher},
        {QStringLiteral("Niveau"), LevelName(c.level)},
        {QStringLiteral("Année scolaire"), schoolYear},
        {QStringLiteral("Date"), date.toString(QStringLiteral("dd/MM/yyyy"))},
    };
    for (int r = 0; r < header.size(); ++r) {
        worksheet_write_string(ws, lxw_row_t(r), 0, t(header.at(r).first), f.bold);
        worksheet_write_string(ws, lxw_row_t(r), 1, t(header.at(r).second), nullptr);
    }
    // Headings: the trimester, then the exercise (or "Profils"), then the column.
    worksheet_merge_range(ws, TrimesterRow, 0, HeadingRow - 1, 0, "", f.heading);
    worksheet_write_string(ws, HeadingRow, 0, "Nom", f.heading);
    int c0 = 0;
    while (c0 < columns.size()) {
        int end = c0;
        while (end + 1 < columns.size() && columns.at(end + 1).trimester == columns.at(c0).trimester)
            ++end;
        const ResultColumn &first = columns.at(c0);
        spanned(ws, t, TrimesterRow, c0 + 1, end + 1,
                first.trimester ? TrimesterHeading(first.trimester) : QStringLiteral("Profils"), f.heading);
        c0 = end + 1;
    }
    c0 = 0;
    while (c0 < columns.size()) {
        int end = c0;
        while (end + 1 < columns.size() && columns.at(end + 1).trimester == columns.at(c0).trimester &&
               columns.at(end + 1).exercise == columns.at(c0).exercise)
            ++end;
        spanned(ws, t, GroupRow, c0 + 1, end + 1, columns.at(c0).trimester ? columns.at(c0).group : QString(),
                f.heading);
        c0 = end + 1;
    }
    QList<int> widths(columns.size() + 1, 4);
    widths[0] = 12;
    for (int k = 0; k < columns.size(); ++k) {
        worksheet_write_string(ws, HeadingRow, lxw_col_t(k + 1), t(columns.at(k).heading), f.heading);
        widths[k + 1] = std::max<int>(widths.at(k + 1), int(columns.at(k).heading.size()) + 2);
    }
    // The hidden sheet: what it belongs to, the fields of the columns, the keys of the rows.
    worksheet_write_string(keys, 0, 0, t(KeysMark), nullptr);
    worksheet_write_number(keys, 0, 1, c.schoolNo, nullptr);
    worksheet_write_number(keys, 0, 2, c.classNo, nullptr);
    worksheet_write_string(keys, 0, 3, t(sheetName), nullptr);
    worksheet_write_string(keys, 1, 0, "NOELEVE", nullptr);
    for (int k = 0; k < columns.size(); ++k)
        worksheet_write_string(keys, 1, lxw_col_t(k + 1), t(columns.at(k).field), nullptr);

    for (int p = 0; p < c.pupils.size(); ++p) {
        const PupilResults &pupil = c.pupils.at(p);
        const auto row = lxw_row_t(FirstPupilRow + p);
        worksheet_write_string(ws, row, 0, t(pupil.name), f.name);
        widths[0] = std::max<int>(widths.at(0), int(pupil.name.size()) + 2);
        for (int k = 0; k < columns.size(); ++k) {
            const QVariant v = CellValue(columns.at(k), pupil.fields);
            const auto col = lxw_col_t(k + 1);
            if (!v.isValid())
                worksheet_write_blank(ws, row, col, f.cell);
            else if (v.typeId() == QMetaType::Int)
                worksheet_write_number(ws, row, col, v.toInt(), f.cell);
            else
                worksheet_write_string(ws, row, col, t(v.toString()), f.cell);
        }
        worksheet_write_number(keys, row, 0, double(pupil.key), nullptr);
        worksheet_write_string(keys, row, 1, t(pupil.name), nullptr);
    }
    for (int k = 0; k < widths.size(); ++k)
        worksheet_set_column(ws, lxw_col_t(k), lxw_col_t(k), std::min(widths.at(k), 60), nullptr);
    worksheet_freeze_panes(ws, FirstPupilRow, 1);
    worksheet_set_landscape(ws);
    worksheet_set_paper(ws, 9); // A4
    worksheet_fit_to_pages(ws, 1, 0);
    worksheet_repeat_rows(ws, TrimesterRow, HeadingRow);
    worksheet_repeat_columns(ws, 0, 0);
    worksheet_hide(keys);
    (void)wb;
}

} // namespace

QString SheetName(const QString &label, const QStringList &taken)
{
    QString base;
    for (const QChar ch : label)
        base += QStringLiteral("[]:*?/\\").contains(ch) || ch.unicode() < 0x20 ? QLatin1Char(' ') : ch;
    base = base.simplified();
    // A sheet name may not begin or end with an apostrophe.
    while (base.startsWith(QLatin1Char('\'')))
        base.remove(0, 1);
    while (base.endsWith(QLatin1Char('\'')))
        base.chop(1);
    if (base.isEmpty())
        base = QStringLiteral("Classe");
    base = base.left(31);
    QString name = base;
    for (int n = 2; taken.contains(name, Qt::CaseInsensitive); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        name = base.left(31 - suffix.size()) + suffix;
    }
    return name;
}

bool Write(const QString &path, const QList<ClassResults> &classes, const QString &schoolYear, const QDate &date,
           QString *error)
{
    const QString shown = QFileInfo(path).fileName();
    QTemporaryFile temporary(QFileInfo(path).absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(shown)));
    if (!temporary.open()) {
        *error = QStringLiteral("Le fichier « %1 » ne peut pas être écrit dans ce dossier.").arg(shown);
        return false;
    }
    temporary.close();
    // A temporary file is private; the workbook is an ordinary file.
    temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                             QFileDevice::ReadOther);
    const QByteArray target = QFile::encodeName(temporary.fileName());
    lxw_workbook *wb = workbook_new(target.constData());
    if (!wb) {
        *error = QStringLiteral("Le fichier « %1 » ne peut pas être créé.").arg(shown);
        return false;
    }
    Texts t;
    Formats f;
    f.bold = workbook_add_format(wb);
    format_set_bold(f.bold);
    f.heading = workbook_add_format(wb);
    format_set_bold(f.heading);
    format_set_align(f.heading, LXW_ALIGN_CENTER);
    format_set_align(f.heading, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(f.heading, LXW_BORDER_THIN);
    format_set_bg_color(f.heading, 0xE4E8EE);
    f.cell = workbook_add_format(wb);
    format_set_align(f.cell, LXW_ALIGN_CENTER);
    format_set_border(f.cell, LXW_BORDER_THIN);
    f.name = workbook_add_format(wb);
    format_set_border(f.name, LXW_BORDER_THIN);

    QStringList names;
    QList<std::pair<lxw_worksheet *, QString>> sheets;
    for (const ClassResults &c : classes) {
        const QString name = SheetName(c.label, names);
        names.append(name);
        sheets.append({workbook_add_worksheet(wb, t(name)), name});
    }
    // The hidden sheets after every class sheet: a class sheet is first and active.
    for (int k = 0; k < classes.size(); ++k) {
        const QString keysName = SheetName(QStringLiteral("Clés %1").arg(k + 1), names);
        names.append(keysName);
        lxw_worksheet *keys = workbook_add_worksheet(wb, t(keysName));
        writeClass(wb, sheets.at(k).first, keys, t, f, classes.at(k), sheets.at(k).second, schoolYear, date);
    }
    if (classes.isEmpty())
        workbook_add_worksheet(wb, nullptr);
    const lxw_error closed = workbook_close(wb);
    if (closed != LXW_NO_ERROR) {
        *error = QStringLiteral("Le fichier « %1 » n'a pas pu être écrit (%2).")
                     .arg(shown, QString::fromUtf8(lxw_strerror(closed)));
        return false;
    }
    QString why;
    if (!DataFiles::RenameReplacing(temporary.fileName(), path, &why)) {
        *error = QStringLiteral("Le fichier « %1 » n'a pas pu être remplacé : %2").arg(shown, why);
        return false;
    }
    return true;
}

} // namespace XlsxExport
