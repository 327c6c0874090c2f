#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

// Reads a PDF file through poppler's command-line tools, as a reader would
// see it: text, page count, word boxes and rendered pages.
namespace PdfProbe {

// The laid-out text of one page (from 1), or of every page with 0; pages end with a form feed.
QString text(const QString &pdf, int page = 0);
inline int pageCount(const QString &pdf)
{
    return int(text(pdf).count(QLatin1Char('\f')));
}

// The words of one page (from 1) in reading order, with their boxes in points from the top-left corner.
struct Word
{
    QString text;
    QRectF box;
};
QList<Word> words(const QString &pdf, int page);

QImage render(const QString &pdf, int page, int dpi);

} // namespace PdfProbe
