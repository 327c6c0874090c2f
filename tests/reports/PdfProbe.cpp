#include "PdfProbe.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace PdfProbe {

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList pages(int page)
{
    return page > 0 ? QStringList{"-f", QString::number(page), "-l", QString::number(page)} : QStringList();
}

} // namespace

QString text(const QString &pdf, int page)
{
    return run("pdftotext", QStringList{"-layout", "-enc", "UTF-8"} + pages(page) + QStringList{pdf, "-"});
}

QList<Word> words(const QString &pdf, int page)
{
    static const QRegularExpression word(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>");
    QList<Word> result;
    const QString html = run("pdftotext", QStringList{"-bbox", "-enc", "UTF-8"} + pages(page) + QStringList{pdf, "-"});
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        result.append({m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                             QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return result;
}

QImage render(const QString &pdf, int page, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath("page");
    run("pdftoppm", pages(page) + QStringList{"-r", QString::number(dpi), "-singlefile", "-png", pdf, prefix});
    return QImage(prefix + ".png");
}

} // namespace PdfProbe
