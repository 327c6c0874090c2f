#include "PdfProbe.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace PdfProbe {

namespace {

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

QString info(const QString &pdf, const QString &key)
{
    const QString out = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {pdf}));
    const QRegularExpression line(QStringLiteral("^%1:\\s+(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(out).captured(1).trimmed();
}

} // namespace

QString text(const QString &pdf, int page)
{
    QStringList arguments{QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (page > 0)
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    arguments << pdf << QStringLiteral("-");
    return QString::fromUtf8(run(QStringLiteral("pdftotext"), arguments));
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
    const QString html =
        QString::fromUtf8(run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-enc"),
                                                            QStringLiteral("UTF-8"), pdf, QStringLiteral("-")}));
    static const QRegularExpression item(QStringLiteral(
        "<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Word> result;
    int page = 0;
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        const double x0 = m.captured(1).toDouble(), y0 = m.captured(2).toDouble();
        result.append(
            {m.captured(5), QRectF(x0, y0, m.captured(3).toDouble() - x0, m.captured(4).toDouble() - y0), page});
    }
    return result;
}

Word word(const QString &pdf, const QString &text, int page)
{
    for (const Word &w : words(pdf))
        if (w.text == text && (page == 0 || w.page == page))
            return w;
    return {};
}

QImage render(const QString &pdf, int page, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
         QString::number(page), QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

} // namespace PdfProbe
