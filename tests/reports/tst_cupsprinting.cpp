// Printing through a real CUPS queue (cups-pdf, which writes each job as a PDF
// file): the print dialog lists the queue, and the pupil list and a class
// synthesis printed to it come out as the same pages as our PDF files.
// Skipped where no cups-pdf queue is installed.
#include "PdfProbe.h"
#include "SynthesisFixture.h"
#include "WindowFixture.h"

#include "mainwindow/QtDialogs.h"
#include "reports/PageSetup.h"
#include "reports/ReportPrinter.h"
#include "reports/ReportViewer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

// Where cups-pdf may put the jobs of this user.
QStringList outputFolders()
{
    QStringList folders = {QDir::homePath() + QStringLiteral("/PDF"), QStringLiteral("/var/spool/cups-pdf/ANONYMOUS")};
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
    if (!user.isEmpty())
        folders << QStringLiteral("/var/spool/cups-pdf/") + user;
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        static const QRegularExpression out(QStringLiteral("^\\s*Out\\s+(\\S+)"), QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = out.match(QString::fromUtf8(conf.readAll()));
        if (m.hasMatch())
            folders.prepend(QString(m.captured(1))
                                .replace(QStringLiteral("${HOME}"), QDir::homePath())
                                .replace(QStringLiteral("${USER}"), user));
    }
    return folders;
}

QSet<QString> jobFiles()
{
    QSet<QString> files;
    for (const QString &folder : outputFolders())
        for (const QFileInfo &f : QDir(folder).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
            files.insert(f.absoluteFilePath());
    return files;
}

// The PDF file cups-pdf writes for the job sent after `before` was taken, once complete.
QString landedJob(const QSet<QString> &before)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 60000) {
        const QSet<QString> added = jobFiles() - before;
        if (!added.isEmpty()) {
            const QString file = *added.begin();
            // Written by Ghostscript: complete once it ends with its trailer and stops growing.
            const qint64 size = QFileInfo(file).size();
            QTest::qWait(500);
            if (size > 0 && size == QFileInfo(file).size() && TestSupport::fileBytes(file).trimmed().endsWith("%%EOF"))
                return file;
        }
        QTest::qWait(200);
    }
    return QString();
}

// The words of a page in alphabetical order: the queue may turn a landscape
// page, which changes the reading order but not the words.
QStringList sortedWords(const QString &pdf, int page)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList words = PdfProbe::text(pdf, page).split(blanks, Qt::SkipEmptyParts);
    words.sort();
    return words;
}

// The queue's file has our pages: as many, each on the same paper with the same words.
void compareWithOurs(const QString &job, const QString &ours)
{
    const int pages = PdfProbe::pageCount(ours);
    QCOMPARE(PdfProbe::pageCount(job), pages);
    for (int page = 1; page <= pages; ++page) {
        QSize printed = PdfProbe::render(job, page, 20).size(), expected = PdfProbe::render(ours, page, 20).size();
        if (printed.width() > printed.height() != expected.width() > expected.height())
            printed.transpose();
        QCOMPARE(printed, expected);
        const QStringList words = sortedWords(ours, page);
        QVERIFY(words.size() > 10);
        QCOMPARE(sortedWords(job, page), words);
    }
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
            if (info.makeAndModel().contains(QStringLiteral("CUPS-PDF"), Qt::CaseInsensitive))
                m_queue = info.printerName();
        if (m_queue.isEmpty())
            QSKIP("No cups-pdf queue on this machine (scripts/start-print-queue.sh makes one)");
    }

    // The program's print dialog offers the queue; choosing it and printing sends the job there.
    void printDialogListsTheQueue()
    {
        QPrinter printer;
        printer.setOutputFileName(QString());
        QStringList offered;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *printers = modal->findChild<QComboBox *>(QStringLiteral("printers"));
            for (int i = 0; printers && i < printers->count(); ++i)
                offered << printers->itemText(i);
            if (printers)
                printers->setCurrentIndex(printers->findText(m_queue));
            qobject_cast<QDialog *>(modal)->accept();
        });
        QtDialogs dialogs;
        QVERIFY(dialogs.printDialog(&printer));
        QVERIFY2(offered.contains(m_queue), qPrintable(offered.join(", ")));
        QCOMPARE(printer.printerName(), m_queue);
        QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
    }

    // The pupil list from the main window: the queue's pages are those of the PDF file.
    void pupilList()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        WindowFixture::select(f.classes(), QStringLiteral("Martin CP"));
        QPrinter *printer = f.window->findChild<ReportPrinter *>("printer", Qt::FindDirectChildrenOnly)->printer();
        const QString ours = f.dir.filePath(QStringLiteral("liste.pdf"));
        printer->setOutputFileName(ours);
        f.dialogs.queuePrintAnswer(true);
        f.run(QStringLiteral("pupilToolbar"), QStringLiteral("Imprime"));

        const QSet<QString> before = jobFiles();
        printer->setOutputFileName(QString());
        printer->setPrinterName(m_queue);
        f.dialogs.queuePrintAnswer(true);
        f.run(QStringLiteral("pupilToolbar"), QStringLiteral("Imprime"));
        QCOMPARE(f.dialogs.titles(), QStringList(2, QStringLiteral("PrintDialog"))); // no "Abandon"
        const QString job = landedJob(before);
        QVERIFY2(!job.isEmpty(), "the job never came out of the queue");
        QVERIFY(PdfProbe::text(ours).contains(QStringLiteral("Liste des élèves")));
        compareWithOurs(job, ours);
        if (!QTest::currentTestFailed()) // the queue's folder keeps what failed
            QFile::remove(job);
    }

    // A synthesis of several pages from its viewer: every page through the queue, as in its PDF file.
    void synthesis()
    {
        PageSetup::KeepForSession(PageSetup::Synthesis());
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        ScriptedDialogs dialogs;
        ReportViewer viewer(dialogs, folder, MakeSynthesisInput(2, 60));
        QVERIFY(viewer.document().pageCount() > 1);
        viewer.toolbarClicked(QStringLiteral("writePdf"));
        const QString ours = folder + QStringLiteral("CP B.pdf");

        const QSet<QString> before = jobFiles();
        viewer.printer()->setOutputFileName(QString());
        viewer.printer()->setPrinterName(m_queue);
        dialogs.queuePrintAnswer(true);
        viewer.toolbarClicked(QStringLiteral("printAll"));
        QCOMPARE(dialogs.titles().last(), QStringLiteral("PrintDialog")); // no "Abandon"
        const QString job = landedJob(before);
        QVERIFY2(!job.isEmpty(), "the job never came out of the queue");
        QCOMPARE(PdfProbe::pageCount(ours), viewer.document().pageCount());
        compareWithOurs(job, ours);
        if (!QTest::currentTestFailed()) // the queue's folder keeps what failed
            QFile::remove(job);
    }
};

QTEST_MAIN(TestCupsPrinting)
#include "tst_cupsprinting.moc"
