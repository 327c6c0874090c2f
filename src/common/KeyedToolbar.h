#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QToolBar;

// Fills a toolbar whose buttons are recognised by their key: each entry is
// {key, caption, tooltip}, an empty entry a separator. `clicked` receives the
// key of the button clicked. Returns the buttons by key.
QHash<QString, QAction *> AddKeyedButtons(QToolBar *toolbar, const QList<QStringList> &buttons,
                                          const std::function<void(const QString &key)> &clicked);
