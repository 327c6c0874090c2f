#include "PageSetup.h"

#include <cmath>

namespace {

PageSetup &sessionSetup()
{
    static PageSetup setup = PageSetup::Synthesis();
    return setup;
}

} // namespace

bool PageSetup::operator==(const PageSetup &other) const
{
    return paper.isEquivalentTo(other.paper) && orientation == other.orientation && marginsMm == other.marginsMm;
}

PageSetup PageSetup::Session()
{
    return sessionSetup();
}

void PageSetup::KeepForSession(const PageSetup &setup)
{
    sessionSetup() = setup;
}

int MillimetresToTwips(double mm)
{
    return int(std::lround(mm * PageComposer::TwipsPerInch / 25.4));
}

void ApplyPageSetup(PageComposer &document, const PageSetup &setup)
{
    document.setPageSize(setup.paper);
    document.setOrientation(setup.orientation);
    const QMarginsF &m = setup.marginsMm;
    document.setMargins(MillimetresToTwips(m.left()), MillimetresToTwips(m.top()), MillimetresToTwips(m.right()),
                        MillimetresToTwips(m.bottom()));
}
