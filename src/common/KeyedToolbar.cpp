#include "KeyedToolbar.h"

#include "Icons.h"

#include <QAction>
#include <QToolBar>
#include <QWidget>

namespace {

QString withoutMnemonic(QString caption)
{
    caption.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return caption;
}

} // namespace

QHash<QString, QAction *> AddKeyedButtons(QToolBar *toolbar, const QList<QStringList> &buttons,
                                          const std::function<void(const QString &key)> &clicked)
{
    QHash<QString, QAction *> actions;
    for (const QStringList &b : buttons) {
        if (b.isEmpty()) {
            toolbar->addSeparator();
            continue;
        }
        const QString key = b.at(0);
        QAction *action = toolbar->addAction(b.value(1));
        action->setObjectName(key);
        action->setData(key);
        action->setToolTip(b.value(2));
        if (!b.value(4).isEmpty())
            action->setIcon(Icons::forCommand(b.value(4)));
        SetCommandShortcuts(action, b.value(3));
        QObject::connect(action, &QAction::triggered, toolbar, [clicked, key] { clicked(key); });
        actions.insert(key, action);
    }
    NameToolbarButtons(toolbar);
    return actions;
}

QString FrenchKeyText(const QKeySequence &keys)
{
    // Whole key names first; modifiers are followed by "+".
    static const std::pair<const char *, const char *> names[] = {
        {"Del", "Suppr"},         {"Ins", "Inser"},
        {"Return", "Entrée"},     {"Enter", "Entrée"},
        {"Esc", "Échap"},         {"PgUp", "Page préc."},
        {"PgDown", "Page suiv."}, {"Home", "Origine"},
        {"End", "Fin"},           {"Backspace", "Retour arrière"},
        {"Space", "Espace"},
    };
    QStringList parts;
    for (QString part : keys.toString(QKeySequence::PortableText).split(QStringLiteral(", "))) {
        QStringList keysOfPart = part.split(QLatin1Char('+'));
        for (QString &k : keysOfPart) {
            if (k == QLatin1String("Shift"))
                k = QStringLiteral("Maj");
            for (const auto &[english, french] : names)
                if (k == QLatin1String(english))
                    k = QString::fromUtf8(french);
        }
        parts.append(keysOfPart.join(QLatin1Char('+')));
    }
    return parts.join(QStringLiteral(", "));
}

void SetCommandShortcuts(QAction *action, const QList<QKeySequence> &keys)
{
    action->setShortcuts(keys);
    if (keys.isEmpty())
        return;
    QString tip = action->toolTip();
    // QAction makes a tooltip of the caption when none was given.
    if (tip.isEmpty())
        tip = withoutMnemonic(action->text());
    action->setToolTip(QStringLiteral("%1 (%2)").arg(tip, FrenchKeyText(keys.first())));
}

void SetCommandShortcuts(QAction *action, const QString &portableTexts)
{
    QList<QKeySequence> keys;
    for (const QString &text : portableTexts.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        keys.append(QKeySequence(text, QKeySequence::PortableText));
    SetCommandShortcuts(action, keys);
}

void NameToolbarButtons(QToolBar *toolbar)
{
    for (QAction *action : toolbar->actions()) {
        QWidget *button = toolbar->widgetForAction(action);
        if (!button || action->isSeparator())
            continue;
        button->setAccessibleName(withoutMnemonic(action->text()));
        button->setAccessibleDescription(action->toolTip());
    }
}
