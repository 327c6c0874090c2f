// The report viewer over a composed synthesis (printing to PDF files through
// the scripted print dialog), "Analyse" from the main window on generated
// data, and the batch tool.
#include "Generator.h"
#include "PdfProbe.h"
#include "SynthesisFixture.h"

#include "TestSupport.h"
#include "common/ScriptedDialogs.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "reports/ReportViewer.h"
#include "reports/ReportWiring.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestReportViewer : public QObject
{
    Q_OBJECT
private slots:
    void windowAndStatus();
    void printing();
    void pdfFile();
    void analyseOpensViewer();
    void batchTool();
};

void TestReportViewer::windowAndStatus()
{
    ScriptedDialogs dialogs;
    ReportViewer viewer(dialogs, QStringLiteral("/tmp/"), MakeSynthesisInput(2, 80));
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Prévisualisation de la synthèse"));
    QCOMPARE(dialogs.busyDepth(), 0);
    QVERIFY(dialogs.busyCount() >= 1);
    QStringList tips;
    for (int b = 1; b <= 7; ++b)
        tips << (viewer.toolbarButton(b)->isSeparator() ? QStringLiteral("|") : viewer.toolbarButton(b)->toolTip());
    QCOMPARE(tips, (QStringList{"Imprime le rapport", "Imprime la page en cours", "|", "Configuration de l'imprimante",
                                "Créer un fichier Acrobat Reader (.pdf)", "|", "Quitter"}));
    const int pages = viewer.document().pageCount();
    QVERIFY(pages >= 3);
    QCOMPARE(viewer.panel(1)->text(), QStringLiteral("Rapport"));
    QCOMPARE(viewer.panel(2)->text(),
             QStringLiteral("Pour changer de page cliquez sur les flèches ci-contre à gauche"));
    QCOMPARE(viewer.panel(5)->text(), QStringLiteral("%1 Pages").arg(pages));
    QCOMPARE(viewer.currentPage(), 1);
    // The preview shows landscape sheets, as printed.
    QCOMPARE(viewer.preview()->orientation(), QPageLayout::Landscape);

    // Shrunk below its bars, the preview keeps 1000 twips.
    viewer.show();
    viewer.resize(300, 40);
    QApplication::processEvents();
    QVERIFY(viewer.previewArea()->height() >= qRound(1000 * viewer.logicalDpiY() / 1440.0));
    viewer.resize(900, 600);
    QApplication::processEvents();
    QVERIFY(viewer.previewArea()->geometry().bottom() < viewer.height() - 10);

    viewer.toolbarButton(7)->trigger();
    QVERIFY(!viewer.isVisible());
}

void TestReportViewer::printing()
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    ReportViewer viewer(dialogs, dir.path() + QLatin1Char('/'), MakeSynthesisInput(2, 80));
    const int pages = viewer.document().pageCount();
    const QString all = dir.filePath(QStringLiteral("all.pdf"));
    const QString one = dir.filePath(QStringLiteral("one.pdf"));

    // Cancelled: nothing printed, nothing said.
    viewer.printer()->setOutputFileName(all);
    viewer.Toolbar1_ButtonClick(1);
    QVERIFY(!QFile::exists(all));
    QCOMPARE(dialogs.titles(), QStringList{"PrintDialog"});

    // Button 1 prints every page, not only the first two.
    dialogs.queuePrintAnswer(true);
    viewer.Toolbar1_ButtonClick(1);
    QCOMPARE(PdfProbe::pageCount(all), pages);
    QVERIFY(PdfProbe::text(all, pages).contains(QStringLiteral("Profil de la classe")));

    // Button 2 prints the page shown.
    viewer.setCurrentPage(3);
    QCOMPARE(viewer.currentPage(), 3);
    viewer.printer()->setOutputFileName(one);
    dialogs.queuePrintAnswer(true);
    viewer.Toolbar1_ButtonClick(2);
    QCOMPARE(PdfProbe::pageCount(one), 1);
    QVERIFY(PdfProbe::text(one).contains(QStringLiteral("-3-")));
    QVERIFY(!dialogs.titles().contains(QStringLiteral("Abandon")));
}

void TestReportViewer::pdfFile()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    ScriptedDialogs dialogs;
    {
        ReportViewer viewer(dialogs, folder, MakeSynthesisInput(1, 3, QStringLiteral("GS A ")));
        viewer.Toolbar1_ButtonClick(5);
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("Message"));
        QCOMPARE(dialogs.shown().at(0).text, QStringLiteral("La création du fichier a réussi : GS A.pdf\n"
                                                            "Il se trouve dans le répertoire : ") +
                                                 folder);
        QVERIFY(PdfProbe::text(folder + QStringLiteral("GS A.pdf")).contains(QStringLiteral("Classe : GS A")));
    }
    // A label no file may be named after is made into a file name.
    dialogs.clear();
    {
        ReportViewer viewer(dialogs, folder, MakeSynthesisInput(1, 3, QStringLiteral("GS/CP")));
        viewer.Toolbar1_ButtonClick(5);
        QVERIFY(QFile::exists(folder + QStringLiteral("GS_CP.pdf")));
    }
    // A folder that cannot take the file: "Abandon", no success message.
    dialogs.clear();
    {
        ReportViewer viewer(dialogs, folder + QStringLiteral("absent/"), MakeSynthesisInput(1, 3));
        viewer.Toolbar1_ButtonClick(5);
        QCOMPARE(dialogs.titles(), QStringList{"Abandon"});
        QCOMPARE(dialogs.busyDepth(), 0);
    }
}

namespace {

bool Generate(const QString &folder, int schools, int pupils)
{
    GenData::Options o;
    o.schools = schools;
    o.classesPerSchool = 3;
    o.pupilsPerClass = pupils;
    o.archivedYears = 0;
    o.seed = 7;
    QString error;
    return GenData::GenerateDataFolder(folder, o, true, nullptr, &error);
}

} // namespace

void TestReportViewer::analyseOpensViewer()
{
    QTemporaryDir dir;
    QVERIFY(Generate(dir.path(), 1, 6));
    ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(18, 30))};
    AppContext context{dialogs, clock};
    context.connection.setDataFolder(dir.path());
    Form1 form(context);
    ConnectReports(form, context);
    QVERIFY(form.Form_Activate());
    form.classList()->setCurrentRow(1);
    const QString label = form.classList()->currentItem()->text();
    form.pupilList()->setCurrentRow(2);
    const QString pupil = form.pupilList()->currentItem()->text();
    QString seen, status, header;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto *viewer = qobject_cast<ReportViewer *>(QApplication::activeModalWidget());
        if (!viewer)
            return;
        modal = viewer->isModal();
        seen = viewer->windowTitle();
        status = viewer->panel(5)->text();
        header = viewer->document().header();
        viewer->toolbarButton(7)->trigger();
    });
    form.Toolbar2_ButtonClick(QStringLiteral("Analyse"));
    QVERIFY(modal);
    QCOMPARE(seen, QStringLiteral("Prévisualisation de la synthèse"));
    QCOMPARE(status, QStringLiteral("1 Pages"));
    QVERIFY(header.contains(label));
    // Composing read every pupil, yet the selected one is still the current row.
    QVERIFY(!context.connection.VIEW_ELEVE.eof());
    QCOMPARE(context.connection.VIEW_ELEVE.value(QStringLiteral("NOM")).toString(), pupil);
}

void TestReportViewer::batchTool()
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString out = dir.filePath(QStringLiteral("out"));
    QVERIFY(Generate(data, 2, 4));
    const auto run = [&](const QStringList &args, QStringList *lines) {
        QProcess tool;
        tool.start(QStringLiteral(VELORIN_REPORT_TOOL), args);
        tool.waitForFinished(60000);
        *lines = QString::fromLocal8Bit(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    };
    QStringList lines;
    QCOMPARE(run({data, out}, &lines), 0);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(QDir(out).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), 6);
    for (const QString &path : std::as_const(lines)) {
        QVERIFY2(QFile::exists(path), qPrintable(path));
        QVERIFY(PdfProbe::text(path, 1).contains(QStringLiteral("Classe : ")));
    }

    // A label used in both schools: both files are named after their school too.
    const QString shared = QFileInfo(lines.first()).completeBaseName();
    TestSupport::insertRow(data, QStringLiteral("CLASSE"),
                           {{"NOECOLE", 2}, {"NOCLASSE", 99}, {"LIBELLE", shared}, {"NIVEAU", "CP"}});
    QDir(out).removeRecursively();
    QCOMPARE(run({data, out}, &lines), 0);
    QCOMPARE(lines.size(), 7);
    QStringList prefixed = lines.filter(QStringLiteral(" - ") + shared + QStringLiteral(".pdf"));
    QCOMPARE(prefixed.size(), 2);
    const QString school = QFileInfo(prefixed.constLast()).completeBaseName().section(QStringLiteral(" - "), 0, 0);

    QStringList one;
    QDir(out).removeRecursively();
    QCOMPARE(run({data, out, QStringLiteral("--school"), school}, &one), 0);
    QCOMPARE(one.size(), 4);
    QCOMPARE(run({data, out, QStringLiteral("--school"), QStringLiteral("Nulle part")}, &one), 1);
    QVERIFY(one.isEmpty());
    QCOMPARE(run({dir.filePath(QStringLiteral("empty")), out}, &one), 1);
}

QTEST_MAIN(TestReportViewer)
#include "tst_reportviewer.moc"
