// The page composer judged by what it writes: PDF files read back with
// poppler's tools, and the printer path with its dialog.
#include "PdfProbe.h"

#include "common/ScriptedDialogs.h"
#include "reports/PageComposer.h"
#include "reports/PageFrame.h"
#include "reports/ReportPrinter.h"
#include "reports/RichText.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// "C:" or "L:" then each run as [bold, size, text]; paragraphs joined by "|".
static QString describe(const QList<RichParagraph> &paragraphs)
{
    QStringList out;
    for (const RichParagraph &p : paragraphs) {
        QString line = p.alignment & Qt::AlignHCenter ? u"C:"_s : u"L:"_s;
        for (const TextRun &run : p.runs)
            line += u"[%1%2%3]"_s.arg(run.bold ? "b" : "").arg(run.pointSize).arg(run.text);
        out << line;
    }
    return out.join(QLatin1Char('|'));
}

class TestPageComposer : public QObject
{
    Q_OBJECT
private slots:
    void richText()
    {
        const QList<std::pair<QString, QString>> cases = {
            {"", "L:"},
            {"{\\b Dupont   {\\fs16 Cadre supérieur}}", "L:[b14Dupont   ][b8Cadre supérieur]"},
            {"{Commune : {\\b }}", "L:[14Commune : ]"},
            {"{\\qc{ Classe : CP A}\\par}", "C:[14 Classe : CP A]"},
            {"un\\par\\par deux", "L:[14un]|L:|L:[14deux]"},
            {"\\b gras\\b0  \\{x\\}\\\\", "L:[b14gras][14 {x}\\]"},
            // A typed value keeps its braces and backslashes.
            {EscapeRichText(u"a{b}\\c"_s), "L:[14a{b}\\c]"}};
        for (const auto &[text, expected] : cases)
            QCOMPARE(describe(ParseRichText(text, false, 14)), expected);
    }

    void composedPrintedAndWritten()
    {
        QTemporaryDir dir;
        const QString printed = dir.filePath("printed.pdf"), pdf = dir.filePath("direct.pdf");
        const QString title = u"Rozodivo Velorin - v1.0.0"_s;
        const QString footer = StandardFooter(QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5)), title);
        const QColor lightBlue(0xCE, 0xEE, 0xFD), grey(0xE0, 0xE0, 0xE0);
        ScriptedDialogs dialogs;
        ReportPrinter printer;
        PageComposer &doc = printer.document();
        printer.printer()->setOutputFileName(printed);
        // Printing cancelled: nothing printed, the document abandoned.
        StartPageFrame(doc, u"Liste des élèves"_s, footer);
        dialogs.queuePrintAnswer(false);
        QVERIFY(!printer.confirmAndPrint(dialogs));
        QVERIFY(!QFile::exists(printed));
        QCOMPARE(doc.state(), PageComposer::State::Idle);
        QCOMPARE(dialogs.titles(), QStringList{"PrintDialog"});

        // Runs in three styles; 60 pupils under two header rows (a group "Langage" spanning
        // three columns on light blue, even lines grey); then 90 paragraphs.
        StartPageFrame(doc, u"Informations sur l'école"_s, footer);
        doc.paragraph(u"Regular mmmmmm\\par{\\b Bold mmmmmm}\\par{\\fs16 Small mmmmmm}"_s);
        doc.setFontSize(8);
        doc.setFontBold(true);
        doc.startTable(62, 5);
        doc.setHeaderRows(2);
        doc.setCellSpan(1, 2, 3);
        doc.setCellBackground(1, 2, lightBlue);
        for (int c = 1; c <= 5; ++c) {
            doc.setColumnWidth(c, c == 1 ? 3000 : 1200);
            doc.setColumnAlignment(c, (c == 1 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
            doc.setCellText(1, c, QStringList{"NOM", "Langage", "", "", "Profil"}.at(c - 1));
            doc.setCellText(2, c, c == 1 ? QString() : u"%1°trim"_s.arg(c - 1));
            for (int r = 3; r <= 62; ++r) {
                doc.setCellText(r, c, c == 1 ? u"Ligne %1"_s.arg(r - 2) : u"2"_s);
                if (r % 2 == 0 && c > 1)
                    doc.setCellBackground(r, c, grey);
            }
        }
        doc.endTable();
        for (int i = 1; i <= 90; ++i)
            doc.paragraph(u"Paragraphe %1"_s.arg(i));
        dialogs.queuePrintAnswer(true);
        QVERIFY(printer.confirmAndPrint(dialogs));

        // The printer shows the same pages as a PDF written directly.
        QVERIFY(doc.writePdf(pdf));
        QCOMPARE(PdfProbe::pageCount(printed), doc.pageCount());
        QCOMPARE(PdfProbe::text(printed), PdfProbe::text(pdf));
        // On every page its title, the same date and time, the page number in the centre.
        const QString frame =
            "Informations sur l'école.*Le 06-12-2026 +à 18:30:05 +-%1- +" + QRegularExpression::escape(title);
        for (int page = 1; page <= doc.pageCount(); ++page)
            QVERIFY(PdfProbe::text(pdf, page).contains(
                QRegularExpression(frame.arg(page), QRegularExpression::DotMatchesEverythingOption)));
        // The table goes on over the page, under its header rows again; nothing lost or repeated.
        const QString second = PdfProbe::text(pdf, 2);
        QVERIFY(second.contains(u"Ligne 60"_s) && !PdfProbe::text(pdf, 1).contains("Ligne 60"));
        QVERIFY(second.contains(u"Langage"_s) && second.contains(u"3°trim"_s));
        QCOMPARE(PdfProbe::text(pdf).count(u"Paragraphe "_s), 90);

        // The boxes of the words on page 1, in points.
        const QList<PdfProbe::Word> words = PdfProbe::words(pdf, 1);
        const auto box = [&](const QString &text, int nth = 0) {
            for (const PdfProbe::Word &w : words)
                if (w.text == text && nth-- == 0)
                    return w.box;
            return QRectF();
        };
        // Bold glyphs are wider than regular ones at 14 points; 8-point ones are smaller.
        QVERIFY(box("mmmmmm", 1).width() > box("mmmmmm").width() * 1.02);
        QVERIFY(box("mmmmmm", 2).height() < box("mmmmmm").height() * 0.7);
        // The table is centred on the page; "Langage" centred over its three 60-point columns.
        const double left = (11900 - 3000 - 4 * 1200) / 2.0 / 20, boundary = left + 150 + 60;
        QVERIFY(qAbs(box("Langage").center().x() - (left + 150 + 90)) < 2);
        // Pixels rendered at 2 per point, on the line of a word.
        const QImage page = PdfProbe::render(pdf, 1, 144);
        QCOMPARE(page.size(), QSize(1190, 1684)); // A4 portrait
        const auto pixel = [&](double x, const QString &word, int nth = 0) {
            return page.pixelColor(int(x * 2), int(box(word, nth).center().y() * 2));
        };
        // Between the group's first two columns: no rule inside the span, one below it.
        int darkest = 255;
        for (double dx = -1; dx <= 1; dx += 0.5) {
            QCOMPARE(pixel(boundary + dx, "NOM"), lightBlue);
            darkest = qMin(darkest, pixel(boundary + dx, "1°trim").lightness());
        }
        QVERIFY(darkest < 100);
        QCOMPARE(pixel(left + 170, "Ligne", 0), QColor(Qt::white)); // the first pupil line is not grey
        QCOMPARE(pixel(left + 170, "Ligne", 1), grey);
    }
};

QTEST_MAIN(TestPageComposer)
#include "tst_pagecomposer.moc"
