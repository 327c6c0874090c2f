#pragma once

#include "PageComposer.h"

#include <QObject>

#include <memory>

class Dialogs;
class QPrinter;
class QPrintPreviewWidget;
class QWidget;

// The printer of a window (named "printer"): a page composer and the printer its documents go to. The printer
// keeps the user's choices from one print to the next while the window lives.
class ReportPrinter : public QObject
{
    Q_OBJECT
public:
    explicit ReportPrinter(QObject *parent = nullptr);
    ~ReportPrinter() override;

    PageComposer &document() { return m_document; }
    // Made when first needed: asking the system for its printers takes time.
    QPrinter *printer();

    // The end of a printed document: the printer dialog; confirmed, the
    // document is ended and printed; cancelled, it is abandoned and nothing
    // is printed. A printer that refuses the document is reported ("Abandon").
    bool confirmAndPrint(Dialogs &dialogs, QWidget *progressParent = nullptr);

private:
    PageComposer m_document;
    std::unique_ptr<QPrinter> m_printer;
};

// Draws an ended document on `printer`, one page after the other, with a
// progress window ("Impression...") that lets the user stop. False when the
// printer refused or the user stopped.
bool PrintDocument(const PageComposer &document, QPrinter *printer, QWidget *progressParent = nullptr);

// A preview of the document as `printer` would print it; it follows the
// document when updatePreview() is called.
QPrintPreviewWidget *CreatePreview(const PageComposer &document, QPrinter *printer, QWidget *parent = nullptr);

// Sets the printer's paper and orientation from the document's, with the whole
// sheet as the drawing area (the document draws its own margins).
void PreparePrinter(QPrinter *printer, const PageComposer &document);
