#include "PupilList.h"

#include "common/TextUtil.h"
#include "data/Recordset.h"
#include "reports/PageComposer.h"

void ComposePupilList(PageComposer &document, Recordset &pupils)
{
    document.paragraph(QString());
    document.paragraph(QString());
    if (pupils.recordCount() == 0)
        return;
    if (pupils.eof())
        pupils.moveFirst();
    const QVariant current = pupils.bookmark();
    for (pupils.moveFirst(); !pupils.eof(); pupils.moveNext()) {
        const QString name = EscapeRichText(pupils.value(QStringLiteral("NOM")).toString());
        bool coded = false;
        const int csp = pupils.value(QStringLiteral("CSP")).toInt(&coded);
        if (coded && csp >= 1 && csp <= 7)
            document.paragraph(QStringLiteral("{\\b ") + name + QStringLiteral("   {\\fs16 ") +
                               EscapeRichText(CspLabels().at(csp)) + QStringLiteral("}}"));
        else
            document.paragraph(QStringLiteral("{\\b ") + name + QStringLiteral("}"));
    }
    pupils.setBookmark(current);
}
