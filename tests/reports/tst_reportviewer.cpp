// The report viewer over a composed synthesis (printing to PDF files through
// the scripted print dialog), "Synthèse" from the main window, and the batch tool.
#include "Generator.h"
#include "PdfProbe.h"
#include "SynthesisFixture.h"
#include "WindowFixture.h"

#include "common/Icons.h"
#include "reports/PageSetup.h"
#include "reports/ReportPrinter.h"
#include "reports/ReportViewer.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSpinBox>
#include <QTest>

namespace {

// The words of a PDF page: the smallest left and the largest right edge, in points.
std::pair<double, double> wordExtent(const QString &pdf, int page)
{
    double left = 1e9, right = 0;
    for (const PdfProbe::Word &w : PdfProbe::words(pdf, page)) {
        left = qMin(left, w.box.left());
        right = qMax(right, w.box.right());
    }
    return {left, right};
}

constexpr double PointsPerMm = 72 / 25.4;

// Prints through the viewer's button `key` into the PDF file `file`, the print dialog accepted.
QString print(ScriptedDialogs &dialogs, ReportViewer &viewer, const char *key, const QString &file)
{
    viewer.printer()->setOutputFileName(file);
    dialogs.queuePrintAnswer(true);
    viewer.toolbarButton(key)->trigger();
    return file;
}

} // namespace

using namespace Qt::StringLiterals;

class TestReportViewer : public QObject
{
    Q_OBJECT
private slots:
    void viewerPrintingAndPdfFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        ScriptedDialogs dialogs;
        ReportViewer viewer(dialogs, folder, MakeSynthesisInput(2, 80, u"CP/B "_s));
        QVERIFY(dialogs.busyCount() >= 1);
        const int pages = viewer.document().pageCount();
        QCOMPARE(viewer.panel(5)->text(), u"%1 Pages"_s.arg(pages));
        // The preview shows every page, as printed.
        QVERIFY(viewer.preview()->pageCount() == pages && viewer.preview()->orientation() == QPageLayout::Landscape);

        // Every page printed, or the page shown.
        QCOMPARE(PdfProbe::pageCount(print(dialogs, viewer, "printAll", dir.filePath("all.pdf"))), pages);
        viewer.setCurrentPage(3);
        const QString one = print(dialogs, viewer, "printPage", dir.filePath("one.pdf"));
        QVERIFY(PdfProbe::pageCount(one) == 1 && PdfProbe::text(one).contains("-3-"));
        QCOMPARE(dialogs.titles(), QStringList(2, u"PrintDialog"_s));

        // The PDF file, named after the label, goes into the data folder: landscape, the
        // class and year, the time of printing, the class line on the last page.
        dialogs.clear();
        viewer.toolbarButton("writePdf")->trigger();
        QCOMPARE(dialogs.titles(), QStringList{"Message"});
        const QString pdf = folder + u"CP_B.pdf"_s, first = PdfProbe::text(pdf, 1);
        QCOMPARE(PdfProbe::render(pdf, 1, 72).size(), QSize(842, 595));
        for (const char *expected :
             {"Classe : CP/B", "2026-2027", "ÉLÈVE 01 Dupont", "Synthèse du : 06-12-2026", "18:30:05", "-1-"})
            QVERIFY2(first.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(PdfProbe::text(pdf, pages - 1).contains("Profil de la classe"));
        QVERIFY(PdfProbe::text(pdf, pages).contains(u"Répartition des catégories"_s));
        // Every column inside the paper: the rightmost word ends before the page's edge.
        QVERIFY(wordExtent(pdf, 1).second < 842 - 20);
        // A class without pupils makes one page; a folder that cannot take the file: "Abandon".
        dialogs.clear();
        ReportViewer empty(dialogs, folder + u"absent/"_s, MakeSynthesisInput(1, 0));
        QCOMPARE(empty.document().pageCount(), 1);
        empty.toolbarClicked("writePdf");
        QCOMPARE(dialogs.titles(), QStringList{"Abandon"});
        QCOMPARE(dialogs.busyDepth(), 0);

        // Each button shows the program's icon for what it does; the page printed alone and the
        // PDF file carry a label ("1", "PDF") over theirs, so that no two buttons look alike.
        const auto image = [](const QIcon &icon) {
            return icon.pixmap(24).toImage().convertToFormat(QImage::Format_ARGB32);
        };
        QSet<QByteArray> distinct;
        for (const char *pair :
             {"printAll print", "printPage print", "pageSetup pageSetup", "writePdf pdf", "quit close"}) {
            const QString key = QString(pair).section(' ', 0, 0), command = QString(pair).section(' ', 1);
            const QImage shown = image(viewer.toolbarButton(key)->icon()), own = image(Icons::forCommand(command));
            // The program's icon, labelled or not: its upper left quarter is untouched.
            QVERIFY2(!own.isNull() && shown.copy(0, 0, 12, 12) == own.copy(0, 0, 12, 12), qPrintable(key));
            QVERIFY2((shown != own) == (key == "printPage" || key == "writePdf"), qPrintable(key));
            distinct.insert(QByteArray(reinterpret_cast<const char *>(shown.constBits()), shown.sizeInBytes()));
        }
        QCOMPARE(distinct.size(), 5);

        // Shrunk below its bars, the preview keeps 1000 twips.
        viewer.show();
        viewer.resize(300, 40);
        QApplication::processEvents();
        QVERIFY(viewer.previewArea()->height() >= qRound(1000 * viewer.logicalDpiY() / 1440.0));
        viewer.toolbarButton("quit")->trigger();
        QVERIFY(!viewer.isVisible());
    }

    // "Mise en page" shows the synthesis's page as it is (A4 landscape, one inch), lays the
    // synthesis out on what is chosen, and the viewers, prints and PDF files that follow in
    // the same run keep it; wide margins narrow the tables. No Qt page set-up, no warning.
    void pageSetupKeptForTheRun()
    {
        QTest::failOnWarning(QRegularExpression(u"native"_s));
        PageSetup::KeepForSession(PageSetup::Synthesis());
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/'), pdf = folder + u"CP B.pdf"_s;
        ScriptedDialogs dialogs;
        ReportViewer viewer(dialogs, folder, MakeSynthesisInput(2, 40));
        const auto setUp = [](ReportViewer &target, const std::function<void(QWidget *)> &act) {
            WindowFixture::onNextModal(act);
            target.toolbarButton("pageSetup")->trigger();
        };
        const auto margin = [](QWidget *dialog, const char *name) { return dialog->findChild<QDoubleSpinBox *>(name); };
        QStringList shown;
        setUp(viewer, [&](QWidget *dialog) {
            shown << dialog->objectName() << dialog->findChild<QComboBox *>("paperSize")->currentText();
            for (const char *name : {"marginLeft", "marginTop", "marginRight", "marginBottom"})
                shown << margin(dialog, name)->text();
            shown << QString::number(dialog->findChild<QRadioButton *>("landscape")->isChecked());
            dialog->findChild<QRadioButton *>("portrait")->click();
            margin(dialog, "marginLeft")->setValue(40);
            dialog->findChild<QPushButton *>("okButton")->click();
        });
        QCOMPARE(shown, (QStringList{"pageSetupDialog", "A4 (210 × 297 mm)", "25,4 mm", "25,4 mm", "25,4 mm", "25,4 mm",
                                     "1"}));
        QCOMPARE(viewer.document().orientation(), PageComposer::Orientation::Portrait);
        QCOMPARE(viewer.preview()->orientation(), QPageLayout::Portrait);
        QCOMPARE(viewer.preview()->pageCount(), viewer.document().pageCount());
        viewer.toolbarClicked("writePdf");
        QCOMPARE(dialogs.titles(), QStringList{"Message"});
        QCOMPARE(PdfProbe::render(pdf, 1, 72).size(), QSize(595, 842));
        auto [left, right] = wordExtent(pdf, 1);
        QVERIFY2(qAbs(left - 40 * PointsPerMm) < 2, qPrintable(QString::number(left)));
        QVERIFY2(right < 595 - 25.4 * PointsPerMm, qPrintable(QString::number(right)));

        // The next viewer of the run, and what it prints, are on the same page.
        ReportViewer next(dialogs, folder, MakeSynthesisInput(1, 5));
        QVERIFY(next.pageSetup() == viewer.pageSetup());
        const QString printed = print(dialogs, next, "printAll", dir.filePath("printed.pdf"));
        QCOMPARE(PdfProbe::render(printed, 1, 72).size(), QSize(595, 842));
        QCOMPARE(wordExtent(printed, 1).first, wordExtent(pdf, 1).first);

        // "Annuler" keeps the page; margins of 60 mm on A4 landscape narrow the tables.
        setUp(next, [&](QWidget *dialog) {
            margin(dialog, "marginRight")->setValue(60);
            dialog->findChild<QPushButton *>("cancelButton")->click();
        });
        QVERIFY(next.pageSetup() == viewer.pageSetup());
        setUp(next, [&](QWidget *dialog) {
            dialog->findChild<QRadioButton *>("landscape")->click();
            margin(dialog, "marginLeft")->setValue(60);
            margin(dialog, "marginRight")->setValue(60);
            dialog->findChild<QPushButton *>("okButton")->click();
        });
        next.toolbarClicked("writePdf");
        QCOMPARE(PdfProbe::render(pdf, 1, 72).size(), QSize(842, 595));
        std::tie(left, right) = wordExtent(pdf, 1);
        QVERIFY2(left > 60 * PointsPerMm - 2 && right < 842 - 60 * PointsPerMm, qPrintable(QString::number(right)));
        QCOMPARE(PageSetup::Session().marginsMm.right(), 60.0);
        PageSetup::KeepForSession(PageSetup::Synthesis());
    }

    void synthesisFromMainWindow()
    {
        WindowFixture f;
        f.fillSample();
        // A second "Bruno", with results of his own.
        f.exec(u"INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, T1_E1CAT) VALUES (7, 1, 'Bruno', 3)"_s);
        QVERIFY(f.start());
        WindowFixture::select(f.classes(), "Martin CP");
        WindowFixture::select(f.pupils(), u"Chloé"_s);
        const qint64 chloe = f.context.session.pupilKey();
        const QString profiles = u"SELECT NOM, MOYCAT_L, MOYCAT_PG FROM ELEVE ORDER BY NOELEVE"_s;
        const QStringList before = f.query(profiles);
        // The viewer, read then closed; none may open while the profiles cannot be stored.
        QString shown;
        WindowFixture::onNextModal([&](QWidget *modal) {
            const auto *viewer = qobject_cast<ReportViewer *>(modal);
            shown = viewer ? viewer->panel(5)->text() + '|' + viewer->document().header() : u"other"_s;
            modal->close();
        });

        // The second Bruno's row refuses the write: told so, no viewer, and the first
        // Bruno's profile, stored before in the same transaction, is not kept either.
        f.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON ELEVE WHEN OLD.T1_E1CAT = 3 "
                              "BEGIN SELECT RAISE(ABORT, 'full'); END"));
        f.run("mainToolbar", "Analyse");
        QVERIFY(shown.isEmpty());
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QCOMPARE(f.query(profiles), before);

        f.exec(u"DROP TRIGGER refuse"_s);
        f.run("mainToolbar", "Analyse");
        // The pupils' table and the class's, then the categories counted on a page of their own.
        QVERIFY2(shown.startsWith(u"2 Pages|"_s) && shown.contains("Martin CP"), qPrintable(shown));
        // Both Brunos refreshed by key, each with his own values; Emma's class untouched.
        QCOMPARE(f.query(profiles),
                 (QStringList{"Alice|0|4", "Bruno|0|0", "Chloé|0|0", "Denis|0|0", "Emma|<null>|<null>", "Bruno|3|0"}));
        QCOMPARE(f.context.session.pupilKey(), chloe); // the selection stays
    }

    // "Imprime" prints the selected pupil's results sheet and the entry window's "Imprimer"
    // the pupil shown, each through the print dialog; « Fiches élèves » of the synthesis
    // previews the class's sheets, one page each, and writes them as "<class> - fiches.pdf".
    void pupilSheetCommands()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        WindowFixture::select(f.classes(), "Martin CP");
        WindowFixture::select(f.pupils(), u"Bruno"_s);
        auto *printer = f.window->findChild<ReportPrinter *>("sheetPrinter");
        QVERIFY(printer && f.window->toolbarButton("mainToolbar", "Imprime")->isEnabled());
        const QString printed = f.dir.filePath("fiche.pdf");
        printer->printer()->setOutputFileName(printed);
        f.dialogs.queuePrintAnswer(false);
        f.run("mainToolbar", "Imprime");
        QVERIFY(!QFile::exists(printed));
        f.dialogs.queuePrintAnswer(true);
        f.run("mainToolbar", "Imprime");
        QCOMPARE(PdfProbe::pageCount(printed), 1);
        QVERIFY(PdfProbe::text(printed).contains("Bruno") && !PdfProbe::text(printed).contains("Alice"));

        QVERIFY(QFile::remove(printed));
        WindowFixture::onNextModal([&](QWidget *entry) {
            entry->findChild<QSpinBox *>("pupilSpinBox")->stepUp(); // on to Chloé
            f.dialogs.queuePrintAnswer(true);
            entry->findChild<QAction *>("Imprime")->trigger();
            entry->close();
        });
        f.run("mainToolbar", "Saisie");
        QVERIFY2(PdfProbe::text(printed).contains(u"Chloé"_s), qPrintable(PdfProbe::text(printed).left(300)));

        f.dialogs.clear();
        int pages = 0;
        WindowFixture::onNextModal([&](QWidget *synthesis) {
            WindowFixture::onNextModal([&](QWidget *modal) {
                auto *sheets = qobject_cast<ReportViewer *>(modal);
                pages = sheets ? sheets->document().pageCount() : -1;
                sheets->toolbarClicked("writePdf");
                sheets->close();
            });
            qobject_cast<ReportViewer *>(synthesis)->toolbarButton("sheets")->trigger();
            synthesis->close();
        });
        f.run("mainToolbar", "Analyse");
        const QString pdf = f.folder() + u"/Martin CP - fiches.pdf"_s;
        QVERIFY(pages == 3 && PdfProbe::pageCount(pdf) == 3);
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("La création du fichier a réussi : Martin CP - fiches.pdf\n"
                                "Il se trouve dans le répertoire : ") +
                     f.folder() + '/');
    }

    void batchTool()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath("data"), out = dir.filePath("out");
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
        QCOMPARE(QDir(out).entryList({"*.pdf"}, QDir::Files).size(), 6);
        QVERIFY(PdfProbe::text(lines.constLast()).contains("Classe : "));

        // A label used in both schools: both files are named after their school too.
        const QString shared = QFileInfo(lines.first()).completeBaseName();
        TestSupport::insertRow(data, "CLASSE",
                               {{"NOECOLE", 2}, {"NOCLASSE", 99}, {"LIBELLE", shared}, {"NIVEAU", "CP"}});
        QCOMPARE(run({data, out}, &lines), 0);
        QCOMPARE(lines.size(), 7);
        const QStringList prefixed = lines.filter(" - " + shared + ".pdf");
        QCOMPARE(prefixed.size(), 2);
        const QString school = QFileInfo(prefixed.constLast()).completeBaseName().section(" - ", 0, 0);

        QCOMPARE(run({data, out, "--school", school}, &lines), 0);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(run({data, out, "--school", "Nulle part"}, &lines), 1);
        QVERIFY(lines.isEmpty());
        QCOMPARE(run({dir.filePath("empty"), out}, &lines), 1);
        // With --fiches, each class's pupils' sheets too, one page each (none for the empty class).
        QCOMPARE(run({data, out, "--school", school, "--fiches"}, &lines), 0);
        QCOMPARE(lines.filter(" - fiches.pdf").size(), 3);
        QCOMPARE(PdfProbe::pageCount(lines.filter(" - fiches.pdf").first()), 4);
    }
};

QTEST_MAIN(TestReportViewer)
#include "tst_reportviewer.moc"
