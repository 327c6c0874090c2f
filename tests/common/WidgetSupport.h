#pragma once

#include <QListWidget>
#include <QStringList>

namespace TestSupport {

// The texts of a list's entries, in order.
inline QStringList listTexts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

} // namespace TestSupport
