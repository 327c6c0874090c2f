#pragma once

#include "ClassSynthesis.h"
#include "PageComposer.h"
#include "PageSetup.h"
#include "PupilSheet.h"

#include <QDialog>
#include <QHash>
#include <QList>

#include <functional>
#include <memory>

class Dialogs;
class QAction;
class QActionGroup;
class QLabel;
class QPrintPreviewWidget;
class QPrinter;
class QStatusBar;
class QToolBar;
class QWidget;
class ReportPrinter;

// "Prévisualisation de la synthèse": the class synthesis composed when the
// window opens, previewed page by page, printed (all of it or the page shown)
// or written as a PDF file into the data folder. « Fiches élèves » opens the
// same viewer over the class's pupils' results sheets, one page each
// ("Prévisualisation des fiches élèves", "<class> - fiches.pdf").
class ReportViewer : public QDialog
{
    Q_OBJECT
public:
    ReportViewer(Dialogs &dialogs, const QString &dataFolder, const SynthesisInput &input, QWidget *parent = nullptr);
    ReportViewer(Dialogs &dialogs, const QString &dataFolder, const SheetInput &sheets, QWidget *parent = nullptr);
    ~ReportViewer() override;

    // What « Fiches élèves » runs, with the viewer as parent; without it the button is disabled.
    void setSheetsOpener(std::function<void(QWidget *parent)> opener);

    // The toolbar's buttons by key: "printAll", "printPage", "pageSetup",
    // "writePdf", "sheets" (the synthesis only), "quit".
    void toolbarClicked(const QString &key);
    QAction *toolbarButton(const QString &key) const { return m_buttons.value(key); }

    const PageComposer &document() const;
    const PageSetup &pageSetup() const { return m_setup; }
    QPrinter *printer();
    QPrintPreviewWidget *preview() const { return m_preview; }
    // The page shown, from 1.
    int currentPage() const;
    void setCurrentPage(int page);
    // Status panels 1 to 5.
    QLabel *panel(int index) const { return m_panels.value(index - 1); }
    QWidget *previewArea() const { return m_area; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void build();
    void compose();
    void printPages(bool currentOnly);
    // "Mise en page": the paper, orientation and margins, kept for the rest of the run.
    void setupPage();
    void changeSetup(const PageSetup &setup);
    void writePdf();
    void updatePageStatus();
    QWidget *buildNavigation();

    Dialogs &m_dialogs;
    QString m_dataFolder;
    SynthesisInput m_input;
    SheetInput m_sheets;
    bool m_showsSheets = false;
    std::function<void(QWidget *)> m_openSheets;
    PageSetup m_setup;
    ReportPrinter *m_printer = nullptr;
    std::unique_ptr<QPrinter> m_previewPrinter;
    QToolBar *m_toolbar = nullptr;
    QWidget *m_area = nullptr;
    QPrintPreviewWidget *m_preview = nullptr;
    QLabel *m_pageLabel = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QHash<QString, QAction *> m_buttons;
    QList<QLabel *> m_panels;
};

// Draws pages `first` to `last` (from 1) of an ended document on the printer.
bool PrintPageRange(const PageComposer &document, QPrinter *printer, int first, int last);
