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
    void windowStatusAndPrinting()
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ReportViewer viewer(dialogs, dir.path() + QLatin1Char('/'), MakeSynthesisInput(2, 80));
        QCOMPARE(viewer.windowTitle(), QStringLiteral("Prévisualisation de la synthèse"));
        QCOMPARE(dialogs.busyDepth(), 0);
        QVERIFY(dialogs.busyCount() >= 1);
        const int pages = viewer.document().pageCount();
        QVERIFY(pages >= 3);
        QCOMPARE(viewer.panel(5)->text(), QStringLiteral("%1 Pages").arg(pages));
        QCOMPARE(viewer.currentPage(), 1);
        QCOMPARE(viewer.preview()->orientation(), QPageLayout::Landscape); // as printed

        // Printing cancelled: nothing printed, nothing said.
        const QString all = dir.filePath(QStringLiteral("all.pdf")), one = dir.filePath(QStringLiteral("one.pdf"));
        viewer.printer()->setOutputFileName(all);
        viewer.toolbarButton(QStringLiteral("printAll"))->trigger();
        QVERIFY(!QFile::exists(all));
        QCOMPARE(dialogs.titles(), QStringList{"PrintDialog"});
        // Every page, not only the first ones.
        dialogs.queuePrintAnswer(true);
        viewer.toolbarButton(QStringLiteral("printAll"))->trigger();
        QCOMPARE(PdfProbe::pageCount(all), pages);
        QVERIFY(PdfProbe::text(all, pages).contains(QStringLiteral("Profil de la classe")));
        // The page shown.
        viewer.setCurrentPage(3);
        QCOMPARE(viewer.currentPage(), 3);
        viewer.printer()->setOutputFileName(one);
        dialogs.queuePrintAnswer(true);
        viewer.toolbarButton(QStringLiteral("printPage"))->trigger();
        QCOMPARE(PdfProbe::pageCount(one), 1);
        QVERIFY(PdfProbe::text(one).contains(QStringLiteral("-3-")));
        QVERIFY(!dialogs.titles().contains(QStringLiteral("Abandon")));

        // Shrunk below its bars, the preview keeps 1000 twips.
        viewer.show();
        viewer.resize(300, 40);
        QApplication::processEvents();
        QVERIFY(viewer.previewArea()->height() >= qRound(1000 * viewer.logicalDpiY() / 1440.0));
        viewer.resize(900, 600);
        QApplication::processEvents();
        QVERIFY(viewer.previewArea()->geometry().bottom() < viewer.height() - 10);
        viewer.toolbarButton(QStringLiteral("quit"))->trigger();
        QVERIFY(!viewer.isVisible());
    }

    void pdfFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        ScriptedDialogs dialogs;
        const auto writePdf = [&](const QString &into, const QString &label) {
            dialogs.clear();
            ReportViewer(dialogs, into, MakeSynthesisInput(1, 3, label))
                .toolbarButton(QStringLiteral("writePdf"))
                ->trigger();
        };
        writePdf(folder, QStringLiteral("GS A "));
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("Message"));
        QCOMPARE(dialogs.shown().at(0).text, "La création du fichier a réussi : GS A.pdf\n"
                                             "Il se trouve dans le répertoire : " +
                                                 folder);
        QVERIFY(PdfProbe::text(folder + QStringLiteral("GS A.pdf")).contains(QStringLiteral("Classe : GS A")));
        // A label no file may be named after is made into a file name.
        writePdf(folder, QStringLiteral("GS/CP"));
        QVERIFY(QFile::exists(folder + QStringLiteral("GS_CP.pdf")));
        // A folder that cannot take the file: "Abandon", no success message.
        writePdf(folder + QStringLiteral("absent/"), QStringLiteral("GS A"));
        QCOMPARE(dialogs.titles(), QStringList{"Abandon"});
        QCOMPARE(dialogs.busyDepth(), 0);
    }

    void synthesisFromMainWindow()
    {
        WindowFixture f;
        f.fillSample();
        // A second "Bruno", with results of his own.
        f.exec(QStringLiteral("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, T1_E1CAT) VALUES (7, 1, 'Bruno', 3)"));
        QVERIFY(f.start());
        WindowFixture::select(f.schools(), QStringLiteral("Ecole A"));
        WindowFixture::select(f.classes(), QStringLiteral("Martin CP"));
        WindowFixture::select(f.pupils(), QStringLiteral("Chloé"));
        const qint64 chloe = f.context.session.pupilKey();
        const QString profiles = QStringLiteral("SELECT NOM, MOYCAT_L, MOYCAT_PG FROM ELEVE ORDER BY NOELEVE");
        const QStringList before = f.query(profiles);
        // The viewer, read then closed; none may open while the profiles cannot be stored.
        QString shown, status, header;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *viewer = qobject_cast<ReportViewer *>(modal);
            shown = modal->isModal() && viewer ? modal->windowTitle() : QStringLiteral("other window");
            status = viewer ? viewer->panel(5)->text() : QString();
            header = viewer ? viewer->document().header() : QString();
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
        QCOMPARE(shown, QStringLiteral("Prévisualisation de la synthèse"));
        QCOMPARE(status, QStringLiteral("1 Pages"));
        QVERIFY(header.contains(QStringLiteral("Martin CP")));
        // Both Brunos refreshed by key, each with his own values; Emma's class untouched.
        QCOMPARE(f.query(profiles),
                 (QStringList{"Alice|0|4", "Bruno|0|0", "Chloé|0|0", "Denis|0|0", "Emma|<null>|<null>", "Bruno|3|0"}));
        QCOMPARE(f.context.session.pupilKey(), chloe); // the selection stays
        QCOMPARE(WindowFixture::selected(f.pupils()), QStringLiteral("Chloé"));
    }

    void batchTool()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), out = dir.filePath(QStringLiteral("out"));
        GenData::Options options;
        options.schools = 2;
        options.pupilsPerClass = 4;
        options.archivedYears = 0;
        QVERIFY(GenData::GenerateDataFolder(data, options, true, nullptr, nullptr));
        const auto run = [&](const QStringList &args, QStringList *lines) {
            QDir(out).removeRecursively();
            QProcess tool;
            tool.start(QStringLiteral(VELORIN_REPORT_TOOL), args);
            tool.waitForFinished(60000);
            *lines = QString::fromLocal8Bit(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
            return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
        };
        QStringList lines;
        QCOMPARE(run({data, out}, &lines), 0);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(QDir(out).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), 6);
        for (const QString &path : std::as_const(lines))
            QVERIFY2(PdfProbe::text(path, 1).contains(QStringLiteral("Classe : ")), qPrintable(path));

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
