#include "PupilList.h"

#include "common/TextUtil.h"
#include "data/Connection.h"
#include "reports/PageComposer.h"

#include <QSqlQuery>

#include <utility>

namespace {

// The school's name and the class's label, by key; empty when not found.
std::pair<QString, QString> schoolAndClass(const Connection &connection, int schoolNo, int classNo)
{
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT (SELECT NOM_ECOLE FROM ECOLE WHERE NOECOLE = ?), "
                             "(SELECT LIBELLE FROM CLASSE WHERE NOECOLE = ? AND NOCLASSE = ?)"));
    q.addBindValue(schoolNo);
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    if (!q.exec() || !q.next())
        return {};
    return {q.value(0).toString().trimmed(), q.value(1).toString().trimmed()};
}

} // namespace

void ComposePupilList(PageComposer &document, const Connection &connection, int schoolNo, int classNo)
{
    // Under the title (which names the print job), the school and the class.
    const auto [school, label] = schoolAndClass(connection, schoolNo, classNo);
    document.setHeader(document.header().section(QLatin1Char('|'), 0, 0) + QStringLiteral("\\par{\\fs20 École : ") +
                       EscapeRichText(school).replace('|', ' ') + QStringLiteral("      Classe : ") +
                       EscapeRichText(label).replace('|', ' ') + QStringLiteral("}"));
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
