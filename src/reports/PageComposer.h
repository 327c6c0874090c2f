#pragma once

#include "BarChart.h"
#include "RichText.h"

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QList>
#include <QMap>
#include <QPageSize>
#include <QRectF>
#include <QString>

#include <functional>
#include <variant>

class QPagedPaintDevice;
class QPainter;

// The page composer every printed document goes through: a header and a
// three-part footer on each page, paragraphs of rich text and ruled tables
// that flow over as many pages as they need.
//
// All positions and sizes are in twips (1440 to the inch, 20 to the point).
// The document is laid out once, in twips, whatever it is drawn on; drawing
// scales to the device, so a printer, a PDF file and a preview show the same
// pages with the same breaks.
//
// A document's life: startDoc() (a new, empty document), paragraphs and
// tables, endDoc() (ended and paginated), then drawn any number of times;
// abandonDoc() drops it. Content given while no document is open is ignored.
class PageComposer
{
public:
    static constexpr int TwipsPerInch = 1440;
    static constexpr int TwipsPerPoint = 20;

    enum class Orientation { Portrait, Landscape };
    enum class State { Idle, Open, Ended };
    enum class TableBorder { None, Outline, All };

    PageComposer();

    // Page set-up. Changing it after endDoc() paginates the document again.
    void setOrientation(Orientation orientation);
    Orientation orientation() const { return m_orientation; }
    void setPageSize(const QPageSize &size);
    const QPageSize &pageSize() const { return m_pageSize; }
    int pageWidth() const;  // twips, oriented
    int pageHeight() const; // twips, oriented
    void setMargins(int left, int top, int right, int bottom);
    int leftMargin() const { return m_margins[0]; }
    int topMargin() const { return m_margins[1]; }
    // Twips between the left and right margins.
    double contentWidth() const { return pageWidth() - m_margins[0] - m_margins[2]; }

    // Fonts: the body (paragraphs and tables) and the header and footer.
    // "Arial" is drawn in Liberation Sans and "Verdana" in DejaVu Sans where
    // those families are missing.
    void setBodyFont(const QString &family, double pointSize, bool bold = false);
    void setHeaderFooterFont(const QString &family, double pointSize, bool bold);

    // "left|centre|right", each part rich text; "%d" is the page number.
    void setHeader(const QString &text);
    void setFooter(const QString &text);
    const QString &header() const { return m_header; }
    const QString &footer() const { return m_footer; }

    void startDoc();
    void endDoc();
    void abandonDoc();
    State state() const { return m_state; }

    // The font and alignment of the paragraphs (and tables) that follow.
    void setFontSize(double points);
    double fontSize() const { return m_fontSize; }
    void setFontBold(bool bold);
    void setParagraphAlignment(Qt::Alignment alignment);
    // One paragraph of rich text ("\par" inside starts further ones); the
    // empty text prints an empty line.
    void paragraph(const QString &text);

    // Tables: rows and columns are numbered from 1. A table takes the font of
    // the moment it starts; each cell may change its size and weight. Cell
    // texts are plain text, wrapped within the cell. A table narrower than
    // the page is centred between the margins.
    void setTableBorder(TableBorder border) { m_tableBorder = border; }
    void startTable(int rows = 0, int columns = 0);
    void setTableRows(int rows);
    void setTableColumns(int columns);
    void setColumnWidth(int column, int twips);
    void setColumnAlignment(int column, Qt::Alignment alignment);
    // Rows repeated at the top of every page the table continues on.
    void setHeaderRows(int rows);
    void setCellText(int row, int column, const QString &text);
    void setCellAlignment(int row, int column, Qt::Alignment alignment);
    void setCellBackground(int row, int column, const QColor &colour);
    void setCellFontSize(int row, int column, double points);
    void setCellBold(int row, int column, bool bold);
    // The cell stretches over `columns` columns; the cells it covers are not drawn.
    void setCellSpan(int row, int column, int columns);
    void endTable();

    // The next content starts on a new page (nothing happens at the top of an empty page).
    void pageBreak();
    // A horizontal bar chart across the width between the margins, kept on
    // one page when it fits on one.
    void barChart(const BarChart &chart);

    // Pages of the ended document.
    int pageCount() const { return int(m_pages.size()); }
    // Draws a page (from 0) on a painter whose unit is the twip and whose
    // origin is the page's top-left corner.
    void drawPage(QPainter &painter, int index) const;
    // Draws every page on the device, from its top-left corner, scaled to its
    // resolution. `beforePage` (page number from 1) may stop the drawing by
    // returning false. False when nothing could be drawn or drawing stopped.
    bool render(QPagedPaintDevice *device, const std::function<bool(int)> &beforePage = {}) const;
    // Writes the ended document to a PDF file at 1200 dpi.
    bool writePdf(const QString &path, QString *error = nullptr) const;

    // What a page holds, for drawing and for inspection.
    struct TextItem
    {
        QPointF baseline;
        QFont font;
        QString text;
        QColor colour = Qt::black;
    };
    // A rectangle filled with a colour, hatched with lines where `hatch` is
    // one of Qt's line patterns (Hor, Ver, Cross, BDiag, FDiag, DiagCross).
    struct FillItem
    {
        QRectF rect;
        QColor colour;
        Qt::BrushStyle hatch = Qt::SolidPattern;
    };
    // A thin line in a colour of its own (a chart's grid).
    struct StrokeItem
    {
        QLineF line;
        QColor colour;
        double width = 0;
        Qt::PenStyle style = Qt::SolidLine;
    };
    struct Page
    {
        QList<FillItem> fills;
        QList<StrokeItem> strokes;
        QList<TextItem> texts;
        QList<QLineF> rules;
    };
    const Page &page(int index) const { return m_pages.at(index); }

private:
    struct Cell
    {
        QString text;
        Qt::Alignment alignment;
        bool hasAlignment = false;
        QColor background;
        double fontSize = 0;
        int bold = -1; // -1: the table's
        int span = 1;
    };
    struct Table
    {
        int rows = 0;
        int columns = 0;
        QMap<int, int> widths;
        QMap<int, Qt::Alignment> alignments;
        QMap<std::pair<int, int>, Cell> cells;
        int headerRows = 0;
        TableBorder border = TableBorder::All;
        double fontSize = 0;
        bool bold = false;
    };
    struct Paragraph
    {
        QString text;
        double fontSize = 0;
        bool bold = false;
        Qt::Alignment alignment;
    };
    struct PageBreak
    {
    };
    using Block = std::variant<Paragraph, Table, PageBreak, BarChart>;

    // A laid-out line: its items with x from the line's left edge.
    struct Line
    {
        QList<TextItem> items;
        double width = 0;
        double ascent = 0;
        double height = 0;
        Qt::Alignment alignment;
    };

    QFont font(const QString &family, double points, bool bold) const;
    QList<Line> breakLines(const QList<RichParagraph> &paragraphs, const QString &family, double width) const;
    void placeLine(Page &page, const Line &line, double left, double width, double top) const;
    void layout();
    void layoutTable(const Table &table, double &y);
    // Lays the chart out from `y`, over as many pages as it needs; true when it placed anything.
    bool layoutChart(const BarChart &chart, double &y, bool placed);
    void newPage(double &y);
    double contentTop() const { return m_margins[1]; }
    double contentBottom() const { return pageHeight() - m_margins[3]; }
    void drawBand(QPainter &painter, const QString &text, int pageNumber, bool top) const;
    static void drawHatch(QPainter &painter, const QRectF &rect, Qt::BrushStyle hatch);
    Table *currentTable();
    Cell *cell(int row, int column);

    Orientation m_orientation = Orientation::Portrait;
    QPageSize m_pageSize;
    int m_margins[4] = {1440, 1440, 1440, 1440};
    QString m_bodyFamily;
    double m_bodySize;
    bool m_bodyBold = false;
    QString m_bandFamily;
    double m_bandSize;
    bool m_bandBold;
    QString m_header;
    QString m_footer;

    State m_state = State::Idle;
    double m_fontSize;
    bool m_fontBold = false;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    TableBorder m_tableBorder = TableBorder::All;
    QList<Block> m_blocks;
    bool m_inTable = false;
    QList<Page> m_pages;
};
