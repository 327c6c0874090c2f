#include "PupilSheet.h"

#include "ClassSynthesis.h"
#include "PageComposer.h"
#include "PageFrame.h"
#include "RichText.h"
#include "data/Connection.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QSqlQuery>

namespace {

const QColor HeaderGrey(0xE8, 0xE8, 0xE8);
const QColor ProfileColour(0xEA, 0xF3, 0xFD);
// Dark against light: the two bars stay apart in black and white.
const QColor PupilColour(0x37, 0x47, 0x4F);
const QColor ClassColour(0xC5, 0xCF, 0xD4);

// The results table's columns, in shares of the width between the margins.
constexpr int ColumnShares[] = {24, 41, 8, 9, 7, 11};
constexpr int ColumnCount = 6;

QColor TrimesterColour(int trimester)
{
    if (trimester == 1)
        return QColor(0xCE, 0xEE, 0xFD);
    if (trimester == 2)
        return QColor(0xFF, 0xFF, 0xC0);
    return QColor(0xFF, 0xC0, 0xFF);
}

QString Scored(const QVariant &value)
{
    return IsScored(value) ? QString::number(qint64(value.toDouble())) : NoResult;
}

QString Letter(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    return text.isEmpty() || text == QLatin1String("99") ? NoResult : text;
}

QString ClassAverage(const SheetInput &input, const QVariant &value)
{
    return IsScored(value) && value.toDouble() > 0 ? FormatClassAverage(value.toDouble(), input.locale) : NoResult;
}

// The exercise's total as stored where the exercise stores one; otherwise
// (one item, or seven questions) the sum of its items once all are scored.
QString Total(int level, int trimester, int exercise, const QVariantMap &pupil)
{
    if (HasTotalField(level, trimester, exercise))
        return Scored(pupil.value(ExerciseField(trimester, exercise, QStringLiteral("TOT"))));
    int total = 0;
    for (int i = 1; i <= ItemCount(level, trimester, exercise); ++i) {
        const QVariant v = pupil.value(ItemField(trimester, exercise, i));
        if (!IsScored(v))
            return NoResult;
        total += v.toInt();
    }
    return QString::number(total);
}

QString Items(int level, int trimester, int exercise, const QVariantMap &pupil)
{
    QStringList items;
    for (int i = 1; i <= ItemCount(level, trimester, exercise); ++i) {
        QString caption = ItemCaption(level, trimester, exercise, i);
        if (caption.isEmpty())
            caption = QStringLiteral("Q%1").arg(i);
        if (IsHalfWeightBox(BoxNumber(level, trimester, exercise, i)))
            caption += QStringLiteral(" (½)");
        // A score stays with its caption on the line.
        items << caption + QChar(0x00A0) + Scored(pupil.value(ItemField(trimester, exercise, i))) + QLatin1Char('/') +
                     QString::number(ItemMax(level, trimester, exercise, i));
    }
    return items.join(QStringLiteral(", "));
}

struct Cell
{
    QString text;
    QColor background;
    bool bold = false;
    int span = 1;
    Qt::Alignment alignment = Qt::AlignCenter;
};

void WriteTable(PageComposer &document, const QList<int> &widths, const QList<QList<Cell>> &rows, int headerRows)
{
    document.setTableBorder(PageComposer::TableBorder::All);
    document.startTable(int(rows.size()), int(widths.size()));
    document.setHeaderRows(headerRows);
    for (int c = 1; c <= widths.size(); ++c)
        document.setColumnWidth(c, widths.at(c - 1));
    for (int r = 1; r <= rows.size(); ++r) {
        const QList<Cell> &row = rows.at(r - 1);
        for (int c = 1; c <= row.size(); ++c) {
            const Cell &cell = row.at(c - 1);
            document.setCellText(r, c, cell.text);
            document.setCellAlignment(r, c, cell.alignment);
            if (cell.background.isValid())
                document.setCellBackground(r, c, cell.background);
            if (cell.bold)
                document.setCellBold(r, c, true);
            if (cell.span > 1)
                document.setCellSpan(r, c, cell.span);
        }
    }
    document.endTable();
}

void ResultsTable(PageComposer &document, const SheetInput &input, const QVariantMap &pupil)
{
    QList<int> widths;
    for (int share : ColumnShares)
        widths.append(int(document.contentWidth() * share / 100));
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    QList<QList<Cell>> rows;
    QList<Cell> header;
    for (const char *title :
         {"Exercice", "Résultats aux items (score/maximum)", "Total", "Catégorie", "Profil", "Moyenne de la classe"})
        header.append({QString::fromUtf8(title), HeaderGrey, true});
    rows.append(header);
    for (int t : EvaluatedTrimesters(input.level)) {
        QList<Cell> trimester(ColumnCount);
        trimester[0] = {TrimesterTabCaption(t), TrimesterColour(t), true, ColumnCount, left};
        rows.append(trimester);
        for (int e = 1; e <= 3; ++e) {
            const int b0 = CategoryBounds(input.level, t, e, 0);
            const QString total = Total(input.level, t, e, pupil);
            rows.append({
                {ExerciseSpokenName(input.level, t, e), QColor(), false, 1, left},
                {Items(input.level, t, e, pupil), QColor(), false, 1, left},
                {total + QLatin1Char('/') + QString::number(b0), QColor()},
                {Scored(pupil.value(ExerciseField(t, e, QStringLiteral("CAT")))), QColor(), true},
                {Letter(pupil.value(ExerciseField(t, e, QStringLiteral("PRO")))), ProfileColour, true},
                {ClassAverage(input, input.classRecord.value(ExerciseField(t, e, QStringLiteral("CAT")))), QColor()},
            });
        }
    }
    WriteTable(document, widths, rows, 1);
}

void ProfilesTable(PageComposer &document, const SheetInput &input, const QVariantMap &pupil)
{
    const QList<int> domainSlots = PanelSlotOrder(input.level);
    const int first = int(document.contentWidth() * 24 / 100);
    QList<int> widths{first};
    for (int i = 0; i < domainSlots.size(); ++i)
        widths.append(int((document.contentWidth() - first) / domainSlots.size()));
    QList<QList<Cell>> rows(3);
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    rows[0].append({QStringLiteral("Profil par domaine"), HeaderGrey, true, 1, left});
    rows[1].append({QStringLiteral("Élève"), QColor(), true, 1, left});
    rows[2].append({QStringLiteral("Classe"), QColor(), true, 1, left});
    for (int slot : domainSlots) {
        const QString field = QStringLiteral("PROFIL_") + DomainSuffix(slot);
        rows[0].append({DomainTitle(input.level, slot), HeaderGrey, true});
        rows[1].append({Letter(pupil.value(field)), ProfileColour, true});
        rows[2].append({Letter(input.classRecord.value(field)), ProfileColour, true});
    }
    WriteTable(document, widths, rows, 1);
}

void Heading(PageComposer &document, const QString &text)
{
    document.setFontSize(5);
    document.paragraph(QString());
    document.setFontSize(11);
    document.setFontBold(true);
    document.paragraph(EscapeRichText(text));
    document.setFontBold(false);
    document.setFontSize(3);
    document.paragraph(QString());
    document.setFontSize(8);
}

void Legend(PageComposer &document, int level)
{
    Heading(document, QStringLiteral("Pour lire cette fiche"));
    QStringList lines = {
        QStringLiteral("{\\b Catégorie :} de 1 à 4, selon le total obtenu à l'exercice ; 1 est la meilleure "
                       "catégorie, 4 la plus faible."),
        QStringLiteral("{\\b Profil :} « A » pour une catégorie 1 ou 2, « F » pour une catégorie 3 ou 4. Le profil "
                       "d'un domaine est celui de son dernier exercice évalué ; celui de la classe est « A » quand "
                       "la moyenne de la classe à cet exercice ne dépasse pas 2,5, « F » au-delà."),
        QStringLiteral("{\\b Moyenne de la classe :} la moyenne des catégories des élèves de la classe qui ont "
                       "passé l'exercice."),
        QStringLiteral("{\\b _ :} pas de résultat (élève absent ou exercice non passé)."),
    };
    if (level == 2 || level == 3)
        lines << QStringLiteral("{\\b (½) :} l'item compte pour la moitié de son score dans le total.");
    if (level == 3)
        lines << QStringLiteral("{\\b ARI :} aptitude à la recherche d'informations. Au 3ème trimestre, la "
                                "compréhension de texte réunit les deux exercices (Nar. et Doc.).");
    // French spacing: no line starts with ":", ";" or "»", nor ends with "«".
    const QChar nbsp(0x00A0);
    for (QString line : std::as_const(lines))
        document.paragraph(line.replace(QStringLiteral(" :"), QString(nbsp) + QLatin1Char(':'))
                               .replace(QStringLiteral(" ;"), QString(nbsp) + QLatin1Char(';'))
                               .replace(QStringLiteral("« "), QStringLiteral("«") + nbsp)
                               .replace(QStringLiteral(" »"), QString(nbsp) + QStringLiteral("»")));
}

void ComposeSheet(PageComposer &document, const SheetInput &input, const QVariantMap &pupil)
{
    document.setParagraphAlignment(Qt::AlignHCenter);
    document.setFontSize(16);
    document.setFontBold(true);
    document.paragraph(EscapeRichText(pupil.value(QStringLiteral("NOM")).toString()));
    document.setFontBold(false);
    document.setFontSize(10);
    // A caption stays with its value; short values (not the school's long name) stay whole.
    const auto field = [](const char *caption, const QString &value, bool whole = true) {
        const QChar nbsp(0x00A0);
        QString text = EscapeRichText(value.trimmed());
        if (whole)
            text.replace(QLatin1Char(' '), nbsp);
        return QString::fromUtf8(caption) + nbsp + QLatin1Char(':') + nbsp + QStringLiteral("{\\b ") + text +
               QLatin1Char('}');
    };
    const QString gap = QStringLiteral("     ");
    document.paragraph(field("École", input.schoolName, false));
    document.paragraph(field("Classe", input.className) + gap + field("Enseignant", input.teacher));
    document.paragraph(field("Niveau", LevelName(input.level)) + gap + field("Année scolaire", input.schoolYear));
    document.setParagraphAlignment(Qt::AlignLeft);

    Heading(document, QStringLiteral("Résultats par exercice"));
    ResultsTable(document, input, pupil);
    Heading(document, QStringLiteral("Profils"));
    ProfilesTable(document, input, pupil);
    Heading(document, QStringLiteral("Catégories par domaine : l'élève et la moyenne de la classe"));
    document.barChart(PupilCategoryChart(input, pupil));
    Legend(document, input.level);
}

} // namespace

BarChart PupilCategoryChart(const SheetInput &input, const QVariantMap &pupil)
{
    BarChart chart;
    chart.maximum = 4;
    // Category c ends at 5 - c: the best category is the longest bar.
    for (int c = 4; c >= 1; --c)
        chart.ticks.append({5 - c, QString::number(c)});
    chart.axisTitle = QStringLiteral("Catégorie (1 : la meilleure)");
    chart.styles = {{PupilColour, Qt::SolidPattern, Qt::white, QStringLiteral("Élève")},
                    {ClassColour, Qt::SolidPattern, Qt::black, QStringLiteral("Moyenne de la classe")}};
    chart.barHeight = 130;
    chart.barGap = 40; // room between the two bars' texts
    chart.rowGap = 70;
    chart.labelWidth = 2600;
    const auto bar = [](const QVariant &value, int style, const QString &text) {
        const double category = value.toDouble();
        if (!value.isValid() || category < 1 || category > 4)
            return ChartBar{{}, NoResult};
        return ChartBar{{ChartSegment{5 - category, style, QString()}}, text};
    };
    for (int slot : PanelSlotOrder(input.level)) {
        chart.rows.append({DomainTitle(input.level, slot), {}, true});
        for (int rank = 1; rank <= 3; ++rank) {
            const QString field = CategoryField(input.level, slot, rank);
            if (field.isEmpty())
                continue;
            const QVariant own = SynthesisCategory(pupil, field, input.level, false);
            const QVariant average = SynthesisCategory(input.classRecord, field, input.level, true);
            chart.rows.append(
                {TrimesterTabCaption(field.mid(1, 1).toInt()),
                 {bar(own, PupilBar, Scored(own)),
                  bar(average, ClassBar,
                      average.isValid() ? FormatClassAverage(average.toDouble(), input.locale) : NoResult)}});
        }
    }
    return chart;
}

SheetInput ReadSheetInput(Connection &connection, int schoolNo, int classNo, qint64 pupilKey)
{
    SheetInput input;
    QStringList classFields;
    for (int t = 1; t <= 3; ++t)
        for (int e = 1; e <= 3; ++e)
            classFields << ExerciseField(t, e, QStringLiteral("CAT"));
    for (int slot = 1; slot <= 4; ++slot)
        classFields << QStringLiteral("PROFIL_") + DomainSuffix(slot);

    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT c.LIBELLE, c.ENSEIGN, c.NIVEAU, e.NOM_ECOLE, c.%1 FROM CLASSE c "
                             "LEFT JOIN ECOLE e ON e.NOECOLE = c.NOECOLE WHERE c.NOECOLE = ? AND c.NOCLASSE = ? "
                             "LIMIT 1")
                  .arg(classFields.join(QStringLiteral(", c."))));
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    if (!q.exec() || !q.next())
        return input;
    input.className = q.value(0).toString();
    input.teacher = q.value(1).toString();
    input.level = LevelCode(q.value(2).toString().trimmed());
    input.schoolName = q.value(3).toString();
    for (int i = 0; i < classFields.size(); ++i)
        input.classRecord.insert(classFields.at(i), q.value(4 + i));
    if (input.level == 0)
        return input;

    QStringList fields = {QStringLiteral("NOELEVE"), QStringLiteral("NOM")};
    fields << PupilResultFields(input.level);
    for (int slot = 1; slot <= 4; ++slot)
        fields << QStringLiteral("PROFIL_") + DomainSuffix(slot);
    QSqlQuery pupils(connection.database());
    pupils.setForwardOnly(true);
    pupils.prepare(
        QStringLiteral("SELECT %1 FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ? %2 "
                       "ORDER BY NOM COLLATE FRANCAIS, NOELEVE")
            .arg(fields.join(QStringLiteral(", ")), pupilKey != 0 ? QStringLiteral("AND NOELEVE = ?") : QString()));
    pupils.addBindValue(schoolNo);
    pupils.addBindValue(classNo);
    if (pupilKey != 0)
        pupils.addBindValue(pupilKey);
    if (pupils.exec()) {
        while (pupils.next()) {
            QVariantMap pupil;
            for (int i = 0; i < fields.size(); ++i)
                pupil.insert(fields.at(i), pupils.value(i));
            input.pupils.append(pupil);
        }
    }
    return input;
}

void PrepareSheetDocument(PageComposer &document, const PageSetup &setup)
{
    document.setBodyFont(QStringLiteral("Arial"), 11.25);
    document.setHeaderFooterFont(QStringLiteral("Arial"), 12, true);
    ApplyPageSetup(document, setup);
}

void ComposePupilSheets(PageComposer &document, const SheetInput &input)
{
    document.setHeader(QStringLiteral("|Fiche de résultats de l'élève|"));
    document.setFooter(StandardFooter(input.printedAt, EscapeRichText(input.programTitle).replace('|', ' ')));
    document.startDoc();
    for (int i = 0; i < input.pupils.size(); ++i) {
        if (i > 0)
            document.pageBreak();
        ComposeSheet(document, input, input.pupils.at(i));
    }
    document.endDoc();
}

QString SheetsFileName(const QString &classLabel)
{
    return SynthesisFileName(classLabel.trimmed() + QStringLiteral(" - fiches"));
}
