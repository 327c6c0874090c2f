#include "CategoryDistribution.h"

#include "ClassSynthesis.h"
#include "evaluation/EvaluationModel.h"

namespace {

// Grey levels far apart, and hatching on category 4, so that a
// black-and-white print keeps the five apart.
const QList<ChartStyle> &Styles()
{
    static const QList<ChartStyle> styles = {
        {QColor(0x1B, 0x5E, 0x20), Qt::SolidPattern, Qt::white, QStringLiteral("Catégorie 1")},
        {QColor(0x8B, 0xC3, 0x4A), Qt::SolidPattern, Qt::black, QStringLiteral("Catégorie 2")},
        {QColor(0xFF, 0xD5, 0x4F), Qt::SolidPattern, Qt::black, QStringLiteral("Catégorie 3")},
        {QColor(0xEF, 0x9A, 0x9A), Qt::BDiagPattern, Qt::black, QStringLiteral("Catégorie 4")},
        {QColor(0xFF, 0xFF, 0xFF), Qt::SolidPattern, Qt::black, QStringLiteral("Sans résultat (_)")},
    };
    return styles;
}

} // namespace

QList<CategoryCount> CountCategories(const SynthesisInput &input)
{
    QList<CategoryCount> counts;
    const SynthesisColumns columns = BuildSynthesisColumns(input.level);
    const QList<int> domainSlots = PanelSlotOrder(input.level);
    int column = 1;
    for (int g = 0; g < domainSlots.size(); ++g) {
        const QString title = columns.groupTitles.at(column);
        for (int k = 0; k < columns.groupSizes.at(g); ++k, ++column) {
            CategoryCount count;
            count.slot = domainSlots.at(g);
            count.title = title;
            count.field = columns.fields.at(column);
            for (const QVariantMap &pupil : input.pupils) {
                const QVariant value = SynthesisCategory(pupil, count.field, input.level, false);
                const int category = value.isValid() ? value.toInt() : 0;
                ++count.counts[category >= 1 && category <= 4 ? category - 1 : 4];
            }
            counts.append(count);
        }
    }
    return counts;
}

BarChart CategoryDistributionChart(const SynthesisInput &input)
{
    BarChart chart;
    const int pupils = int(input.pupils.size());
    chart.maximum = qMax(1, pupils);
    const int step = pupils <= 10 ? 1 : pupils <= 20 ? 2 : pupils <= 50 ? 5 : pupils <= 100 ? 10 : 20;
    for (int n = 0; n <= pupils; n += step)
        chart.ticks.append({n, QString::number(n)});
    chart.axisTitle = QStringLiteral("Nombre d'élèves (%1 dans la classe)").arg(pupils);
    // Listed as drawn, from the left.
    for (int style : {4, 3, 2, 1, 0})
        chart.styles.append(Styles().at(style));
    chart.fontSize = 9;
    chart.barHeight = 260;
    chart.rowGap = 110;
    chart.labelWidth = 2600;
    chart.endRoom = 300;
    int slot = 0;
    for (const CategoryCount &count : CountCategories(input)) {
        if (count.slot != slot) {
            slot = count.slot;
            chart.rows.append({count.title, {}, true});
        }
        ChartBar bar;
        // Styles are in drawing order: no result, then 4, 3, 2, 1.
        for (int k = 0; k < 5; ++k) {
            const int n = count.counts.at(4 - k);
            if (n > 0)
                bar.segments.append({double(n), k, QString::number(n)});
        }
        chart.rows.append({TrimesterTabCaption(count.field.mid(1, 1).toInt()), {bar}});
    }
    return chart;
}
