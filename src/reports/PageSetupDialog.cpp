#include "PageSetupDialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

// The sheet as set up, drawn to scale: the paper, and the text's area inside the margins.
class PageSketch : public QWidget
{
public:
    explicit PageSketch(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("pageSketch"));
        setMinimumSize(160, 160);
    }
    void show(const PageSetup &setup)
    {
        m_setup = setup;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QSizeF mm = m_setup.paper.size(QPageSize::Millimeter);
        if (m_setup.orientation == PageComposer::Orientation::Landscape)
            mm.transpose();
        const double scale = qMin((width() - 12) / mm.width(), (height() - 12) / mm.height());
        const QSizeF sheet = mm * scale;
        const QRectF paper(QPointF((width() - sheet.width()) / 2, (height() - sheet.height()) / 2), sheet);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(paper.translated(3, 3), palette().color(QPalette::Mid));
        p.fillRect(paper, Qt::white);
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(paper);
        const QMarginsF &m = m_setup.marginsMm;
        const QRectF text = paper.adjusted(m.left() * scale, m.top() * scale, -m.right() * scale, -m.bottom() * scale);
        // Lines of text inside the margins.
        p.setPen(QPen(QColor(0x9A, 0xB4, 0xD6), 1));
        for (double y = text.top() + 4; y < text.bottom() - 2; y += 5)
            p.drawLine(QPointF(text.left(), y), QPointF(text.right(), y));
        p.setPen(QPen(QColor(0x30, 0x60, 0xA0), 1, Qt::DashLine));
        p.drawRect(text);
    }

private:
    PageSetup m_setup;
};

namespace {

QString paperCaption(QPageSize::PageSizeId id)
{
    const QSizeF mm = QPageSize(id).size(QPageSize::Millimeter);
    QString name;
    switch (id) {
    case QPageSize::Letter:
        name = QStringLiteral("Lettre US");
        break;
    case QPageSize::Legal:
        name = QStringLiteral("Légal US");
        break;
    default:
        name = QPageSize::name(id);
    }
    return QStringLiteral("%1 (%2 × %3 mm)").arg(name).arg(qRound(mm.width())).arg(qRound(mm.height()));
}

QDoubleSpinBox *marginBox(const QString &name, double value, QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setLocale(QLocale(QLocale::French, QLocale::France));
    box->setDecimals(1);
    box->setSingleStep(1);
    box->setSuffix(QStringLiteral(" mm"));
    box->setRange(PageSetupDialog::MinimumMarginMm, 200);
    box->setValue(value);
    return box;
}

} // namespace

QList<QPageSize::PageSizeId> PageSetupDialog::Papers()
{
    return {QPageSize::A4, QPageSize::A3, QPageSize::A5, QPageSize::B5, QPageSize::Letter, QPageSize::Legal};
}

PageSetupDialog::PageSetupDialog(const PageSetup &setup, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("pageSetupDialog"));
    setWindowTitle(QStringLiteral("Mise en page"));
    setModal(true);

    m_paper = new QComboBox(this);
    m_paper->setObjectName(QStringLiteral("paperSize"));
    for (QPageSize::PageSizeId id : Papers())
        m_paper->addItem(paperCaption(id), int(id));
    int paper = m_paper->findData(int(setup.paper.id()));
    if (paper < 0) { // a paper chosen in the print dialog that the list lacks
        m_otherPaper = setup.paper;
        m_paper->addItem(setup.paper.name(), OtherPaper);
        paper = m_paper->count() - 1;
    }
    m_paper->setCurrentIndex(paper);

    m_portrait = new QRadioButton(QStringLiteral("&Portrait"), this);
    m_portrait->setObjectName(QStringLiteral("portrait"));
    m_landscape = new QRadioButton(QStringLiteral("P&aysage"), this);
    m_landscape->setObjectName(QStringLiteral("landscape"));
    (setup.orientation == PageComposer::Orientation::Portrait ? m_portrait : m_landscape)->setChecked(true);

    const QMarginsF &m = setup.marginsMm;
    m_left = marginBox(QStringLiteral("marginLeft"), m.left(), this);
    m_right = marginBox(QStringLiteral("marginRight"), m.right(), this);
    m_top = marginBox(QStringLiteral("marginTop"), m.top(), this);
    m_bottom = marginBox(QStringLiteral("marginBottom"), m.bottom(), this);

    auto *paperGroup = new QGroupBox(QStringLiteral("Papier"), this);
    auto *paperForm = new QFormLayout(paperGroup);
    paperForm->addRow(QStringLiteral("&Format :"), m_paper);

    auto *orientationGroup = new QGroupBox(QStringLiteral("Orientation"), this);
    auto *orientationRow = new QHBoxLayout(orientationGroup);
    orientationRow->addWidget(m_portrait);
    orientationRow->addWidget(m_landscape);
    orientationRow->addStretch(1);

    auto *marginGroup = new QGroupBox(QStringLiteral("Marges"), this);
    auto *marginGrid = new QGridLayout(marginGroup);
    const auto caption = [marginGroup](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text, marginGroup);
        label->setBuddy(buddy);
        return label;
    };
    marginGrid->addWidget(caption(QStringLiteral("&Gauche :"), m_left), 0, 0);
    marginGrid->addWidget(m_left, 0, 1);
    marginGrid->addWidget(caption(QStringLiteral("&Droite :"), m_right), 0, 2);
    marginGrid->addWidget(m_right, 0, 3);
    marginGrid->addWidget(caption(QStringLiteral("&Haut :"), m_top), 1, 0);
    marginGrid->addWidget(m_top, 1, 1);
    marginGrid->addWidget(caption(QStringLiteral("&Bas :"), m_bottom), 1, 2);
    marginGrid->addWidget(m_bottom, 1, 3);

    m_sketch = new PageSketch(this);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Annuler"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *controls = new QVBoxLayout;
    controls->addWidget(paperGroup);
    controls->addWidget(orientationGroup);
    controls->addWidget(marginGroup);
    controls->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addLayout(controls, 1);
    top->addWidget(m_sketch);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
    outer->addLayout(buttons);

    const auto changed = [this] {
        updateLimits();
        m_sketch->show(this->setup());
    };
    connect(m_paper, &QComboBox::currentIndexChanged, this, changed);
    connect(m_portrait, &QRadioButton::toggled, this, changed);
    for (QDoubleSpinBox *box : {m_left, m_right, m_top, m_bottom})
        connect(box, &QDoubleSpinBox::valueChanged, this, changed);
    changed();
}

PageSetup PageSetupDialog::setup() const
{
    PageSetup s;
    s.paper = paper();
    s.orientation =
        m_portrait->isChecked() ? PageComposer::Orientation::Portrait : PageComposer::Orientation::Landscape;
    s.marginsMm = QMarginsF(m_left->value(), m_top->value(), m_right->value(), m_bottom->value());
    return s;
}

QPageSize PageSetupDialog::paper() const
{
    const int id = m_paper->currentData().toInt();
    return id == OtherPaper ? m_otherPaper : QPageSize(QPageSize::PageSizeId(id));
}

void PageSetupDialog::updateLimits()
{
    // Each margin may take what the opposite one leaves, keeping room for the text.
    QSizeF mm = paper().size(QPageSize::Millimeter);
    if (m_landscape->isChecked())
        mm.transpose();
    const auto limit = [](QDoubleSpinBox *box, double room) {
        const QSignalBlocker blocker(box);
        box->setMaximum(qMax(MinimumMarginMm, room));
    };
    limit(m_left, mm.width() - MinimumTextMm - m_right->value());
    limit(m_right, mm.width() - MinimumTextMm - m_left->value());
    limit(m_top, mm.height() - MinimumTextMm - m_bottom->value());
    limit(m_bottom, mm.height() - MinimumTextMm - m_top->value());
}
