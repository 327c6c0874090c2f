#include "TextUtil.h"

#include <QStringDecoder>

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

namespace {

// Windows-1252 in 0x80..0x9F; the other bytes are those of Latin-1. The five
// unassigned bytes keep their C1 code, as Windows converts them.
const char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString DecodeUtf8OrWindows1252(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(Cp1252High[b - 0x80]) : QChar(b));
    }
    return text;
}
