#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QToolBar;

// Fills a toolbar whose buttons are recognised by their key: each entry is
// {key, caption, tooltip[, shortcuts[, icon]]}, an empty entry a separator.
// Shortcuts are written as QKeySequence's portable texts separated by ";"
// ("Return;Enter"), the first one shown in the tooltip; the icon is a command
// name of Icons::forCommand. `clicked` receives the key of the button
// clicked. Returns the buttons by key; the buttons get their accessible names.
QHash<QString, QAction *> AddKeyedButtons(QToolBar *toolbar, const QList<QStringList> &buttons,
                                          const std::function<void(const QString &key)> &clicked);

// A key sequence as a French keyboard labels it: "Suppr", "Entrée", "Ctrl+Maj+I".
QString FrenchKeyText(const QKeySequence &keys);

// Gives `action` its shortcuts; its tooltip (the caption when it has none)
// ends with the first one: "Modifie (F2)". No shortcut leaves the tooltip as it is.
void SetCommandShortcuts(QAction *action, const QList<QKeySequence> &keys);
void SetCommandShortcuts(QAction *action, const QString &portableTexts);

// The toolbar's buttons named for screen readers: the caption as the
// accessible name, the tooltip as the description. Called again after a
// caption or a tooltip changes.
void NameToolbarButtons(QToolBar *toolbar);
