#include "GridHeaderView.h"

#include "ClassGridModel.h"

#include <QPainter>
#include <QStyleOptionHeader>

GridHeaderView::GridHeaderView(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setDefaultAlignment(Qt::AlignCenter);
    setSectionsClickable(false);
    setHighlightSections(true);
}

int GridHeaderView::bandHeight() const
{
    return fontMetrics().height() + 8;
}

QSize GridHeaderView::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    size.setHeight(size.height() + bandHeight());
    return size;
}

void GridHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    QHeaderView::paintSection(painter, rect.adjusted(0, bandHeight(), 0, 0), logicalIndex);
}

void GridHeaderView::paintEvent(QPaintEvent *event)
{
    QHeaderView::paintEvent(event);
    if (!model())
        return;
    QPainter painter(viewport());
    const int band = bandHeight();
    QFont bold = font();
    bold.setBold(true);
    // One band per run of columns of the same exercise.
    for (int first = 0; first < count();) {
        const int exercise = model()->headerData(first, Qt::Horizontal, ClassGridModel::ExerciseRole).toInt();
        int last = first;
        while (last + 1 < count() &&
               model()->headerData(last + 1, Qt::Horizontal, ClassGridModel::ExerciseRole).toInt() == exercise)
            ++last;
        const int left = sectionViewportPosition(first);
        const int right = sectionViewportPosition(last) + sectionSize(last);
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.rect = QRect(left, 0, right - left, band);
        option.section = first;
        option.position = QStyleOptionHeader::Middle;
        option.textAlignment = Qt::AlignCenter;
        option.text = model()->headerData(first, Qt::Horizontal, ClassGridModel::HeadingRole).toString();
        painter.save();
        painter.setFont(bold);
        style()->drawControl(QStyle::CE_HeaderSection, &option, &painter, this);
        option.rect.adjust(2, 0, -2, 0);
        option.text = painter.fontMetrics().elidedText(option.text, Qt::ElideRight, option.rect.width());
        style()->drawControl(QStyle::CE_HeaderLabel, &option, &painter, this);
        painter.restore();
        first = last + 1;
    }
}
