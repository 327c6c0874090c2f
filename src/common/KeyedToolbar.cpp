#include "KeyedToolbar.h"

#include <QAction>
#include <QToolBar>

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
        QObject::connect(action, &QAction::triggered, toolbar, [clicked, key] { clicked(key); });
        actions.insert(key, action);
    }
    return actions;
}
