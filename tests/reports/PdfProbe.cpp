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

QString info(const QString &pdf, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1:\\s+(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(run(QStringLiteral("pdfinfo"), {pdf})).captured(1).trimmed();
}

QStringList pages(int page)
{
    return {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page)};
}

} // namespace

QString text(const QString &pdf, int page)
{
    return run(QStringLiteral("pdftotext"),
               QStringList{QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8")} +
                   (page > 0 ? pages(page) : QStringList()) + QStringList{pdf, "-"});
}

int pageCount(const QString &pdf)
{
    return info(pdf, QStringLiteral("Pages")).toInt();
}

QString pageSize(const QString &pdf)
{
    return info(pdf, QStringLiteral("Page size")).section(QLatin1String(" pts"), 0, 0);
}

QList<Word> words(const QString &pdf)
{
    static const QRegularExpression item(QStringLiteral(
        "<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Word> result;
    int page = 0;
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), "-enc", "UTF-8", pdf, "-"});
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        result.append(
            {m.captured(5), QRectF(topLeft, QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())), page});
    }
    return result;
}

QImage render(const QString &pdf, int page, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"), QStringList{QStringLiteral("-r"), QString::number(dpi)} + pages(page) +
                                        QStringList{QStringLiteral("-singlefile"), "-png", pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

} // namespace PdfProbe
