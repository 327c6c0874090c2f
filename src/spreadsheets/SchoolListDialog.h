#pragma once

#include "SchoolList.h"

#include <QDialog>

class QTableWidget;
class Connection;
class Dialogs;

// The classes found in the administration's list, each with its level and
// pupil count, and where its pupils go: an existing class of the school, a
// new class (its teacher's name typed), or nowhere. Classes of a level the
// program does not evaluate are shown as skipped.
class SchoolListDialog : public QDialog
{
    Q_OBJECT
public:
    SchoolListDialog(const Connection &connection, Dialogs &dialogs, int schoolNo, const QString &fileName,
                     const QList<SchoolList::Group> &groups, QWidget *parent = nullptr);

    QList<SchoolList::Target> targets() const;
    QTableWidget *table() const { return m_table; }

    void accept() override;

private:
    Dialogs &m_dialogs;
    QList<SchoolList::Group> m_groups;
    QTableWidget *m_table = nullptr;
};
