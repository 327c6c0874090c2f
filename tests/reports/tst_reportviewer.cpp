// The report viewer over a composed synthesis (printing to PDF files through
// the scripted print dialog), "Synthèse" from the main window, and the batch tool.
#include "Generator.h"
#include "PdfProbe.h"
#include "SynthesisFixture.h"
#include "WindowFixture.h"

#include "reports/ReportViewer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTest>

class TestReportViewer : public QObject
{
    Q_OBJECT
private slots:
    void viewerPrintingAndPdfFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        ScriptedDialogs dialogs;
        ReportViewer viewer(dialogs, folder, MakeSynthesisInput(2, 80, QStringLiteral("CP/B ")));
        QVERIFY(dialogs.busyCount() >= 1);
        const int pages = viewer.document().pageCount();
        QCOMPARE(viewer.panel(5)->text(), QStringLiteral("%1 Pages").arg(pages));
        // The preview shows every page, as printed.
        QCOMPARE(viewer.preview()->pageCount(), pages);
        QCOMPARE(viewer.preview()->orientation(), QPageLayout::Landscape);

        // Every page printed, or the page shown.
        const QString all = dir.filePath(QStringLiteral("all.pdf")), one = dir.filePath(QStringLiteral("one.pdf"));
        viewer.printer()->setOutputFileName(all);
        dialogs.queuePrintAnswer(true);
        viewer.toolbarButton(QStringLiteral("printAll"))->trigger();
        QCOMPARE(PdfProbe::pageCount(all), pages);
        viewer.setCurrentPage(3);
        viewer.printer()->setOutputFileName(one);
        dialogs.queuePrintAnswer(true);
        viewer.toolbarButton(QStringLiteral("printPage"))->trigger();
        QCOMPARE(PdfProbe::pageCount(one), 1);
        QVERIFY(PdfProbe::text(one).contains(QStringLiteral("-3-")));
        QCOMPARE(dialogs.titles(), QStringList(2, QStringLiteral("PrintDialog")));

        // The PDF file, named after the label, goes into the data folder: landscape, the
        // class and year, the time of printing, the class line on the last page.
        dialogs.clear();
        viewer.toolbarButton(QStringLiteral("writePdf"))->trigger();
        QCOMPARE(dialogs.titles(), QStringList{"Message"});
        const QString pdf = folder + QStringLiteral("CP_B.pdf"), first = PdfProbe::text(pdf, 1);
        QCOMPARE(PdfProbe::render(pdf, 1, 72).size(), QSize(842, 595));
        for (const char *expected :
             {"Classe : CP/B", "2026-2027", "ÉLÈVE 01 Dupont", "Synthèse du : 06-12-2026", "18:30:05", "-1-"})
            QVERIFY2(first.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(PdfProbe::text(pdf, pages).contains(QStringLiteral("Profil de la classe")));
        // Every column inside the paper: the rightmost word ends before the page's edge.
        double right = 0;
        for (const PdfProbe::Word &w : PdfProbe::words(pdf, 1))
            right = qMax(right, w.box.right());
        QVERIFY2(right < 842 - 20, qPrintable(QString::number(right)));
        // A class without pupils makes one page; a folder that cannot take the file: "Abandon".
        dialogs.clear();
        ReportViewer empty(dialogs, folder + QStringLiteral("absent/"), MakeSynthesisInput(1, 0));
        QCOMPARE(empty.document().pageCount(), 1);
        empty.toolbarClicked(QStringLiteral("writePdf"));
        QCOMPARE(dialogs.titles(), QStringList{"Abandon"});
        QCOMPARE(dialogs.busyDepth(), 0);

        // Shrunk below its bars, the preview keeps 1000 twips.
        viewer.show();
        viewer.resize(300, 40);
        QApplication::processEvents();
        QVERIFY(viewer.previewArea()->height() >= qRound(1000 * viewer.logicalDpiY() / 1440.0));
        viewer.toolbarButton(QStringLiteral("quit"))->trigger();
        QVERIFY(!viewer.isVisible());
    }

    void synthesisFromMainWindow()
    {
        WindowFixture f;
        f.fillSample();
        // A second "Bruno", with results of his own.
        f.exec(QStringLiteral("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, T1_E1CAT) VALUES (7, 1, 'Bruno', 3)"));
        QVERIFY(f.start());
        WindowFixture::select(f.classes(), QStringLiteral("Martin CP"));
        WindowFixture::select(f.pupils(), QStringLiteral("Chloé"));
        const qint64 chloe = f.context.session.pupilKey();
        const QString profiles = QStringLiteral("SELECT NOM, MOYCAT_L, MOYCAT_PG FROM ELEVE ORDER BY NOELEVE");
        const QStringList before = f.query(profiles);
        // The viewer, read then closed; none may open while the profiles cannot be stored.
        QString shown;
        WindowFixture::onNextModal([&](QWidget *modal) {
            const auto *viewer = qobject_cast<ReportViewer *>(modal);
            shown = viewer ? viewer->panel(5)->text() + '|' + viewer->document().header() : QStringLiteral("other");
            modal->close();
        });

        // The second Bruno's row refuses the write: told so, no viewer, and the first
        // Bruno's profile, stored before in the same transaction, is not kept either.
        f.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON ELEVE WHEN OLD.T1_E1CAT = 3 "
                              "BEGIN SELECT RAISE(ABORT, 'full'); END"));
        f.run(QStringLiteral("mainToolbar"), QStringLiteral("Analyse"));
        QVERIFY(shown.isEmpty());
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QCOMPARE(f.query(profiles), before);

        f.exec(QStringLiteral("DROP TRIGGER refuse"));
        f.run(QStringLiteral("mainToolbar"), QStringLiteral("Analyse"));
        QVERIFY2(shown.startsWith(QStringLiteral("1 Pages|")) && shown.contains(QStringLiteral("Martin CP")),
                 qPrintable(shown));
        // Both Brunos refreshed by key, each with his own values; Emma's class untouched.
        QCOMPARE(f.query(profiles),
                 (QStringList{"Alice|0|4", "Bruno|0|0", "Chloé|0|0", "Denis|0|0", "Emma|<null>|<null>", "Bruno|3|0"}));
        QCOMPARE(f.context.session.pupilKey(), chloe); // the selection stays
    }

    void batchTool()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), out = dir.filePath(QStringLiteral("out"));
        QVERIFY(GenData::GenerateDataFolder(data, {.schools = 2, .pupilsPerClass = 4, .archivedYears = 0}, true,
                                            nullptr, nullptr));
        const auto run = [&](const QStringList &args, QStringList *lines) {
            QProcess tool;
            tool.start(QStringLiteral(VELORIN_REPORT_TOOL), args);
            tool.waitForFinished(60000);
            *lines = QString::fromLocal8Bit(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
            return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
        };
        QStringList lines;
        QCOMPARE(run({data, out}, &lines), 0);
        QCOMPARE(QDir(out).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), 6);
        QVERIFY(PdfProbe::text(lines.constLast()).contains(QStringLiteral("Classe : ")));

        // A label used in both schools: both files are named after their school too.
        const QString shared = QFileInfo(lines.first()).completeBaseName();
        TestSupport::insertRow(data, QStringLiteral("CLASSE"),
                               {{"NOECOLE", 2}, {"NOCLASSE", 99}, {"LIBELLE", shared}, {"NIVEAU", "CP"}});
        QCOMPARE(run({data, out}, &lines), 0);
        QCOMPARE(lines.size(), 7);
        const QStringList prefixed = lines.filter(" - " + shared + ".pdf");
        QCOMPARE(prefixed.size(), 2);
        const QString school = QFileInfo(prefixed.constLast()).completeBaseName().section(" - ", 0, 0);

        QCOMPARE(run({data, out, QStringLiteral("--school"), school}, &lines), 0);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(run({data, out, QStringLiteral("--school"), QStringLiteral("Nulle part")}, &lines), 1);
        QVERIFY(lines.isEmpty());
        QCOMPARE(run({dir.filePath(QStringLiteral("empty")), out}, &lines), 1);
    }
};

QTEST_MAIN(TestReportViewer)
#include "tst_reportviewer.moc"
