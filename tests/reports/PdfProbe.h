#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

// Reads a PDF file through poppler's command-line tools, as a reader would
// see it: text, page count, word boxes and rendered pages.
namespace PdfProbe {

// The text of one page (from 1), or of every page with 0, laid out.
QString text(const QString &pdf, int page = 0);
int pageCount(const QString &pdf);
// Page size in points, "595 x 842" for A4 portrait.
QString pageSize(const QString &pdf);

struct Word
{
    QString text;
    QRectF box; // points, from the top-left corner
    int page = 1;
};
QList<Word> words(const QString &pdf);
// The first word of that text; an empty box when there is none.
Word word(const QString &pdf, const QString &text, int page = 0);

// One page rendered at `dpi`.
QImage render(const QString &pdf, int page, int dpi);

} // namespace PdfProbe
