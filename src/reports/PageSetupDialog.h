#pragma once

#include "PageSetup.h"

#include <QDialog>
#include <QList>

class QButtonGroup;
class QComboBox;
class QDoubleSpinBox;
class QRadioButton;
class PageSketch;

// "Mise en page": the paper, the orientation and the four margins in
// millimetres, with a sketch of the sheet. It works the same whatever the
// printer, a PDF file included, since the document draws its own margins.
class PageSetupDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PageSetupDialog(const PageSetup &setup, QWidget *parent = nullptr);

    // What the controls show.
    PageSetup setup() const;

    // The papers offered, in the list's order.
    static QList<QPageSize::PageSizeId> Papers();
    // The least margin, so that the header and the footer keep room.
    static constexpr double MinimumMarginMm = 10;
    // The least the margins leave of the sheet, across and down.
    static constexpr double MinimumTextMm = 80;

private:
    static constexpr int OtherPaper = -1;
    QPageSize paper() const;
    void updateLimits();

    QPageSize m_otherPaper;

    QComboBox *m_paper = nullptr;
    QRadioButton *m_portrait = nullptr;
    QRadioButton *m_landscape = nullptr;
    QDoubleSpinBox *m_left = nullptr;
    QDoubleSpinBox *m_top = nullptr;
    QDoubleSpinBox *m_right = nullptr;
    QDoubleSpinBox *m_bottom = nullptr;
    PageSketch *m_sketch = nullptr;
};
