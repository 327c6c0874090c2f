#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

// Reads a PDF file through poppler's command-line tools, as a reader would
// see it: text, page count and size, word boxes and rendered pages.
namespace PdfProbe {

// The laid-out text of one page (from 1), or of every page with 0.
QString text(const QString &pdf, int page = 0);
int pageCount(const QString &pdf);
// In points: "595 x 842" for A4 portrait.
QString pageSize(const QString &pdf);

struct Word
{
    QString text;
    QRectF box; // points, from the top-left corner
    int page = 1;
};
QList<Word> words(const QString &pdf);

QImage render(const QString &pdf, int page, int dpi);

} // namespace PdfProbe
