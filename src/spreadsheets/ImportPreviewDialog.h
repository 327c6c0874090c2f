#pragma once

#include "ResultsImport.h"

#include <QDialog>

class QTreeWidget;

// What an import of results will change, before anything is written: the
// pupils, the cells, each value before and after. "Importer" writes,
// "Annuler" gives up.
class ImportPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    ImportPreviewDialog(const QString &fileName, const ResultsImport::Plan &plan, QWidget *parent = nullptr);

    QTreeWidget *changeList() const { return m_changes; }

private:
    QTreeWidget *m_changes = nullptr;
};
