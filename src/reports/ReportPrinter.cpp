#include "ReportPrinter.h"

#include "common/Dialogs.h"

#include <QPageLayout>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>

ReportPrinter::ReportPrinter(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("printer"));
}

QPrinter *ReportPrinter::printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>();
        // Every device draws at 1200 dpi, like the PDF files.
        m_printer->setResolution(1200);
    }
    return m_printer.get();
}

ReportPrinter::~ReportPrinter() = default;

void PreparePrinter(QPrinter *printer, const PageComposer &document)
{
    printer->setFullPage(true);
    printer->setPageSize(document.pageSize());
    printer->setPageOrientation(document.orientation() == PageComposer::Orientation::Portrait ? QPageLayout::Portrait
                                                                                              : QPageLayout::Landscape);
    printer->setPageMargins(QMarginsF(0, 0, 0, 0));
}

bool ReportPrinter::confirmAndPrint(Dialogs &dialogs, QWidget *progressParent)
{
    if (m_document.state() != PageComposer::State::Open)
        return false;
    QPrinter *target = printer();
    PreparePrinter(target, m_document);
    // The document's title (its header's first line), without its markup, names the job
    // (and the file when printing to a file).
    QString title;
    const QList<RichParagraph> header = ParseRichText(m_document.header().section(QLatin1Char('|'), 0, 0), false, 12);
    for (const TextRun &run : header.value(0).runs)
        title += run.text;
    target->setDocName(title.trimmed());
    if (!dialogs.printDialog(target)) {
        m_document.abandonDoc();
        return false;
    }
    // The paper and orientation chosen in the dialog lay the document out.
    const QPageLayout chosen = target->pageLayout();
    m_document.setPageSize(chosen.pageSize());
    m_document.setOrientation(chosen.orientation() == QPageLayout::Portrait ? PageComposer::Orientation::Portrait
                                                                            : PageComposer::Orientation::Landscape);
    m_document.endDoc();
    target->setFullPage(true);
    if (PrintDocument(m_document, target, progressParent))
        return true;
    dialogs.message(QStringLiteral("Abandon"), QStringLiteral("L'impression n'a pas pu être faite."),
                    Dialogs::Icon::Warning);
    return false;
}

bool PrintDocument(const PageComposer &document, QPrinter *printer, QWidget *progressParent)
{
    const int pages = document.pageCount();
    QProgressDialog progress(QStringLiteral("Impression..."), QStringLiteral("Abandon"), 0, pages, progressParent);
    progress.setWindowTitle(QStringLiteral("Impression..."));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(1000);
    const QString where = printer->outputFileName().isEmpty() ? printer->printerName() : printer->outputFileName();
    const bool done = document.render(printer, [&](int page) {
        progress.setLabelText(QStringLiteral("Page %1 de\nde %2 sur %3").arg(page).arg(printer->docName(), where));
        progress.setValue(page - 1);
        if (progress.wasCanceled()) {
            printer->abort();
            return false;
        }
        return true;
    });
    progress.setValue(pages);
    return done;
}

QPrintPreviewWidget *CreatePreview(const PageComposer &document, QPrinter *printer, QWidget *parent)
{
    PreparePrinter(printer, document);
    auto *preview = new QPrintPreviewWidget(printer, parent);
    QObject::connect(preview, &QPrintPreviewWidget::paintRequested, preview,
                     [&document](QPrinter *target) { document.render(target); });
    return preview;
}
