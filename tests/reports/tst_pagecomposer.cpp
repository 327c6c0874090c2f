// The page composer judged by what it writes: PDF files read back with
// poppler's tools, and the printer path with its dialog.
#include "PdfProbe.h"

#include "common/ScriptedDialogs.h"
#include "reports/PageComposer.h"
#include "reports/PageFrame.h"
#include "reports/ReportPrinter.h"
#include "reports/RichText.h"

#include <QFile>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Title = QStringLiteral("Rozodivo Velorin - v1.0.0");
const QString Footer = StandardFooter(QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5)), Title);
const QColor LightBlue(0xCE, 0xEE, 0xFD);
const QColor Grey(0xE0, 0xE0, 0xE0);

// "C:" or "L:" then each run as [bold, size, text]; paragraphs joined by "|".
QString describe(const QList<RichParagraph> &paragraphs)
{
    QStringList out;
    for (const RichParagraph &p : paragraphs) {
        QString line = p.alignment & Qt::AlignHCenter ? QStringLiteral("C:") : QStringLiteral("L:");
        for (const TextRun &run : p.runs)
            line += QStringLiteral("[%1%2%3]").arg(run.bold ? "b" : "").arg(run.pointSize).arg(run.text);
        out << line;
    }
    return out.join(QLatin1Char('|'));
}

// `rows` pupils under two header rows: names, a group "Langage" spanning three
// columns on light blue, a profile column; even rows grey.
void composeTable(PageComposer &doc, int rows)
{
    doc.setFontSize(8);
    doc.setFontBold(true);
    doc.startTable(rows + 2, 5);
    doc.setHeaderRows(2);
    for (int c = 1; c <= 5; ++c) {
        doc.setColumnWidth(c, c == 1 ? 3000 : 1200);
        doc.setColumnAlignment(c, (c == 1 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
        if (c > 1)
            doc.setCellText(2, c, QStringLiteral("%1°trim").arg(c - 1));
    }
    doc.setCellText(1, 1, QStringLiteral("NOM"));
    doc.setCellText(1, 2, QStringLiteral("Langage"));
    doc.setCellSpan(1, 2, 3);
    doc.setCellBackground(1, 2, LightBlue);
    doc.setCellText(1, 5, QStringLiteral("Profil"));
    for (int r = 3; r <= rows + 2; ++r) {
        doc.setCellText(r, 1, QStringLiteral("Ligne %1").arg(r - 2));
        for (int c = 2; c <= 5; ++c) {
            doc.setCellText(r, c, QStringLiteral("2"));
            if (r % 2 == 0)
                doc.setCellBackground(r, c, Grey);
        }
    }
    doc.endTable();
}

} // namespace

class TestPageComposer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void richText()
    {
        const QList<std::pair<QString, QString>> cases = {
            {"Liste des élèves", "L:[14Liste des élèves]"},
            {"", "L:"},
            {"{\\b Dupont   {\\fs16 Cadre supérieur}}", "L:[b14Dupont   ][b8Cadre supérieur]"},
            {"{Commune : {\\b }}", "L:[14Commune : ]"},
            {"{\\qc{ Classe : CP A}\\par}", "C:[14 Classe : CP A]"},
            {"un\\par\\par deux", "L:[14un]|L:|L:[14deux]"},
            {"\\b gras\\b0  \\{x\\}\\\\", "L:[b14gras][14 {x}\\]"},
            {"{\\fs16 -%d-}", "L:[8-%d-]"},
            // A typed value keeps its braces and backslashes.
            {EscapeRichText(QStringLiteral("a{b}\\c")), "L:[14a{b}\\c]"}};
        for (const auto &[text, expected] : cases)
            QCOMPARE(describe(ParseRichText(text, false, 14)), expected);
    }

    void frameAndTableOverPages()
    {
        PageComposer doc;
        StartPageFrame(doc, QStringLiteral("Informations sur l'école"), Footer);
        composeTable(doc, 60);
        for (int i = 1; i <= 90; ++i)
            doc.paragraph(QStringLiteral("Paragraphe %1").arg(i));
        doc.endDoc();
        const QString pdf = path("frame.pdf");
        QVERIFY(doc.writePdf(pdf));
        QVERIFY(doc.pageCount() >= 3);
        QCOMPARE(PdfProbe::pageCount(pdf), doc.pageCount());
        QCOMPARE(PdfProbe::pageSize(pdf), QStringLiteral("595 x 842"));
        for (int page = 1; page <= doc.pageCount(); ++page) {
            const QString text = PdfProbe::text(pdf, page);
            QVERIFY(text.contains(QStringLiteral("Informations sur l'école")));
            // The same date and time on every page; the page number in the centre.
            const QString footer = QStringLiteral("Le 06-12-2026 +à 18:30:05 +-%1- +%2");
            QVERIFY2(text.contains(QRegularExpression(footer.arg(page).arg(QRegularExpression::escape(Title)))),
                     qPrintable(text.right(200)));
        }
        // The table goes on over the page, under its header rows again; nothing lost or repeated.
        const QString second = PdfProbe::text(pdf, 2);
        QVERIFY(second.contains(QStringLiteral("Ligne 60")) && !PdfProbe::text(pdf, 1).contains("Ligne 60"));
        QVERIFY(second.contains(QStringLiteral("Langage")) && second.contains(QStringLiteral("3°trim")));
        const QString all = PdfProbe::text(pdf);
        QCOMPARE(all.count(QStringLiteral("Paragraphe 45\n")), 1);
        QVERIFY(all.contains(QStringLiteral("Paragraphe 90")));

        // Centres of the words on page 1, at 2 pixels per point as rendered.
        const QList<PdfProbe::Word> words = PdfProbe::words(pdf);
        const auto at = [&](const QString &text, int nth = 0) {
            for (const PdfProbe::Word &w : words)
                if (w.page == 1 && w.text == text && nth-- == 0)
                    return w.box.center() * 2;
            return QPointF();
        };
        // The table is centred on the page; "Langage" centred over its three 60-point columns.
        const double left = (11900 - 3000 - 4 * 1200) / 2.0 / 20;
        QVERIFY(qAbs(at("Langage").x() / 2 - (left + 150 + 90)) < 2);
        const QImage page = PdfProbe::render(pdf, 1, 144);
        const auto colourNear = [&](double x, const QPointF &row, const QColor &c) {
            const QColor p = page.pixelColor(int(x * 2), int(row.y()));
            return qAbs(p.red() - c.red()) + qAbs(p.green() - c.green()) + qAbs(p.blue() - c.blue()) < 24;
        };
        const auto darkest = [&](double x, const QPointF &row) { // within two pixels
            int lightness = 255;
            for (int dx = -2; dx <= 2; ++dx)
                lightness = qMin(lightness, page.pixelColor(int(x * 2) + dx, int(row.y())).lightness());
            return lightness;
        };
        const double boundary = left + 150 + 60; // between the first and second group columns
        QVERIFY(colourNear(boundary, at("NOM"), LightBlue));
        QVERIFY(darkest(boundary, at("NOM")) > 200);                // no rule inside the span
        QVERIFY(darkest(boundary, at("1°trim")) < 100);             // ruled below it
        QVERIFY(colourNear(left + 170, at("Ligne", 0), Qt::white)); // the first pupil line is not grey
        QVERIFY(colourNear(left + 170, at("Ligne", 1), Grey));
    }

    void runsOnLandscapePages()
    {
        PageComposer doc;
        doc.setOrientation(PageComposer::Orientation::Landscape);
        QCOMPARE(doc.pageWidth(), 842 * 20);
        doc.startDoc();
        doc.setFontSize(14);
        for (const char *text : {"Regular mmmmmm", "{\\b Bold mmmmmm}", "{\\fs16 Small mmmmmm}"})
            doc.paragraph(QString::fromUtf8(text));
        doc.endDoc();
        QVERIFY(doc.writePdf(path("runs.pdf")));
        QCOMPARE(PdfProbe::pageSize(path("runs.pdf")), QStringLiteral("842 x 595"));
        QList<QRectF> boxes;
        for (const PdfProbe::Word &w : PdfProbe::words(path("runs.pdf")))
            if (w.text == QLatin1String("mmmmmm"))
                boxes.append(w.box);
        QCOMPARE(boxes.size(), 3);
        // Bold glyphs are wider than regular ones at 14 points; 8-point ones are smaller.
        QVERIFY(boxes.at(1).width() > boxes.at(0).width() * 1.02);
        QVERIFY(boxes.at(2).height() < boxes.at(0).height() * 0.7);
    }

    void printDialogConfirmsOrAbandons()
    {
        ScriptedDialogs dialogs;
        ReportPrinter printer;
        const QString out = path("printed.pdf");
        printer.printer()->setOutputFileName(out);

        StartPageFrame(printer.document(), QStringLiteral("Liste des élèves"), Footer);
        printer.document().paragraph(QStringLiteral("{\\b Dupont}"));
        dialogs.queuePrintAnswer(false);
        QVERIFY(!printer.confirmAndPrint(dialogs));
        QVERIFY(!QFile::exists(out));
        QCOMPARE(printer.document().state(), PageComposer::State::Idle);
        QCOMPARE(dialogs.titles(), QStringList{"PrintDialog"});

        StartPageFrame(printer.document(), QStringLiteral("Liste des élèves"), Footer);
        composeTable(printer.document(), 60);
        dialogs.queuePrintAnswer(true);
        QVERIFY(printer.confirmAndPrint(dialogs));
        QCOMPARE(printer.document().state(), PageComposer::State::Ended);
        // The printer and the preview show the same pages as a PDF written directly.
        QVERIFY(printer.document().writePdf(path("direct.pdf")));
        QCOMPARE(PdfProbe::pageCount(out), 2);
        QCOMPARE(PdfProbe::text(out), PdfProbe::text(path("direct.pdf")));
        QPrinter previewPrinter;
        std::unique_ptr<QPrintPreviewWidget> preview(CreatePreview(printer.document(), &previewPrinter));
        preview->updatePreview();
        QCOMPARE(preview->pageCount(), 2);
    }
};

QTEST_MAIN(TestPageComposer)
#include "tst_pagecomposer.moc"
