#include "MainLists.h"

#include "mainwindow/Form1.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>

void RefillList(QListWidget *list, const QStringList &texts, const QList<int> &levelCodes, int select)
{
    {
        const QSignalBlocker blocker(list);
        list->clear();
        for (int i = 0; i < texts.size(); ++i) {
            auto *item = new QListWidgetItem(texts.at(i), list);
            if (i < levelCodes.size() && levelCodes.at(i) > 0)
                item->setData(Qt::UserRole, levelCodes.at(i));
        }
        list->setCurrentRow(-1);
    }
    if (select >= 0 && select < list->count())
        list->setCurrentRow(select);
}

void ClearProfileValues(Form1 &form1, bool classPanel)
{
    for (int i = 0; i < 4; ++i) {
        form1.Label6(i)->setText(QStringLiteral("_"));
        if (classPanel)
            form1.Label6(10 + i)->setText(QStringLiteral("_"));
    }
}
