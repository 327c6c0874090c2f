#pragma once

#include <QHeaderView>

// The class grid's column header: each exercise's heading in a band across
// its columns (ClassGridModel::HeadingRole, grouped by ExerciseRole), the
// columns' own captions under it.
class GridHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    explicit GridHeaderView(QWidget *parent = nullptr);

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void paintEvent(QPaintEvent *event) override;

private:
    int bandHeight() const;
};
