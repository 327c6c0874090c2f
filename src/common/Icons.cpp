#include "Icons.h"

#include <QHash>

// The resource lives in a static library: its initialiser must be referenced,
// from the global namespace.
static void loadBundledIcons()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace {

// Command -> freedesktop icon name; the bundled copy is ":/icons/<name>.png".
const QHash<QString, QString> &themeNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("entry"), QStringLiteral("accessories-text-editor")},
        {QStringLiteral("synthesis"), QStringLiteral("x-office-spreadsheet")},
        {QStringLiteral("grid"), QStringLiteral("view-grid-symbolic")},
        {QStringLiteral("spreadsheet"), QStringLiteral("applications-office")},
        {QStringLiteral("backup"), QStringLiteral("document-save")},
        {QStringLiteral("restore"), QStringLiteral("document-revert")},
        {QStringLiteral("dataFolder"), QStringLiteral("folder-open")},
        {QStringLiteral("print"), QStringLiteral("document-print")},
        {QStringLiteral("printPage"), QStringLiteral("printer")},
        {QStringLiteral("pageSetup"), QStringLiteral("document-page-setup")},
        {QStringLiteral("pdf"), QStringLiteral("x-office-document")},
        {QStringLiteral("close"), QStringLiteral("window-close")},
        {QStringLiteral("yearChange"), QStringLiteral("x-office-calendar")},
        {QStringLiteral("add"), QStringLiteral("list-add")},
        {QStringLiteral("modify"), QStringLiteral("insert-text")},
        {QStringLiteral("delete"), QStringLiteral("edit-delete")},
        {QStringLiteral("export"), QStringLiteral("document-send")},
        {QStringLiteral("import"), QStringLiteral("document-open")},
        {QStringLiteral("validate"), QStringLiteral("emblem-default")},
        {QStringLiteral("next"), QStringLiteral("go-next")},
        {QStringLiteral("cancel"), QStringLiteral("edit-undo")},
        {QStringLiteral("exit"), QStringLiteral("application-exit")},
    };
    return names;
}

} // namespace

namespace Icons {

QString themeName(const QString &command)
{
    return themeNames().value(command);
}

QStringList commands()
{
    QStringList names = themeNames().keys();
    names.sort();
    return names;
}

QIcon forCommand(const QString &command)
{
    const QString name = themeName(command);
    if (name.isEmpty())
        return QIcon();
    loadBundledIcons();
    static QHash<QString, QIcon> cache;
    auto found = cache.constFind(command);
    if (found != cache.constEnd())
        return *found;
    const QIcon bundled(QStringLiteral(":/icons/%1.png").arg(name));
    const QIcon icon = QIcon::fromTheme(name, bundled);
    cache.insert(command, icon);
    return icon;
}

} // namespace Icons
