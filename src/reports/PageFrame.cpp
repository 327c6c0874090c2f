#include "PageFrame.h"

#include "PageComposer.h"

QString StandardFooter(const QDateTime &now, const QString &programTitle)
{
    return QStringLiteral("Le ") + now.toString(QStringLiteral("dd-MM-yyyy")) + QStringLiteral("   à ") +
           now.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("|-%d-|") + programTitle;
}

void StartPageFrame(PageComposer &document, const QString &title, const QString &footer)
{
    document.setOrientation(PageComposer::Orientation::Portrait);
    document.setHeader(title);
    document.setFooter(footer);
    document.startDoc();
    document.setFontSize(14);
}

void ComposeRecordSheet(PageComposer &document, const QList<std::pair<QString, QString>> &fields)
{
    for (int i = 0; i < 3; ++i)
        document.paragraph(QString());
    for (const auto &[caption, value] : fields) {
        document.paragraph(QStringLiteral("{") + EscapeRichText(caption) + QStringLiteral(" : {\\b ") +
                           EscapeRichText(value) + QStringLiteral("}}"));
        document.paragraph(QString());
    }
}
