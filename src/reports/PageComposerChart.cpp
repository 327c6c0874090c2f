// The page composer's bar charts: laid out in twips like the other blocks,
// so that they print crisp at any resolution.
#include "PageComposer.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

constexpr double LabelPadding = 100; // between a row's label and the plot
constexpr double TextGap = 60;       // between a bar's end and its text
constexpr double TickLength = 60;
constexpr double HatchSpacing = 90;
constexpr double HatchWidth = 5;
const QColor GridColour(0xA0, 0xA0, 0xA0);
const QColor HatchColour(0x30, 0x30, 0x30);

void outline(PageComposer::Page &page, const QRectF &rect)
{
    page.rules.append({rect.topLeft(), rect.topRight()});
    page.rules.append({rect.topRight(), rect.bottomRight()});
    page.rules.append({rect.bottomRight(), rect.bottomLeft()});
    page.rules.append({rect.bottomLeft(), rect.topLeft()});
}

} // namespace

void PageComposer::drawHatch(QPainter &painter, const QRectF &rect, Qt::BrushStyle hatch)
{
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    QPen pen(HatchColour, HatchWidth);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    const bool horizontal = hatch == Qt::HorPattern || hatch == Qt::CrossPattern;
    const bool vertical = hatch == Qt::VerPattern || hatch == Qt::CrossPattern;
    const bool rising = hatch == Qt::BDiagPattern || hatch == Qt::DiagCrossPattern;
    const bool falling = hatch == Qt::FDiagPattern || hatch == Qt::DiagCrossPattern;
    // Lines on a grid fixed to the page, so that neighbouring pieces join up.
    const double first = std::floor(rect.left() / HatchSpacing) * HatchSpacing;
    if (vertical)
        for (double x = first; x <= rect.right(); x += HatchSpacing)
            painter.drawLine(QLineF(x, rect.top(), x, rect.bottom()));
    if (horizontal)
        for (double y = std::floor(rect.top() / HatchSpacing) * HatchSpacing; y <= rect.bottom(); y += HatchSpacing)
            painter.drawLine(QLineF(rect.left(), y, rect.right(), y));
    const double h = rect.height();
    for (double x = first - h - HatchSpacing; x <= rect.right() + h; x += HatchSpacing) {
        if (rising)
            painter.drawLine(QLineF(x, rect.bottom(), x + h, rect.top()));
        if (falling)
            painter.drawLine(QLineF(x, rect.top(), x + h, rect.bottom()));
    }
    painter.restore();
}

bool PageComposer::layoutChart(const BarChart &chart, double &y, bool placed)
{
    if (chart.rows.isEmpty() || chart.maximum <= 0)
        return false;
    const QFont regular = font(m_bodyFamily, chart.fontSize, false);
    const QFont bold = font(m_bodyFamily, chart.fontSize, true);
    const QFontMetricsF metrics(regular), boldMetrics(bold);
    const double lineHeight = metrics.ascent() + metrics.descent();
    const double plotLeft = m_margins[0] + chart.labelWidth;
    const double plotWidth = qMax(1.0, contentWidth() - chart.labelWidth - chart.endRoom);
    const double scale = plotWidth / chart.maximum;

    const auto rowHeight = [&](const ChartRow &row) {
        if (row.title)
            return lineHeight + chart.rowGap / 2.0;
        const qsizetype bars = row.bars.size();
        return qMax(lineHeight, double(bars * chart.barHeight + qMax<qsizetype>(0, bars - 1) * chart.barGap)) +
               chart.rowGap;
    };
    const double axisHeight = TickLength + 20 + lineHeight + (chart.axisTitle.isEmpty() ? 0 : lineHeight + 20);
    bool legend = false;
    for (const ChartStyle &style : chart.styles)
        legend = legend || !style.legend.isEmpty();
    const double legendHeight = legend ? chart.rowGap + qMax(lineHeight, double(chart.barHeight)) : 0;
    double total = chart.rowGap / 2.0 + axisHeight + legendHeight;
    for (const ChartRow &row : chart.rows)
        total += rowHeight(row);
    // Kept on one page when it fits on one.
    if (placed && y + total > contentBottom() && total <= contentBottom() - contentTop())
        newPage(y);

    const auto text = [&](Page &page, const QFont &f, const QString &s, double x, double centreY,
                          const QColor &colour = Qt::black) {
        const QFontMetricsF fm(f);
        page.texts.append({QPointF(x, centreY + (fm.ascent() - fm.descent()) / 2), f, s, colour});
    };
    // The axis under the rows from `top`, with its ticks, their labels and the grid.
    const auto drawAxis = [&](double top) {
        Page &page = m_pages.last();
        page.rules.append({QPointF(plotLeft, top), QPointF(plotLeft, y)});
        page.rules.append({QPointF(plotLeft, y), QPointF(plotLeft + plotWidth, y)});
        for (const auto &[value, label] : chart.ticks) {
            const double x = plotLeft + qBound(0.0, value, chart.maximum) * scale;
            if (x > plotLeft)
                page.strokes.append({QLineF(x, top, x, y), GridColour, 5, Qt::DashLine});
            page.rules.append({QPointF(x, y), QPointF(x, y + TickLength)});
            text(page, regular, label, x - metrics.horizontalAdvance(label) / 2, y + TickLength + 20 + lineHeight / 2);
        }
        if (!chart.axisTitle.isEmpty())
            text(page, regular, chart.axisTitle,
                 plotLeft + (plotWidth - metrics.horizontalAdvance(chart.axisTitle)) / 2,
                 y + TickLength + 40 + lineHeight * 1.5);
        y += axisHeight;
    };

    double top = y;
    y += chart.rowGap / 2.0;
    bool rowsOnPage = false;
    for (const ChartRow &row : chart.rows) {
        const double height = rowHeight(row);
        if (rowsOnPage && y + height + axisHeight > contentBottom()) {
            drawAxis(top);
            newPage(y);
            top = y;
            y += chart.rowGap / 2.0;
        }
        Page &page = m_pages.last();
        const double barsHeight = height - chart.rowGap;
        const double centre = y + (row.title ? lineHeight / 2 : barsHeight / 2);
        // The label, wrapped within its column, centred on the row's bars.
        const double labelWidth = row.title ? contentWidth() : chart.labelWidth - LabelPadding;
        const QList<Line> lines =
            breakLines({RichParagraph{Qt::AlignLeft, {TextRun{row.label, row.title, chart.fontSize}}}}, m_bodyFamily,
                       qMax(1.0, labelWidth));
        double linesHeight = 0;
        for (const Line &line : lines)
            linesHeight += line.height;
        double lineTop = centre - linesHeight / 2;
        for (const Line &line : lines) {
            placeLine(page, line, m_margins[0], labelWidth, lineTop);
            lineTop += line.height;
        }
        double barTop = y;
        for (const ChartBar &bar : row.bars) {
            const double barCentre = barTop + chart.barHeight / 2.0;
            double x = plotLeft;
            for (const ChartSegment &segment : bar.segments) {
                const double width = qMin(qMax(0.0, segment.value) * scale, plotLeft + plotWidth - x);
                if (width <= 0)
                    continue;
                const ChartStyle style = chart.styles.value(segment.style);
                const QRectF rect(x, barTop, width, chart.barHeight);
                page.fills.append({rect, style.fill, style.hatch});
                outline(page, rect);
                const double textWidth = boldMetrics.horizontalAdvance(segment.text);
                if (!segment.text.isEmpty() && textWidth + 40 <= width)
                    text(page, bold, segment.text, x + (width - textWidth) / 2, barCentre, style.textColour);
                x += width;
            }
            if (!bar.text.isEmpty())
                text(page, regular, bar.text, x + TextGap, barCentre);
            barTop += chart.barHeight + chart.barGap;
        }
        y += height;
        rowsOnPage = true;
    }
    drawAxis(top);

    if (legend) {
        if (y + legendHeight > contentBottom())
            newPage(y);
        Page &page = m_pages.last();
        y += chart.rowGap;
        const double swatchWidth = chart.barHeight * 1.6;
        const double centre = y + qMax(lineHeight, double(chart.barHeight)) / 2;
        double x = plotLeft;
        for (const ChartStyle &style : chart.styles) {
            if (style.legend.isEmpty())
                continue;
            const QRectF swatch(x, centre - chart.barHeight / 2.0, swatchWidth, chart.barHeight);
            page.fills.append({swatch, style.fill, style.hatch});
            outline(page, swatch);
            text(page, regular, style.legend, swatch.right() + TextGap, centre);
            x = swatch.right() + TextGap + metrics.horizontalAdvance(style.legend) + 300;
        }
        y += legendHeight - chart.rowGap;
    }
    return true;
}
