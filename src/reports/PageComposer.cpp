#include "PageComposer.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace {

constexpr double TabStop = 720; // half an inch, as word processors do
constexpr double CellPaddingX = 60;
constexpr double CellPaddingY = 30;
constexpr double RuleWidth = 10; // half a point

// The families the documents name, and what stands in for them where they
// are not installed (metric-compatible where there is such a font).
void installFontSubstitutes()
{
    static const bool done = [] {
        const QStringList families = QFontDatabase::families();
        if (!families.contains(QStringLiteral("Arial"), Qt::CaseInsensitive))
            QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        if (!families.contains(QStringLiteral("Verdana"), Qt::CaseInsensitive))
            QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

PageComposer::PageComposer()
    : m_pageSize(QPageSize::A4), m_bodyFamily(QStringLiteral("Arial")), m_bodySize(11.25),
      m_bandFamily(QStringLiteral("Verdana")), m_bandSize(12), m_bandBold(true), m_fontSize(11.25)
{
    installFontSubstitutes();
}

// ---- page set-up -----------------------------------------------------------

void PageComposer::setOrientation(Orientation orientation)
{
    m_orientation = orientation;
    if (m_state == State::Ended)
        layout();
}

void PageComposer::setPageSize(const QPageSize &size)
{
    m_pageSize = size;
    if (m_state == State::Ended)
        layout();
}

int PageComposer::pageWidth() const
{
    const QSize points = m_pageSize.sizePoints();
    return TwipsPerPoint * (m_orientation == Orientation::Portrait ? points.width() : points.height());
}

int PageComposer::pageHeight() const
{
    const QSize points = m_pageSize.sizePoints();
    return TwipsPerPoint * (m_orientation == Orientation::Portrait ? points.height() : points.width());
}

void PageComposer::setMargins(int left, int top, int right, int bottom)
{
    m_margins[0] = left;
    m_margins[1] = top;
    m_margins[2] = right;
    m_margins[3] = bottom;
    if (m_state == State::Ended)
        layout();
}

void PageComposer::setBodyFont(const QString &family, double pointSize, bool bold)
{
    m_bodyFamily = family;
    m_bodySize = pointSize;
    m_bodyBold = bold;
}

void PageComposer::setHeaderFooterFont(const QString &family, double pointSize, bool bold)
{
    m_bandFamily = family;
    m_bandSize = pointSize;
    m_bandBold = bold;
}

void PageComposer::setHeader(const QString &text)
{
    m_header = text;
}

void PageComposer::setFooter(const QString &text)
{
    m_footer = text;
}

// ---- document --------------------------------------------------------------

void PageComposer::startDoc()
{
    m_blocks.clear();
    m_pages.clear();
    m_inTable = false;
    m_fontSize = m_bodySize;
    m_fontBold = m_bodyBold;
    m_alignment = Qt::AlignLeft;
    m_state = State::Open;
}

void PageComposer::endDoc()
{
    if (m_state != State::Open)
        return;
    m_inTable = false;
    m_state = State::Ended;
    layout();
}

void PageComposer::abandonDoc()
{
    m_blocks.clear();
    m_pages.clear();
    m_inTable = false;
    m_state = State::Idle;
}

void PageComposer::setFontSize(double points)
{
    if (points > 0)
        m_fontSize = points;
}

void PageComposer::setFontBold(bool bold)
{
    m_fontBold = bold;
}

void PageComposer::setParagraphAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
}

void PageComposer::paragraph(const QString &text)
{
    if (m_state != State::Open)
        return;
    m_inTable = false;
    m_blocks.append(Paragraph{text, m_fontSize, m_fontBold, m_alignment});
}

// ---- tables ----------------------------------------------------------------

void PageComposer::startTable(int rows, int columns)
{
    if (m_state != State::Open)
        return;
    Table table;
    table.rows = rows;
    table.columns = columns;
    table.border = m_tableBorder;
    table.fontSize = m_fontSize;
    table.bold = m_fontBold;
    m_blocks.append(table);
    m_inTable = true;
}

void PageComposer::endTable()
{
    m_inTable = false;
}

PageComposer::Table *PageComposer::currentTable()
{
    return m_inTable ? &std::get<Table>(m_blocks.last()) : nullptr;
}

void PageComposer::setTableRows(int rows)
{
    if (Table *table = currentTable())
        table->rows = rows;
}

void PageComposer::setTableColumns(int columns)
{
    if (Table *table = currentTable())
        table->columns = columns;
}

void PageComposer::setColumnWidth(int column, int twips)
{
    if (Table *table = currentTable())
        table->widths.insert(column, twips);
}

void PageComposer::setColumnAlignment(int column, Qt::Alignment alignment)
{
    if (Table *table = currentTable())
        table->alignments.insert(column, alignment);
}

void PageComposer::setHeaderRows(int rows)
{
    if (Table *table = currentTable())
        table->headerRows = rows;
}

PageComposer::Cell *PageComposer::cell(int row, int column)
{
    Table *table = currentTable();
    if (!table || row < 1 || column < 1)
        return nullptr;
    return &table->cells[{row, column}];
}

void PageComposer::setCellText(int row, int column, const QString &text)
{
    if (Cell *c = cell(row, column))
        c->text = text;
}

void PageComposer::setCellAlignment(int row, int column, Qt::Alignment alignment)
{
    if (Cell *c = cell(row, column)) {
        c->alignment = alignment;
        c->hasAlignment = true;
    }
}

void PageComposer::setCellBackground(int row, int column, const QColor &colour)
{
    if (Cell *c = cell(row, column))
        c->background = colour;
}

void PageComposer::setCellFontSize(int row, int column, double points)
{
    if (Cell *c = cell(row, column))
        c->fontSize = points;
}

void PageComposer::setCellBold(int row, int column, bool bold)
{
    if (Cell *c = cell(row, column))
        c->bold = bold ? 1 : 0;
}

void PageComposer::setCellSpan(int row, int column, int columns)
{
    if (Cell *c = cell(row, column))
        c->span = qMax(1, columns);
}

void PageComposer::pageBreak()
{
    if (m_state != State::Open)
        return;
    m_inTable = false;
    m_blocks.append(PageBreak());
}

void PageComposer::barChart(const BarChart &chart)
{
    if (m_state != State::Open)
        return;
    m_inTable = false;
    m_blocks.append(chart);
}

// ---- layout ----------------------------------------------------------------

QFont PageComposer::font(const QString &family, double points, bool bold) const
{
    QFont f(family);
    // One pixel is one twip: sizes in whole twips are exact for every
    // half-point size, and unhinted metrics do not depend on any screen.
    f.setPixelSize(qMax(1, int(std::lround(points * TwipsPerPoint))));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

QList<PageComposer::Line> PageComposer::breakLines(const QList<RichParagraph> &paragraphs, const QString &family,
                                                   double width) const
{
    QList<Line> lines;
    for (const RichParagraph &paragraph : paragraphs) {
        Line line;
        line.alignment = paragraph.alignment;
        double x = 0;
        double ascent = 0, below = 0;
        double endX = -1; // where the last item ends, to merge with it

        auto measure = [&](const QFont &f) {
            const QFontMetricsF fm(f);
            ascent = qMax(ascent, fm.ascent());
            below = qMax(below, fm.descent() + fm.leading());
        };
        auto finish = [&](const QFont &fallback) {
            if (ascent == 0 && below == 0)
                measure(fallback);
            line.ascent = ascent;
            line.height = ascent + below;
            lines.append(line);
            line = Line();
            line.alignment = paragraph.alignment;
            x = 0;
            ascent = below = 0;
            endX = -1;
        };
        auto place = [&](const QFont &f, const QString &text, double advance, double inkAdvance) {
            measure(f);
            if (!line.items.isEmpty() && endX == x && line.items.last().font == f)
                line.items.last().text += text;
            else
                line.items.append({QPointF(x, 0), f, text});
            line.width = x + inkAdvance;
            x += advance;
            endX = x;
        };

        QFont lastFont = font(family, paragraph.runs.isEmpty() ? m_fontSize : paragraph.runs.first().pointSize,
                              !paragraph.runs.isEmpty() && paragraph.runs.first().bold);
        for (const TextRun &run : paragraph.runs) {
            const QFont f = font(family, run.pointSize, run.bold);
            lastFont = f;
            const QFontMetricsF fm(f);
            qsizetype i = 0;
            while (i < run.text.size()) {
                if (run.text.at(i) == QLatin1Char('\t')) {
                    const double next = (std::floor(x / TabStop) + 1) * TabStop;
                    if (next > width && x > 0)
                        finish(f);
                    else
                        x = next;
                    measure(f);
                    ++i;
                    continue;
                }
                // A word with the blanks that follow it.
                qsizetype end = i;
                while (end < run.text.size() && run.text.at(end) != QLatin1Char(' ') &&
                       run.text.at(end) != QLatin1Char('\t'))
                    ++end;
                const qsizetype wordEnd = end;
                while (end < run.text.size() && run.text.at(end) == QLatin1Char(' '))
                    ++end;
                QString word = run.text.mid(i, wordEnd - i);
                const QString blanks = run.text.mid(wordEnd, end - wordEnd);
                i = end;
                double ink = fm.horizontalAdvance(word);
                if (x > 0 && x + ink > width && !word.isEmpty())
                    finish(f);
                // A word longer than the line is cut where it has to be.
                while (x == 0 && ink > width && word.size() > 1) {
                    qsizetype fits = 1;
                    while (fits < word.size() && fm.horizontalAdvance(word.left(fits + 1)) <= width)
                        ++fits;
                    place(f, word.left(fits), fm.horizontalAdvance(word.left(fits)),
                          fm.horizontalAdvance(word.left(fits)));
                    finish(f);
                    word = word.mid(fits);
                    ink = fm.horizontalAdvance(word);
                }
                place(f, word + blanks, fm.horizontalAdvance(word + blanks), ink);
            }
        }
        finish(lastFont);
    }
    return lines;
}

void PageComposer::placeLine(Page &page, const Line &line, double left, double width, double top) const
{
    double offset = 0;
    if (line.alignment & Qt::AlignHCenter)
        offset = (width - line.width) / 2;
    else if (line.alignment & Qt::AlignRight)
        offset = width - line.width;
    for (TextItem item : line.items) {
        if (item.text.trimmed().isEmpty())
            continue;
        item.baseline = QPointF(left + offset + item.baseline.x(), top + line.ascent);
        page.texts.append(item);
    }
}

void PageComposer::newPage(double &y)
{
    m_pages.append(Page());
    y = contentTop();
}

void PageComposer::layout()
{
    m_pages.clear();
    double y = 0;
    newPage(y);
    bool placed = false; // something on the current page
    for (const Block &block : std::as_const(m_blocks)) {
        if (const auto *p = std::get_if<Paragraph>(&block)) {
            const QList<Line> lines =
                breakLines(ParseRichText(p->text, p->bold, p->fontSize, p->alignment), m_bodyFamily, contentWidth());
            for (const Line &line : lines) {
                if (placed && y + line.height > contentBottom()) {
                    newPage(y);
                    placed = false;
                }
                placeLine(m_pages.last(), line, m_margins[0], contentWidth(), y);
                y += line.height;
                placed = true;
            }
        } else if (const auto *table = std::get_if<Table>(&block)) {
            const int before = int(m_pages.size());
            const double start = y;
            layoutTable(*table, y);
            placed = placed || int(m_pages.size()) > before || y > start;
        } else if (const auto *chart = std::get_if<BarChart>(&block)) {
            placed = layoutChart(*chart, y, placed) || placed;
        } else if (placed) { // a page break
            newPage(y);
            placed = false;
        }
    }
}

void PageComposer::layoutTable(const Table &table, double &y)
{
    if (table.rows < 1 || table.columns < 1)
        return;
    QList<double> widths, xs;
    double total = 0;
    for (int c = 1; c <= table.columns; ++c) {
        const double w = table.widths.value(c, contentWidth() / table.columns);
        widths.append(w);
        total += w;
    }
    double x = m_margins[0] + qMax(0.0, (contentWidth() - total) / 2);
    for (double w : std::as_const(widths)) {
        xs.append(x);
        x += w;
    }

    struct CellLayout
    {
        QRectF rect; // y from the row's top
        QColor background;
        QList<Line> lines;
        double textHeight = 0;
    };
    struct RowLayout
    {
        double height = 0;
        QList<CellLayout> cells;
    };
    QList<RowLayout> rows;
    for (int r = 1; r <= table.rows; ++r) {
        RowLayout row;
        const QFontMetricsF base(font(m_bodyFamily, table.fontSize, table.bold));
        row.height = base.ascent() + base.descent() + 2 * CellPaddingY;
        int covered = 0;
        for (int c = 1; c <= table.columns; ++c) {
            if (covered > 0) {
                --covered;
                continue;
            }
            const Cell cell = table.cells.value({r, c});
            const int span = qMin(cell.span, table.columns - c + 1);
            covered = span - 1;
            double w = 0;
            for (int k = c; k < c + span; ++k)
                w += widths.at(k - 1);
            const Qt::Alignment align =
                cell.hasAlignment ? cell.alignment : table.alignments.value(c, Qt::AlignLeft | Qt::AlignVCenter);
            const double size = cell.fontSize > 0 ? cell.fontSize : table.fontSize;
            const bool bold = cell.bold >= 0 ? cell.bold == 1 : table.bold;
            CellLayout cl;
            cl.rect = QRectF(xs.at(c - 1), 0, w, 0);
            cl.background = cell.background;
            if (!cell.text.isEmpty()) {
                // A cell's text is plain: a name with braces prints as it is.
                const RichParagraph text{align & Qt::AlignHorizontal_Mask, {TextRun{cell.text, bold, size}}};
                cl.lines = breakLines({text}, m_bodyFamily, qMax(1.0, w - 2 * CellPaddingX));
            }
            for (const Line &line : std::as_const(cl.lines))
                cl.textHeight += line.height;
            row.height = qMax(row.height, cl.textHeight + 2 * CellPaddingY);
            row.cells.append(cl);
        }
        rows.append(row);
    }

    double segmentTop = y;
    bool bodyPlaced = false; // a row other than repeated headers on this page
    auto closeSegment = [&] {
        if (table.border == TableBorder::Outline && y > segmentTop) {
            const QRectF box(xs.first(), segmentTop, total, y - segmentTop);
            Page &page = m_pages.last();
            page.rules.append({box.topLeft(), box.topRight()});
            page.rules.append({box.topRight(), box.bottomRight()});
            page.rules.append({box.bottomRight(), box.bottomLeft()});
            page.rules.append({box.bottomLeft(), box.topLeft()});
        }
    };
    auto drawRow = [&](const RowLayout &row) {
        Page &page = m_pages.last();
        for (const CellLayout &cl : row.cells) {
            const QRectF rect(cl.rect.x(), y, cl.rect.width(), row.height);
            if (cl.background.isValid())
                page.fills.append({rect, cl.background});
            double top = y + (row.height - cl.textHeight) / 2;
            for (const Line &line : cl.lines) {
                placeLine(page, line, rect.x() + CellPaddingX, rect.width() - 2 * CellPaddingX, top);
                top += line.height;
            }
            if (table.border == TableBorder::All) {
                page.rules.append({rect.topLeft(), rect.topRight()});
                page.rules.append({rect.topRight(), rect.bottomRight()});
                page.rules.append({rect.bottomRight(), rect.bottomLeft()});
                page.rules.append({rect.bottomLeft(), rect.topLeft()});
            }
        }
        y += row.height;
    };

    const int headers = qMin(table.headerRows, table.rows);
    double headerHeight = 0;
    for (int r = 0; r < headers; ++r)
        headerHeight += rows.at(r).height;
    bool anythingAbove = y > contentTop();
    for (int r = 0; r < rows.size(); ++r) {
        // The header rows stay with the first row under them.
        double needed = rows.at(r).height;
        if (r == 0 && headers > 0)
            needed = headerHeight + (headers < rows.size() ? rows.at(headers).height : 0);
        if ((bodyPlaced || (r == 0 && anythingAbove)) && y + needed > contentBottom()) {
            closeSegment();
            newPage(y);
            segmentTop = y;
            bodyPlaced = false;
            anythingAbove = false;
            if (r >= headers)
                for (int h = 0; h < headers; ++h)
                    drawRow(rows.at(h));
        }
        drawRow(rows.at(r));
        bodyPlaced = true;
    }
    closeSegment();
}

// ---- drawing ---------------------------------------------------------------

void PageComposer::drawBand(QPainter &painter, const QString &text, int pageNumber, bool top) const
{
    if (text.isEmpty())
        return;
    const QStringList parts =
        QString(text).replace(QLatin1String("%d"), QString::number(pageNumber)).split(QLatin1Char('|'));
    const Qt::Alignment alignments[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    Page band;
    for (int i = 0; i < parts.size() && i < 3; ++i) {
        if (parts.at(i).isEmpty())
            continue;
        const QList<Line> lines =
            breakLines(ParseRichText(parts.at(i), m_bandBold, m_bandSize, alignments[i]), m_bandFamily, contentWidth());
        double height = 0;
        for (const Line &line : lines)
            height += line.height;
        // Centred in the top or the bottom margin.
        double y = top ? (m_margins[1] - height) / 2 : pageHeight() - m_margins[3] + (m_margins[3] - height) / 2;
        for (const Line &line : lines) {
            placeLine(band, line, m_margins[0], contentWidth(), y);
            y += line.height;
        }
    }
    for (const TextItem &item : std::as_const(band.texts)) {
        painter.setFont(item.font);
        painter.drawText(item.baseline, item.text);
    }
}

void PageComposer::drawPage(QPainter &painter, int index) const
{
    if (index < 0 || index >= m_pages.size())
        return;
    const Page &page = m_pages.at(index);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // A chart's grid lies under its bars.
    for (const StrokeItem &stroke : page.strokes) {
        QPen pen(stroke.colour, stroke.width, stroke.style);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(stroke.line);
    }
    for (const FillItem &fill : page.fills) {
        painter.fillRect(fill.rect, fill.colour);
        if (fill.hatch != Qt::SolidPattern && fill.hatch != Qt::NoBrush)
            drawHatch(painter, fill.rect, fill.hatch);
    }
    painter.setPen(Qt::black);
    drawBand(painter, m_header, index + 1, true);
    for (const TextItem &item : page.texts) {
        painter.setFont(item.font);
        if (painter.pen().color() != item.colour)
            painter.setPen(item.colour);
        painter.drawText(item.baseline, item.text);
    }
    painter.setPen(Qt::black);
    drawBand(painter, m_footer, index + 1, false);
    QPen rule(Qt::black, RuleWidth);
    rule.setCapStyle(Qt::SquareCap);
    painter.setPen(rule);
    for (const QLineF &line : page.rules)
        painter.drawLine(line);
    painter.restore();
}

bool PageComposer::render(QPagedPaintDevice *device, const std::function<bool(int)> &beforePage) const
{
    if (m_state != State::Ended || m_pages.isEmpty() || !device)
        return false;
    QPainter painter;
    if (!painter.begin(device))
        return false;
    const double sx = device->logicalDpiX() / double(TwipsPerInch);
    const double sy = device->logicalDpiY() / double(TwipsPerInch);
    for (int i = 0; i < m_pages.size(); ++i) {
        if (beforePage && !beforePage(i + 1)) {
            painter.end();
            return false;
        }
        if (i > 0 && !device->newPage()) {
            painter.end();
            return false;
        }
        painter.save();
        painter.scale(sx, sy);
        drawPage(painter, i);
        painter.restore();
    }
    return painter.end();
}

bool PageComposer::writePdf(const QString &path, QString *error) const
{
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Rozodivo Velorin"));
    writer.setPageLayout(
        QPageLayout(m_pageSize, m_orientation == Orientation::Portrait ? QPageLayout::Portrait : QPageLayout::Landscape,
                    QMarginsF(0, 0, 0, 0)));
    if (render(&writer))
        return true;
    if (error)
        *error = QStringLiteral("Impossible d'écrire le fichier « %1 ».").arg(path);
    return false;
}
