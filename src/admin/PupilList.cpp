#include "PupilList.h"

#include "common/TextUtil.h"
#include "data/Connection.h"
#include "reports/PageComposer.h"

#include <QSqlQuery>

void ComposePupilList(PageComposer &document, const Connection &connection, int schoolNo, int classNo)
{
    document.paragraph(QString());
    document.paragraph(QString());
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT NOM, CSP FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ? "
                             "ORDER BY NOM COLLATE FRANCAIS, NOELEVE"));
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    if (!q.exec())
        return;
    while (q.next()) {
        const QString name = EscapeRichText(q.value(0).toString());
        bool coded = false;
        const int csp = q.value(1).toInt(&coded);
        if (coded && csp >= 1 && csp <= 7)
            document.paragraph(QStringLiteral("{\\b ") + name + QStringLiteral("   {\\fs16 ") +
                               EscapeRichText(CspLabels().at(csp)) + QStringLiteral("}}"));
        else
            document.paragraph(QStringLiteral("{\\b ") + name + QStringLiteral("}"));
    }
}
