#include "ReportViewer.h"

#include "PageSetupDialog.h"
#include "ReportPrinter.h"
#include "common/Dialogs.h"
#include "common/Icons.h"

#include <QAction>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QResizeEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int MinimumPreviewTwips = 1000;
const QColor PageBadge(0x35, 0x84, 0xE4);
const QColor PdfBadge(0xC0, 0x1C, 0x28);

// `base` with a label in a band across its lower part: the page printed alone
// ("1" on the printer) and the PDF file ("PDF" on the document) must not be
// mistaken for the buttons beside them.
QIcon withBadge(const QIcon &base, const QString &label, const QColor &colour)
{
    QIcon icon;
    for (int size : {24, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawPixmap(0, 0, base.pixmap(size, size));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(size * (label.size() > 1 ? 7 : 11) / 24);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const QRect text = metrics.boundingRect(label);
        const int w = text.width() + size / 6, h = metrics.ascent() + size / 12;
        const QRect band(size - w, size - h, w, h);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(band, size / 12.0, size / 12.0);
        painter.setPen(Qt::white);
        painter.drawText(band, Qt::AlignCenter, label);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

bool PrintPageRange(const PageComposer &document, QPrinter *printer, int first, int last)
{
    first = qMax(1, first);
    last = qMin(document.pageCount(), last);
    if (document.state() != PageComposer::State::Ended || first > last)
        return false;
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    const double sx = printer->logicalDpiX() / double(PageComposer::TwipsPerInch);
    const double sy = printer->logicalDpiY() / double(PageComposer::TwipsPerInch);
    for (int page = first; page <= last; ++page) {
        if (page > first && !printer->newPage()) {
            painter.end();
            return false;
        }
        painter.save();
        painter.scale(sx, sy);
        document.drawPage(painter, page - 1);
        painter.restore();
    }
    return painter.end();
}

ReportViewer::ReportViewer(Dialogs &dialogs, const QString &dataFolder, const SynthesisInput &input, QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_dataFolder(dataFolder), m_input(input), m_setup(PageSetup::Session())
{
    setObjectName(QStringLiteral("reportViewer"));
    setWindowTitle(QStringLiteral("Prévisualisation de la synthèse"));
    build();
}

ReportViewer::ReportViewer(Dialogs &dialogs, const QString &dataFolder, const SheetInput &sheets, QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_dataFolder(dataFolder), m_sheets(sheets), m_showsSheets(true),
      m_setup(PageSetup::Sheet())
{
    setObjectName(QStringLiteral("sheetsViewer"));
    setWindowTitle(QStringLiteral("Prévisualisation des fiches élèves"));
    m_input.className = sheets.className;
    build();
}

void ReportViewer::setSheetsOpener(std::function<void(QWidget *)> opener)
{
    m_openSheets = std::move(opener);
    if (QAction *button = m_buttons.value(QStringLiteral("sheets")))
        button->setEnabled(bool(m_openSheets));
}

void ReportViewer::build()
{
    setModal(true);
    setSizeGripEnabled(true);
    m_printer = new ReportPrinter(this);

    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("viewerToolbar"));
    m_toolbar->setIconSize(QSize(24, 24));
    const auto add = [this](const QString &key, const QIcon &icon, const QString &tip) {
        QAction *a = m_toolbar->addAction(icon, tip);
        a->setToolTip(tip);
        a->setObjectName(key);
        a->setData(key);
        connect(a, &QAction::triggered, this, [this, key] { toolbarClicked(key); });
        m_buttons.insert(key, a);
    };
    add(QStringLiteral("printAll"), Icons::forCommand(QStringLiteral("print")), QStringLiteral("Imprime le rapport"));
    add(QStringLiteral("printPage"),
        withBadge(Icons::forCommand(QStringLiteral("print")), QStringLiteral("1"), PageBadge),
        QStringLiteral("Imprime la page en cours"));
    m_toolbar->addSeparator();
    add(QStringLiteral("pageSetup"), Icons::forCommand(QStringLiteral("pageSetup")),
        QStringLiteral("Configuration de l'imprimante"));
    add(QStringLiteral("writePdf"),
        withBadge(Icons::forCommand(QStringLiteral("pdf")), QStringLiteral("PDF"), PdfBadge),
        QStringLiteral("Créer un fichier Acrobat Reader (.pdf)"));
    m_toolbar->addSeparator();
    if (!m_showsSheets) {
        add(QStringLiteral("sheets"), Icons::forCommand(QStringLiteral("pdf")),
            QStringLiteral("Fiches élèves : les fiches de résultats de toute la classe, une page par élève"));
        QAction *sheets = m_buttons.value(QStringLiteral("sheets"));
        sheets->setText(QStringLiteral("Fiches élèves"));
        sheets->setEnabled(false);
        if (auto *button = qobject_cast<QToolButton *>(m_toolbar->widgetForAction(sheets)))
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        m_toolbar->addSeparator();
    }
    add(QStringLiteral("quit"), Icons::forCommand(QStringLiteral("close")), QStringLiteral("Quitter"));

    m_area = new QWidget(this);
    m_area->setObjectName(QStringLiteral("preview"));
    auto *column = new QVBoxLayout(m_area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm"));
    const QStringList texts = {QStringLiteral("Rapport"),
                               QStringLiteral("Pour changer de page cliquez sur les flèches ci-contre à gauche"), now,
                               QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")), QString()};
    for (int i = 0; i < texts.size(); ++i) {
        auto *label = new QLabel(texts.at(i), m_statusBar);
        label->setObjectName(QStringLiteral("statusPanel_%1").arg(i + 1));
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        m_statusBar->addWidget(label, i == 1 ? 1 : 0);
        m_panels.append(label);
    }
    auto *clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, [this] {
        m_panels.at(2)->setText(QTime::currentTime().toString(QStringLiteral("hh:mm")));
        m_panels.at(3)->setText(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    });
    clock->start(10000);

    {
        BusyGuard busy(m_dialogs);
        // The preview draws on a printer of its own, so that printing cannot change what it shows.
        m_previewPrinter = std::make_unique<QPrinter>();
        m_previewPrinter->setResolution(1200);
        m_preview = CreatePreview(m_printer->document(), m_previewPrinter.get(), m_area);
        compose();
    }
    column->addWidget(m_preview, 1);
    column->addWidget(buildNavigation());
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, &ReportViewer::updatePageStatus);
    resize(1000, 700);
    m_preview->fitInView();
}

ReportViewer::~ReportViewer() = default;

QWidget *ReportViewer::buildNavigation()
{
    auto *bar = new QWidget(m_area);
    bar->setObjectName(QStringLiteral("pageNavigation"));
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    const auto arrow = [this, bar, row](QStyle::StandardPixmap icon, const QString &tip, auto step) {
        auto *b = new QToolButton(bar);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, [this, step] { setCurrentPage(step(currentPage())); });
        row->addWidget(b);
    };
    arrow(QStyle::SP_MediaSkipBackward, QStringLiteral("Première page"), [](int) { return 1; });
    arrow(QStyle::SP_MediaSeekBackward, QStringLiteral("Page précédente"), [](int p) { return p - 1; });
    m_pageLabel = new QLabel(bar);
    m_pageLabel->setObjectName(QStringLiteral("pageLabel"));
    row->addWidget(m_pageLabel);
    arrow(QStyle::SP_MediaSeekForward, QStringLiteral("Page suivante"), [](int p) { return p + 1; });
    arrow(QStyle::SP_MediaSkipForward, QStringLiteral("Dernière page"), [this](int) { return document().pageCount(); });

    auto *zoom = new QToolButton(bar);
    zoom->setObjectName(QStringLiteral("zoom"));
    zoom->setText(QStringLiteral("Zoom"));
    zoom->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(zoom);
    menu->addAction(QStringLiteral("Pleine &Page"), this, [this] {
        m_preview->setViewMode(QPrintPreviewWidget::SinglePageView);
        m_preview->fitInView();
    });
    menu->addAction(QStringLiteral("&Largeur de page"), this, [this] {
        m_preview->setViewMode(QPrintPreviewWidget::SinglePageView);
        m_preview->fitToWidth();
    });
    menu->addAction(QStringLiteral("&Deux Pages"), this, [this] {
        m_preview->setViewMode(QPrintPreviewWidget::FacingPagesView);
        m_preview->fitInView();
    });
    menu->addAction(QStringLiteral("&Global"), this, [this] {
        m_preview->setViewMode(QPrintPreviewWidget::AllPagesView);
        m_preview->fitInView();
    });
    zoom->setMenu(menu);
    row->addWidget(zoom);
    row->addStretch(1);
    updatePageStatus();
    return bar;
}

const PageComposer &ReportViewer::document() const
{
    return m_printer->document();
}

QPrinter *ReportViewer::printer()
{
    return m_printer->printer();
}

int ReportViewer::currentPage() const
{
    return qBound(1, m_preview->currentPage(), qMax(1, document().pageCount()));
}

void ReportViewer::setCurrentPage(int page)
{
    m_preview->setCurrentPage(qBound(1, page, qMax(1, document().pageCount())));
    updatePageStatus();
}

void ReportViewer::compose()
{
    PageComposer &doc = m_printer->document();
    if (m_showsSheets) {
        PrepareSheetDocument(doc, m_setup);
        ComposePupilSheets(doc, m_sheets);
    } else {
        PrepareSynthesisDocument(doc, m_setup);
        visu_rapport2(doc, m_input);
    }
    // The preview's sheet follows the document's paper and orientation.
    PreparePrinter(m_previewPrinter.get(), doc);
    m_preview->updatePreview();
    m_preview->setCurrentPage(1);
    updatePageStatus();
}

void ReportViewer::updatePageStatus()
{
    const int pages = document().pageCount();
    if (m_panels.size() == 5)
        m_panels.at(4)->setText(QStringLiteral("%1 Pages").arg(pages));
    if (m_pageLabel)
        m_pageLabel->setText(QStringLiteral("Page %1 / %2").arg(currentPage()).arg(pages));
}

void ReportViewer::toolbarClicked(const QString &key)
{
    if (key == QLatin1String("printAll"))
        printPages(false);
    else if (key == QLatin1String("printPage"))
        printPages(true);
    else if (key == QLatin1String("pageSetup"))
        setupPage();
    else if (key == QLatin1String("writePdf"))
        writePdf();
    else if (key == QLatin1String("sheets") && m_openSheets)
        m_openSheets(this);
    else if (key == QLatin1String("quit"))
        reject();
}

void ReportViewer::printPages(bool currentOnly)
{
    const int pages = document().pageCount();
    const int shown = currentPage();
    QPrinter *target = printer();
    PreparePrinter(target, document());
    target->setDocName((m_showsSheets ? QStringLiteral("Fiches ") : QStringLiteral("Synthèse ")) +
                       m_input.className.trimmed());
    target->setPrintRange(currentOnly ? QPrinter::PageRange : QPrinter::AllPages);
    target->setFromTo(currentOnly ? shown : 1, currentOnly ? shown : pages);
    if (!m_dialogs.printDialog(target))
        return;
    // Another paper or orientation chosen in the dialog lays the synthesis out again, and stays.
    PageSetup chosen = m_setup;
    chosen.paper = target->pageLayout().pageSize();
    chosen.orientation = target->pageLayout().orientation() == QPageLayout::Portrait
                             ? PageComposer::Orientation::Portrait
                             : PageComposer::Orientation::Landscape;
    changeSetup(chosen);
    int first = 1, last = document().pageCount();
    if (target->printRange() == QPrinter::PageRange && target->fromPage() > 0) {
        first = target->fromPage();
        last = target->toPage() > 0 ? target->toPage() : first;
    } else if (target->printRange() == QPrinter::CurrentPage) {
        first = last = shown;
    }
    PreparePrinter(target, document());
    bool printed = false;
    {
        BusyGuard busy(m_dialogs);
        printed = PrintPageRange(document(), target, first, last);
    }
    if (!printed)
        m_dialogs.message(QStringLiteral("Abandon"), QStringLiteral("L'impression n'a pas pu être faite."),
                          Dialogs::Icon::Warning);
}

void ReportViewer::setupPage()
{
    PageSetupDialog dialog(m_setup, this);
    if (dialog.exec() == QDialog::Accepted)
        changeSetup(dialog.setup());
}

void ReportViewer::changeSetup(const PageSetup &setup)
{
    // The synthesis's set-up is kept for the run; the sheets' for this window.
    if (!m_showsSheets)
        PageSetup::KeepForSession(setup);
    if (setup == m_setup)
        return;
    m_setup = setup;
    BusyGuard busy(m_dialogs);
    compose();
}

void ReportViewer::writePdf()
{
    const QString fileName = m_showsSheets ? SheetsFileName(m_input.className) : SynthesisFileName(m_input.className);
    const QString path = m_dataFolder + fileName;
    bool written = false;
    {
        BusyGuard busy(m_dialogs);
        written = WriteSynthesisPdf(document(), path, nullptr, QStringLiteral("Création : ") + fileName);
    }
    if (!written) {
        m_dialogs.message(QStringLiteral("Abandon"),
                          QStringLiteral("La création du fichier a échoué : ") + fileName + QLatin1Char('\n') +
                              QStringLiteral("Répertoire : ") + m_dataFolder,
                          Dialogs::Icon::Warning);
        return;
    }
    m_dialogs.message(QStringLiteral("Message"),
                      QStringLiteral("La création du fichier a réussi : ") + fileName + QLatin1Char('\n') +
                          QStringLiteral("Il se trouve dans le répertoire : ") + m_dataFolder);
}

void ReportViewer::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The preview fills the space between the bars, but never less than 1000 twips high.
    const int w = width();
    const int toolbarHeight = m_toolbar->sizeHint().height();
    const int statusHeight = m_statusBar->sizeHint().height();
    const int minimum = qRound(MinimumPreviewTwips * logicalDpiY() / double(PageComposer::TwipsPerInch));
    m_toolbar->setGeometry(0, 0, w, toolbarHeight);
    m_area->setGeometry(0, toolbarHeight, w, qMax(minimum, height() - toolbarHeight - statusHeight));
    m_statusBar->setGeometry(0, height() - statusHeight, w, statusHeight);
    m_statusBar->raise();
}
