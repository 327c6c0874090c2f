#include "ClassSynthesis.h"

#include "CategoryDistribution.h"
#include "PageComposer.h"
#include "RichText.h"
#include "common/TextUtil.h"
#include "data/Connection.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSqlQuery>

#include <cmath>

namespace {

const QColor White(0xFF, 0xFF, 0xFF);
const QColor ProfileColour(0xEA, 0xF3, 0xFD);
const QColor PupilGrey(0xE0, 0xE0, 0xE0);
const QColor ClassGrey(0xF7, 0xF7, 0xF7);
constexpr int MaxClassColumn = 10; // the class line's "_" for 0 stops here, whatever the level

QColor TrimesterColour(QChar digit)
{
    if (digit == QLatin1Char('1'))
        return QColor(0xCE, 0xEE, 0xFD);
    if (digit == QLatin1Char('2'))
        return QColor(0xFF, 0xFF, 0xC0);
    return QColor(0xFF, 0xC0, 0xFF);
}

bool IsAbsent(const QVariant &value)
{
    if (value.isNull())
        return true;
    const QString text = value.toString().trimmed();
    return text.isEmpty() || text == QLatin1String("99");
}

// A stored value as text: whole numbers without decimals.
QString StoredText(const QVariant &value)
{
    bool number = false;
    const double d = value.toDouble(&number);
    if (number && value.typeId() != QMetaType::QString && d == std::floor(d))
        return QString::number(qint64(d));
    return value.toString();
}

// CE1 shows under T3_E1CAT the rounded mean of the trimester-3 reading
// categories; without the second one, the first alone (as the profile does).
QVariant Ce1ReadingMean(const QVariant &first, const QVariant &second, bool classLine)
{
    const bool secondMissing = IsAbsent(second) || (classLine && second.toDouble() == 0);
    if (secondMissing)
        return first;
    return RoundHalfDown((first.toDouble() + second.toDouble()) / 2);
}

void ApplyColumns(SynthesisTable &table, const SynthesisColumns &columns, int pageWidth)
{
    for (int i = 0; i < columns.count; ++i)
        table.widths.append(int(double(columns.percent.at(i) * 95 / 100) * pageWidth / 100));
}

void AddHeaderRows(SynthesisTable &table, const SynthesisColumns &columns)
{
    const int n = columns.count;
    QList<SynthesisCell> line1(n), line2(n);
    for (int i = 0; i < n; ++i) {
        line1[i].text = columns.groupTitles.at(i);
        line2[i].text = columns.labels.at(i);
        line2[i].background = columns.colours.at(i);
        if (i >= n - 4) {
            line1[i].background = ProfileColour;
            line2[i].background = ProfileColour;
        }
    }
    int at = 1;
    for (int g = 0; g < 4; ++g) {
        line1[at].span = columns.groupSizes.at(g);
        at += columns.groupSizes.at(g);
    }
    line1[n - 4].span = 4;
    table.rows.append(line1);
    table.rows.append(line2);
}

SynthesisCell DataCell(int column, int row, int count, const QColor &grey)
{
    SynthesisCell cell;
    cell.fontSize = column == 0 ? 10 : 8;
    cell.bold = false;
    if (column >= count - 4)
        cell.background = ProfileColour;
    if (row % 2 == 0)
        cell.background = grey;
    return cell;
}

} // namespace

SynthesisColumns BuildSynthesisColumns(int level)
{
    SynthesisColumns c;
    c.percent = {20, 6, 6, 6, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};
    c.groupTitles = QStringList(14);
    c.groupTitles[0] = QStringLiteral("NOM");
    c.groupTitles[10] = QStringLiteral("Profil");
    c.labels = {QString(),
                QStringLiteral("1°trim"),
                QStringLiteral("1°trim"),
                QStringLiteral("2°trim"),
                QStringLiteral("3°trim"),
                QStringLiteral("2°trim"),
                QStringLiteral("3°trim"),
                QStringLiteral("1°trim"),
                QStringLiteral("2°trim"),
                QStringLiteral("3°trim"),
                QStringLiteral("L"),
                QStringLiteral("PG"),
                QStringLiteral("RM"),
                QStringLiteral("CT")};
    c.fields = QStringList(14);
    c.fields[0] = QStringLiteral("NOM");
    for (int i = 0; i < 14; ++i)
        c.colours.append(White);
    c.groupSizes = {0, 0, 0, 0};

    // CE1 puts its first domain slot (information seeking) last.
    const bool ce1 = level == 3;
    const QList<int> domainSlots = ce1 ? QList<int>{2, 3, 4, 1} : QList<int>{1, 2, 3, 4};
    QStringList titles = {QStringLiteral("Langage"), QStringLiteral("Compétences PG"),
                          QStringLiteral("Reconn. mots et phr."), QStringLiteral("Compréh. texte")};
    if (ce1)
        titles = {QStringLiteral("Compétences PG"), QStringLiteral("Reconn. mots et phr."),
                  QStringLiteral("Compréh. texte"), QStringLiteral("Apt Rech d'infos")};
    int p = 1;
    for (int g = 0; g < 4; ++g) {
        for (int rank = 1; rank <= 3; ++rank) {
            const QString field = CategoryField(level, domainSlots.at(g), rank);
            if (field.isEmpty())
                continue;
            c.fields[p] = field;
            c.percent[p] = 6;
            c.labels[p] = QStringLiteral("%1°trim").arg(field.at(1));
            c.colours[p] = TrimesterColour(field.at(1));
            ++c.groupSizes[g];
            ++p;
        }
        // A lone column is made wide enough for its group title.
        if (c.groupSizes.at(g) == 1)
            c.percent[p - 1] = 12;
    }
    const QStringList profileLabels = ce1 ? QStringList{"PG", "RM", "CT", "ARI"} : QStringList{"L", "PG", "RM", "CT"};
    const QList<int> profileSlots = ce1 ? QList<int>{2, 3, 4, 1} : QList<int>{1, 2, 3, 4};
    for (int k = 0; k < 4; ++k) {
        c.labels[p + k] = profileLabels.at(k);
        c.fields[p + k] = QStringLiteral("PROFIL_") + DomainSuffix(profileSlots.at(k));
    }
    c.count = p + 4;
    for (QString &t : c.groupTitles)
        if (t != QLatin1String("NOM"))
            t.clear();
    int at = 1;
    for (int g = 0; g < 4; ++g) {
        c.groupTitles[at] = titles.at(g);
        at += c.groupSizes.at(g);
    }
    c.groupTitles[c.count - 4] = QStringLiteral("Profil");
    // Entries beyond the level's columns are never printed.
    c.percent = c.percent.mid(0, c.count);
    c.fields = c.fields.mid(0, c.count);
    c.groupTitles = c.groupTitles.mid(0, c.count);
    c.labels = c.labels.mid(0, c.count);
    c.colours = c.colours.mid(0, c.count);
    return c;
}

QString FormatClassAverage(double value, const QLocale &locale)
{
    // One decimal, halves away from zero, as a "#.#" picture formats.
    const qint64 tenths = qint64(std::floor(value * 10 + 0.5));
    const qint64 whole = tenths / 10;
    const qint64 decimal = tenths % 10;
    // A whole number prints without its separator; nothing at all would be no figure.
    if (decimal == 0)
        return QString::number(whole);
    QString text = whole == 0 ? QString() : QString::number(whole);
    return text + locale.decimalPoint() + QString::number(decimal);
}

QVariant SynthesisCategory(const QVariantMap &row, const QString &field, int level, bool classLine)
{
    const QVariant value = row.value(field);
    if (field.isEmpty() || IsAbsent(value) || (classLine && value.toDouble() == 0))
        return QVariant();
    if (level == 3 && field == QLatin1String("T3_E1CAT"))
        return Ce1ReadingMean(value, row.value(QStringLiteral("T3_E2CAT")), classLine);
    return value;
}

SynthesisTable PupilTable(const SynthesisInput &input, const SynthesisColumns &columns, int pageWidth)
{
    SynthesisTable table;
    ApplyColumns(table, columns, pageWidth);
    AddHeaderRows(table, columns);
    const int n = columns.count;
    for (const QVariantMap &pupil : input.pupils) {
        const int row = int(table.rows.size()) + 1;
        QList<SynthesisCell> line;
        for (int i = 0; i < n; ++i) {
            SynthesisCell cell = DataCell(i, row, n, PupilGrey);
            const QString &field = columns.fields.at(i);
            QVariant value = pupil.value(field);
            if (!field.isEmpty() && input.level == 3 && field == QLatin1String("T3_E1CAT") && !IsAbsent(value))
                value = Ce1ReadingMean(value, pupil.value(QStringLiteral("T3_E2CAT")), false);
            cell.text = field.isEmpty() || IsAbsent(value) ? QStringLiteral("_") : StoredText(value);
            line.append(cell);
        }
        table.rows.append(line);
    }
    return table;
}

SynthesisTable ClassTable(const SynthesisInput &input, const SynthesisColumns &columns, int pageWidth)
{
    SynthesisTable table;
    ApplyColumns(table, columns, pageWidth);
    AddHeaderRows(table, columns);
    const int n = columns.count;
    QList<SynthesisCell> line;
    for (int i = 0; i < n; ++i) {
        SynthesisCell cell = DataCell(i, 3, n, ClassGrey);
        const QString field = i == 0 ? QStringLiteral("LIBELLE") : columns.fields.at(i);
        QVariant value = input.classRecord.value(field);
        const bool reading = input.level == 3 && field == QLatin1String("T3_E1CAT") && !IsAbsent(value);
        if (reading)
            value = Ce1ReadingMean(value, input.classRecord.value(QStringLiteral("T3_E2CAT")), true);
        bool number = false;
        const double d = value.toDouble(&number);
        if (field.isEmpty() || IsAbsent(value))
            cell.text = QStringLiteral("_");
        else if (i >= 1 && i + 1 <= MaxClassColumn && number && d == 0)
            cell.text = QStringLiteral("_");
        else if (i == 0 || !number)
            cell.text = value.toString();
        else if (reading && value.typeId() == QMetaType::Int)
            cell.text = QString::number(value.toInt());
        else
            cell.text = FormatClassAverage(d, input.locale);
        line.append(cell);
    }
    table.rows.append(line);
    return table;
}

namespace {

void WriteTable(PageComposer &document, const SynthesisTable &table, const SynthesisColumns &columns)
{
    const int n = columns.count;
    document.setTableBorder(PageComposer::TableBorder::All);
    document.startTable(int(table.rows.size()), n);
    for (int c = 1; c <= n; ++c) {
        document.setColumnWidth(c, table.widths.at(c - 1));
        document.setColumnAlignment(c, c == 1 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
    }
    document.setCellAlignment(1, 1, Qt::AlignCenter);
    // The two header rows come back on every page the table continues on.
    document.setHeaderRows(2);
    for (int r = 1; r <= table.rows.size(); ++r) {
        const QList<SynthesisCell> &line = table.rows.at(r - 1);
        for (int c = 1; c <= line.size(); ++c) {
            const SynthesisCell &cell = line.at(c - 1);
            document.setCellText(r, c, cell.text);
            if (cell.background.isValid())
                document.setCellBackground(r, c, cell.background);
            if (cell.fontSize > 0)
                document.setCellFontSize(r, c, cell.fontSize);
            if (!cell.bold)
                document.setCellBold(r, c, false);
            if (cell.span > 1)
                document.setCellSpan(r, c, cell.span);
        }
    }
    document.endTable();
}

} // namespace

void PrepareSynthesisDocument(PageComposer &document, const PageSetup &setup)
{
    document.setBodyFont(QStringLiteral("Arial"), 11.25);
    document.setHeaderFooterFont(QStringLiteral("Arial"), 18, true);
    ApplyPageSetup(document, setup);
}

void visu_rapport2(PageComposer &document, const SynthesisInput &input)
{
    document.setHeader(QStringLiteral("{\\qc{ Classe : ") + EscapeRichText(input.className).replace('|', ' ') +
                       QStringLiteral("}\\par}"));
    document.setFooter(QStringLiteral("{\\fs16 Synthèse du : ") +
                       input.printedAt.toString(QStringLiteral("dd-MM-yyyy")) + QStringLiteral("   à ") +
                       input.printedAt.toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("}|{\\fs16 -%d-}|") +
                       EscapeRichText(input.programTitle));
    document.startDoc();
    document.setFontBold(false);
    document.setFontSize(20);
    document.paragraph(EscapeRichText(input.schoolYear) + QString(11, QLatin1Char('\t')) +
                       QStringLiteral("Tarvel Velorin"));
    document.setFontSize(16);
    document.paragraph(QString());
    document.paragraph(QString());
    document.paragraph(QStringLiteral("tableau des performances annuelles"));
    document.setFontSize(8);
    document.paragraph(QString());
    document.setFontBold(true);

    const SynthesisColumns columns = BuildSynthesisColumns(input.level);
    // Columns are shares of the paper's width; narrow margins leave them so,
    // wide ones shrink them to stay inside.
    int width = document.pageWidth();
    int natural = 0;
    for (int w : PupilTable(SynthesisInput(), columns, width).widths)
        natural += w;
    if (natural > document.contentWidth())
        width = int(std::floor(width * document.contentWidth() / natural));
    WriteTable(document, PupilTable(input, columns, width), columns);

    document.setFontSize(16);
    document.paragraph(QString());
    document.paragraph(QString());
    document.paragraph(QStringLiteral("Profil de la classe"));
    document.setFontSize(8);
    document.paragraph(QString());
    document.setFontBold(true);
    WriteTable(document, ClassTable(input, columns, width), columns);

    // The class's categories counted, on a page of their own; nothing to count without pupils.
    if (!input.pupils.isEmpty()) {
        document.pageBreak();
        document.setFontSize(16);
        document.paragraph(QStringLiteral("Répartition des catégories"));
        document.setFontSize(8);
        document.paragraph(QString());
        document.barChart(CategoryDistributionChart(input));
    }
    document.endDoc();
}

SynthesisInput ReadSynthesisInput(Connection &connection, int schoolNo, int classNo)
{
    SynthesisInput input;
    Recordset &classRow = connection.CLASSE;
    if (!classRow.findFirst({{QStringLiteral("NOECOLE"), schoolNo}, {QStringLiteral("NOCLASSE"), classNo}}))
        return input;
    const QStringList classColumns = {QStringLiteral("LIBELLE"), QStringLiteral("NIVEAU")};
    input.level = LevelCode(TrimOrEmpty(classRow.value(QStringLiteral("NIVEAU"))));
    const SynthesisColumns columns = BuildSynthesisColumns(input.level);
    QStringList wanted = columns.fields;
    wanted.append(QStringLiteral("T3_E2CAT"));
    wanted.removeAll(QString());
    wanted.removeDuplicates();
    for (const QString &f : classColumns + wanted)
        if (f != QLatin1String("NOM"))
            input.classRecord.insert(f, classRow.value(f));
    input.className = classRow.value(QStringLiteral("LIBELLE")).toString();
    // The class's pupils in list order; the fields are the model's fixed names.
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ? "
                             "ORDER BY NOM COLLATE FRANCAIS, NOELEVE")
                  .arg(wanted.join(QStringLiteral(", "))));
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    if (q.exec()) {
        while (q.next()) {
            QVariantMap pupil;
            for (int i = 0; i < wanted.size(); ++i)
                pupil.insert(wanted.at(i), q.value(i));
            input.pupils.append(pupil);
        }
    }
    return input;
}

QString SynthesisFileName(const QString &classLabel)
{
    QString name = classLabel.trimmed();
    for (QChar &ch : name)
        if (ch.unicode() < 0x20 || QStringLiteral("<>:\"/\\|?*").contains(ch))
            ch = QLatin1Char('_');
    return name + QStringLiteral(".pdf");
}

bool WriteSynthesisPdf(const PageComposer &document, const QString &path, QString *error, const QString &title)
{
    QSaveFile file(path);
    bool done = file.open(QIODevice::WriteOnly);
    if (done) {
        QPdfWriter writer(&file);
        writer.setResolution(1200);
        writer.setCreator(QStringLiteral("Rozodivo Velorin"));
        writer.setTitle(title);
        writer.setPageLayout(QPageLayout(document.pageSize(),
                                         document.orientation() == PageComposer::Orientation::Portrait
                                             ? QPageLayout::Portrait
                                             : QPageLayout::Landscape,
                                         QMarginsF(0, 0, 0, 0)));
        done = document.render(&writer);
    }
    done = done && file.commit();
    if (!done && error)
        *error = QStringLiteral("Impossible d'écrire le fichier « %1 ».").arg(path);
    return done;
}
