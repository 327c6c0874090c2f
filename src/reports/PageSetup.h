#pragma once

#include "PageComposer.h"

#include <QMarginsF>
#include <QPageSize>

// The paper, orientation and margins (in millimetres) a document is laid out
// on. The synthesis's set-up chosen in its viewer is kept for the rest of the
// program's run: the following previews, prints and PDF files use it.
struct PageSetup
{
    QPageSize paper{QPageSize::A4};
    PageComposer::Orientation orientation = PageComposer::Orientation::Landscape;
    QMarginsF marginsMm{25.4, 25.4, 25.4, 25.4}; // one inch each side

    bool operator==(const PageSetup &other) const;

    // The class synthesis's own: A4 landscape, margins of one inch.
    static PageSetup Synthesis() { return PageSetup(); }

    // The pupils' results sheets: A4 portrait, margins of 2 cm.
    static PageSetup Sheet()
    {
        PageSetup setup;
        setup.orientation = PageComposer::Orientation::Portrait;
        setup.marginsMm = QMarginsF(20, 20, 20, 20);
        return setup;
    }

    // The set-up chosen for the synthesis in this run of the program.
    static PageSetup Session();
    static void KeepForSession(const PageSetup &setup);
};

int MillimetresToTwips(double mm);

// Lays the document out on the set-up's paper, orientation and margins.
void ApplyPageSetup(PageComposer &document, const PageSetup &setup);
