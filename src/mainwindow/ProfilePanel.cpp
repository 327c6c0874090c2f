#include "ProfilePanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

ProfilePanel::ProfilePanel(const QString &objectName, const QString &title, QWidget *parent) : QGroupBox(title, parent)
{
    setObjectName(objectName);
    setAccessibleName(title);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(24, 24, 24, 24);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(10);
    QFont valueFont = font();
    valueFont.setPointSizeF(valueFont.pointSizeF() * 1.6);
    valueFont.setBold(true);
    for (int i = 0; i < 4; ++i) {
        auto *caption = new QLabel(this);
        caption->setObjectName(QStringLiteral("domainCaption_%1").arg(i));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *value = new QLabel(QStringLiteral("_"), this);
        value->setObjectName(QStringLiteral("domainValue_%1").arg(i));
        value->setAlignment(Qt::AlignCenter);
        value->setFont(valueFont);
        value->setMinimumWidth(40);
        grid->addWidget(caption, i, 0);
        grid->addWidget(value, i, 1);
        m_captions.append(caption);
        m_values.append(value);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
}

void ProfilePanel::paintEvent(QPaintEvent *event)
{
    QGroupBox::paintEvent(event);
    if (m_values.isEmpty())
        return;
    // The fixed drawing: a rounded box around the values and three rules between the rows.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    const QRect first = m_values.first()->geometry();
    const QRect last = m_values.last()->geometry();
    const QRect box = first.united(last).adjusted(-8, -6, 8, 6);
    p.drawRoundedRect(box, 6, 6);
    for (int i = 1; i < m_values.size(); ++i) {
        const int y = (m_values.at(i - 1)->geometry().bottom() + m_values.at(i)->geometry().top()) / 2;
        p.drawLine(m_captions.at(i)->geometry().left(), y, box.right(), y);
    }
}

void ProfilePanel::setCaptions(const QStringList &captions)
{
    for (int i = 0; i < m_captions.size() && i < captions.size(); ++i)
        m_captions.at(i)->setText(captions.at(i));
    nameValues();
}

void ProfilePanel::nameValues()
{
    // A screen reader reads a value with its domain: "LEC : A".
    for (int i = 0; i < m_values.size(); ++i)
        m_values.at(i)->setAccessibleName(m_captions.at(i)->text() + QStringLiteral(" : ") + m_values.at(i)->text());
}

void ProfilePanel::setValues(const QStringList &values)
{
    for (int i = 0; i < m_values.size() && i < values.size(); ++i)
        m_values.at(i)->setText(values.at(i));
    nameValues();
}

void ProfilePanel::clearValues()
{
    for (QLabel *value : std::as_const(m_values))
        value->setText(QStringLiteral("_"));
    nameValues();
}

QString ProfilePanel::valueText(int row) const
{
    const QLabel *value = m_values.value(row);
    return value ? value->text() : QString();
}
