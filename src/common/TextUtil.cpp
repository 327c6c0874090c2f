#include "TextUtil.h"

QString TrimOrEmpty(const QVariant &value)
{
    if (value.typeId() != QMetaType::QString)
        return {};
    QString text = value.toString();
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    qsizetype begin = 0;
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    return text.mid(begin, end - begin);
}

const QStringList &CspLabels()
{
    static const QStringList labels = {
        QString(),
        QStringLiteral("Sans emploi"),
        QStringLiteral("Agriculteur / Pêcheur"),
        QStringLiteral("Ouvrier / Employé"),
        QStringLiteral("Cadre moyen"),
        QStringLiteral("Cadre supérieur"),
        QStringLiteral("Artisan / Commerçant"),
        QStringLiteral("Profession libérale"),
    };
    return labels;
}
