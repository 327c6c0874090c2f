// Printing through a real CUPS queue (cups-pdf, which writes each job as a PDF
// file): the print dialog lists the queue, and the pupil list and a synthesis
// printed to it come out as our PDF files' pages. Skipped without such a queue.
#include "PdfProbe.h"
#include "SynthesisFixture.h"
#include "WindowFixture.h"

#include "mainwindow/QtDialogs.h"
#include "reports/ReportPrinter.h"
#include "reports/ReportViewer.h"

#include <QComboBox>
#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

// The PDF files of the folders cups-pdf writes this user's jobs to (under the
// home folder the system gives the user, not $HOME), or its anonymous folder.
QSet<QString> jobFiles()
{
    const passwd *account = getpwuid(getuid());
    const QString home = account ? QString::fromLocal8Bit(account->pw_dir) : QDir::homePath();
    QSet<QString> files;
    for (const QString &folder : QStringList{home + "/PDF", "/var/spool/cups-pdf/ANONYMOUS"})
        for (const QFileInfo &f : QDir(folder).entryInfoList({"*.pdf"}, QDir::Files))
            files.insert(f.absoluteFilePath());
    return files;
}

// The file of the job sent since `before`, once Ghostscript has finished it.
QString landedJob(const QSet<QString> &before)
{
    for (int wait = 0; wait < 300; ++wait, QTest::qWait(200)) {
        const QSet<QString> added = jobFiles() - before;
        if (!added.isEmpty() && TestSupport::fileBytes(*added.begin()).trimmed().endsWith("%%EOF"))
            return *added.begin();
    }
    return QString();
}

// A page's words in alphabetical order: the queue may turn a landscape page,
// which changes the reading order only.
QStringList sortedWords(const QString &pdf, int page)
{
    QStringList words = PdfProbe::text(pdf, page).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    words.sort();
    return words;
}

// The job came out of the queue with our pages: as many, each on the same paper with the same words.
void compareWithOurs(const QSet<QString> &before, const QString &ours)
{
    const QString job = landedJob(before);
    QVERIFY2(!job.isEmpty(), "the job never came out of the queue");
    QCOMPARE(PdfProbe::pageCount(job), PdfProbe::pageCount(ours));
    for (int page = 1; page <= PdfProbe::pageCount(ours); ++page) {
        QSize printed = PdfProbe::render(job, page, 20).size(), expected = PdfProbe::render(ours, page, 20).size();
        if ((printed.width() > printed.height()) != (expected.width() > expected.height()))
            printed.transpose();
        QCOMPARE(printed, expected);
        QVERIFY(sortedWords(ours, page).size() > 10);
        QCOMPARE(sortedWords(job, page), sortedWords(ours, page));
    }
    QFile::remove(job); // what failed stays for a look
}

} // namespace

class TestCupsPrinting : public QObject
{
    Q_OBJECT
    QString m_queue;

private slots:
    void initTestCase()
    {
        for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
            if (info.makeAndModel().contains("CUPS-PDF", Qt::CaseInsensitive))
                m_queue = info.printerName();
        if (m_queue.isEmpty())
            QSKIP("No cups-pdf queue on this machine (scripts/start-print-queue.sh makes one)");
    }

    // The program's print dialog offers the queue; chosen, the printer prints there, not to a file.
    void printDialogListsTheQueue()
    {
        QPrinter printer;
        QStringList offered;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *printers = modal->findChild<QComboBox *>("printers");
            for (int i = 0; printers && i < printers->count(); ++i)
                offered << printers->itemText(i);
            if (printers)
                printers->setCurrentIndex(printers->findText(m_queue));
            qobject_cast<QDialog *>(modal)->accept();
        });
        QVERIFY(QtDialogs().printDialog(&printer));
        QVERIFY2(offered.contains(m_queue), qPrintable(offered.join(", ")));
        QVERIFY(printer.printerName() == m_queue && printer.outputFormat() == QPrinter::NativeFormat);
    }

    void pupilList()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        WindowFixture::select(f.classes(), "Martin CP");
        QPrinter *printer = f.window->findChild<ReportPrinter *>("printer", Qt::FindDirectChildrenOnly)->printer();
        const QString ours = f.dir.filePath("liste.pdf");
        printer->setOutputFileName(ours);
        f.dialogs.queuePrintAnswer(true);
        f.run("pupilToolbar", "Imprime");
        printer->setOutputFileName(QString());
        printer->setPrinterName(m_queue);
        f.dialogs.queuePrintAnswer(true);
        const QSet<QString> before = jobFiles();
        f.run("pupilToolbar", "Imprime");
        compareWithOurs(before, ours);
        QCOMPARE(f.dialogs.titles(), QStringList(2, "PrintDialog")); // no "Abandon"
    }

    // A synthesis of several pages, printed from its viewer and written as its PDF file.
    void synthesis()
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ReportViewer viewer(dialogs, dir.path() + '/', MakeSynthesisInput(2, 60));
        QVERIFY(viewer.document().pageCount() > 1);
        viewer.toolbarClicked("writePdf");
        const QSet<QString> before = jobFiles();
        viewer.printer()->setOutputFileName(QString());
        viewer.printer()->setPrinterName(m_queue);
        dialogs.queuePrintAnswer(true);
        viewer.toolbarClicked("printAll");
        QCOMPARE(dialogs.titles(), (QStringList{"Message", "PrintDialog"})); // no "Abandon"
        compareWithOurs(before, dir.filePath("CP B.pdf"));
    }
};

QTEST_MAIN(TestCupsPrinting)
#include "tst_cupsprinting.moc"
