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

const QDateTime PrintedAt(QDate(2026, 12, 6), QTime(18, 30, 5));
const QString Title = QStringLiteral("Rozodivo Velorin - v1.0.0");
const QColor LightBlue(0xCE, 0xEE, 0xFD);
const QColor Grey(0xE0, 0xE0, 0xE0);

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

// A table of `rows` pupils under two header rows: the name column, a group
// "Langage" over three columns on light blue, and a profile column; even
// rows grey.
void composeTable(PageComposer &doc, int rows)
{
    doc.setFontSize(8);
    doc.setFontBold(true);
    doc.startTable(rows + 2, 5);
    doc.setHeaderRows(2);
    for (int c = 1; c <= 5; ++c) {
        doc.setColumnWidth(c, c == 1 ? 3000 : 1200);
        doc.setColumnAlignment(c, (c == 1 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
    }
    doc.setCellText(1, 1, QStringLiteral("NOM"));
    doc.setCellText(1, 2, QStringLiteral("Langage"));
    doc.setCellSpan(1, 2, 3);
    doc.setCellBackground(1, 2, LightBlue);
    doc.setCellText(1, 5, QStringLiteral("Profil"));
    for (int c = 2; c <= 5; ++c)
        doc.setCellText(2, c, QStringLiteral("%1°trim").arg(c - 1));
    for (int r = 3; r <= rows + 2; ++r) {
        doc.setCellText(r, 1, QStringLiteral("Ligne %1").arg(r - 2));
        doc.setCellFontSize(r, 1, 10);
        doc.setCellBold(r, 1, false);
        for (int c = 2; c <= 5; ++c) {
            doc.setCellText(r, c, QStringLiteral("2"));
            if (r % 2 == 0)
                doc.setCellBackground(r, c, Grey);
        }
    }
    doc.endTable();
}

// The darkest pixel within two pixels of (x, y) on the same line.
int darkest(const QImage &image, int x, int y)
{
    int lightness = 255;
    for (int dx = -2; dx <= 2; ++dx)
        lightness = qMin(lightness, image.pixelColor(x + dx, y).lightness());
    return lightness;
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 24;
}

} // namespace

class TestPageComposer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void richTextFragments_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Liste des élèves"
                               << "L:[14Liste des élèves]";
        QTest::newRow("empty line") << ""
                                    << "L:";
        QTest::newRow("pupil line") << "{\\b Dupont   {\\fs16 Cadre supérieur}}"
                                    << "L:[b14Dupont   ][b8Cadre supérieur]";
        QTest::newRow("record field") << "{Commune : {\\b }}"
                                      << "L:[14Commune : ]";
        QTest::newRow("centred title") << "{\\qc{ Classe : CP A}\\par}"
                                       << "C:[14 Classe : CP A]";
        QTest::newRow("breaks") << "un\\par\\par deux"
                                << "L:[14un]|L:|L:[14deux]";
        QTest::newRow("bold off, escapes") << "\\b gras\\b0  \\{x\\}\\\\"
                                           << "L:[b14gras][14 {x}\\]";
        QTest::newRow("footer part") << "{\\fs16 -%d-}"
                                     << "L:[8-%d-]";
    }
    void richTextFragments()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(describe(ParseRichText(text, false, 14)), expected);
        // A typed value keeps its braces and backslashes.
        QCOMPARE(describe(ParseRichText(EscapeRichText(QStringLiteral("a{b}\\c")), false, 14)),
                 QStringLiteral("L:[14a{b}\\c]"));
    }

    void headerAndFooterOnEveryPage()
    {
        PageComposer doc;
        StartPageFrame(doc, QStringLiteral("Informations sur l'école"), StandardFooter(PrintedAt, Title));
        for (int i = 1; i <= 90; ++i)
            doc.paragraph(QStringLiteral("Paragraphe %1").arg(i));
        doc.endDoc();
        QVERIFY(doc.writePdf(path("frame.pdf")));
        QCOMPARE(PdfProbe::pageCount(path("frame.pdf")), doc.pageCount());
        QVERIFY(doc.pageCount() >= 3);
        QCOMPARE(PdfProbe::pageSize(path("frame.pdf")), QStringLiteral("595 x 842"));
        for (int page = 1; page <= doc.pageCount(); ++page) {
            const QString text = PdfProbe::text(path("frame.pdf"), page);
            QVERIFY(text.contains(QStringLiteral("Informations sur l'école")));
            // The same date and time on every page; the page number in the centre.
            QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Le 06-12-2026 +à 18:30:05 +-%1- +%2")
                                                          .arg(page)
                                                          .arg(QRegularExpression::escape(Title)))),
                     qPrintable(text.right(200)));
        }
        // Nothing lost or repeated between pages.
        const QString all = PdfProbe::text(path("frame.pdf"));
        QCOMPARE(all.count(QStringLiteral("Paragraphe 45\n")), 1);
        QVERIFY(all.contains(QStringLiteral("Paragraphe 90")));
    }

    void boldAndSizedRuns()
    {
        PageComposer doc;
        StartPageFrame(doc, QString(), QString());
        doc.paragraph(QStringLiteral("Regular mmmmmm"));
        doc.paragraph(QStringLiteral("{\\b Bold mmmmmm}"));
        doc.paragraph(QStringLiteral("{\\fs16 Small mmmmmm}"));
        doc.endDoc();
        QVERIFY(doc.writePdf(path("runs.pdf")));
        QList<QRectF> boxes;
        for (const PdfProbe::Word &w : PdfProbe::words(path("runs.pdf")))
            if (w.text == QLatin1String("mmmmmm"))
                boxes.append(w.box);
        QCOMPARE(boxes.size(), 3);
        // Bold glyphs are wider than regular ones at 14 points; 8-point ones are smaller.
        QVERIFY(boxes.at(1).width() > boxes.at(0).width() * 1.02);
        QVERIFY(boxes.at(2).height() < boxes.at(0).height() * 0.7);
    }

    void tableSpansColoursAndFlow()
    {
        PageComposer doc;
        StartPageFrame(doc, QStringLiteral("Synthèse"), StandardFooter(PrintedAt, Title));
        composeTable(doc, 60);
        doc.endDoc();
        const QString pdf = path("table.pdf");
        QVERIFY(doc.writePdf(pdf));
        QCOMPARE(PdfProbe::pageCount(pdf), 2);
        // The table goes on over the page, under its header rows again.
        const QString second = PdfProbe::text(pdf, 2);
        QVERIFY(second.contains(QStringLiteral("Ligne 60")));
        QVERIFY(second.contains(QStringLiteral("Langage")) && second.contains(QStringLiteral("3°trim")));
        QVERIFY(!PdfProbe::text(pdf, 1).contains(QStringLiteral("Ligne 60")));

        // Centred over its three columns (1200 twips = 60 points each).
        const double left = (11900 - 3000 - 4 * 1200) / 2.0 / 20; // the table is centred on the page
        const PdfProbe::Word group = PdfProbe::word(pdf, QStringLiteral("Langage"), 1);
        QVERIFY(!group.box.isEmpty());
        QVERIFY(qAbs(group.box.center().x() - (left + 150 + 90)) < 2);

        // Colours and rules, at 2 pixels per point.
        const QImage page = PdfProbe::render(pdf, 1, 144);
        const PdfProbe::Word nom = PdfProbe::word(pdf, QStringLiteral("NOM"), 1);
        const double headerY = nom.box.center().y() * 2;
        const int boundary = int((left + 150 + 60) * 2); // between the first and second group columns
        QVERIFY(near(page.pixelColor(boundary, int(headerY)), LightBlue));
        QVERIFY(darkest(page, boundary, int(headerY)) > 200); // no rule inside the span
        const double trimY = PdfProbe::word(pdf, QStringLiteral("1°trim"), 1).box.center().y() * 2;
        QVERIFY(darkest(page, boundary, int(trimY)) < 100); // ruled below it
        QList<double> pupilLines;                           // centres of the "Ligne n" rows
        for (const PdfProbe::Word &w : PdfProbe::words(pdf))
            if (w.page == 1 && w.text == QLatin1String("Ligne"))
                pupilLines.append(w.box.center().y() * 2);
        const int inCell = int((left + 150 + 20) * 2);
        QVERIFY(near(page.pixelColor(inCell, int(pupilLines.at(0))), Qt::white)); // first pupil line: no grey
        QVERIFY(near(page.pixelColor(inCell, int(pupilLines.at(1))), Grey));
    }

    void landscapePages()
    {
        PageComposer doc;
        doc.setOrientation(PageComposer::Orientation::Landscape);
        QCOMPARE(doc.pageWidth(), 842 * 20);
        doc.startDoc();
        doc.paragraph(QStringLiteral("Paysage"));
        doc.endDoc();
        QVERIFY(doc.writePdf(path("landscape.pdf")));
        QCOMPARE(PdfProbe::pageSize(path("landscape.pdf")), QStringLiteral("842 x 595"));
    }

    void printDialogConfirmsOrAbandons()
    {
        ScriptedDialogs dialogs;
        ReportPrinter printer;
        const QString out = path("printed.pdf");
        printer.printer()->setOutputFileName(out);

        StartPageFrame(printer.document(), QStringLiteral("Liste des élèves"), StandardFooter(PrintedAt, Title));
        printer.document().paragraph(QStringLiteral("{\\b Dupont}"));
        dialogs.queuePrintAnswer(false);
        QVERIFY(!printer.confirmAndPrint(dialogs));
        QVERIFY(!QFile::exists(out));
        QCOMPARE(printer.document().state(), PageComposer::State::Idle);
        QCOMPARE(dialogs.titles(), QStringList{"PrintDialog"});

        StartPageFrame(printer.document(), QStringLiteral("Liste des élèves"), StandardFooter(PrintedAt, Title));
        composeTable(printer.document(), 60);
        dialogs.queuePrintAnswer(true);
        QVERIFY(printer.confirmAndPrint(dialogs));
        QCOMPARE(printer.document().state(), PageComposer::State::Ended);
        // The printer shows the same pages as a PDF written directly.
        QVERIFY(printer.document().writePdf(path("direct.pdf")));
        QCOMPARE(PdfProbe::pageCount(out), 2);
        QCOMPARE(PdfProbe::text(out), PdfProbe::text(path("direct.pdf")));

        // And so does the preview.
        QPrinter previewPrinter;
        auto *preview = CreatePreview(printer.document(), &previewPrinter);
        preview->updatePreview();
        QCOMPARE(preview->pageCount(), 2);
        delete preview;
    }
};

QTEST_MAIN(TestPageComposer)
#include "tst_pagecomposer.moc"
