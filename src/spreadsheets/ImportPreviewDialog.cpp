#include "ImportPreviewDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

ImportPreviewDialog::ImportPreviewDialog(const QString &fileName, const ResultsImport::Plan &plan, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("importPreviewDialog"));
    setWindowTitle(QStringLiteral("Importer des résultats"));
    auto *layout = new QVBoxLayout(this);
    const int pupils = plan.pupilCount();
    auto *summary = new QLabel(
        QStringLiteral("« %1 » : %2 valeur(s) de %3 élève(s) vont changer. Les totaux, catégories et profils seront "
                       "recalculés.")
            .arg(fileName)
            .arg(plan.changes.size())
            .arg(pupils),
        this);
    summary->setObjectName(QStringLiteral("importSummary"));
    summary->setWordWrap(true);
    layout->addWidget(summary);

    m_changes = new QTreeWidget(this);
    m_changes->setObjectName(QStringLiteral("importChanges"));
    m_changes->setAccessibleName(QStringLiteral("Valeurs qui changent"));
    m_changes->setRootIsDecorated(false);
    m_changes->setHeaderLabels({QStringLiteral("Classe"), QStringLiteral("Elève"), QStringLiteral("Colonne"),
                                QStringLiteral("Avant"), QStringLiteral("Après")});
    for (const ResultsImport::Change &c : plan.changes) {
        auto *item = new QTreeWidgetItem(m_changes, {c.classLabel, c.pupil, c.column, c.before, c.after});
        QFont bold = item->font(4);
        bold.setBold(true);
        item->setFont(4, bold);
    }
    for (int c = 0; c < 5; ++c)
        m_changes->resizeColumnToContents(c);
    m_changes->header()->setStretchLastSection(false);
    layout->addWidget(m_changes, 1);

    if (!plan.notes.isEmpty()) {
        auto *notes = new QLabel(plan.notes.join(QLatin1Char('\n')), this);
        notes->setObjectName(QStringLiteral("importNotes"));
        notes->setWordWrap(true);
        layout->addWidget(notes);
    }
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *import = buttons->addButton(QStringLiteral("Importer"), QDialogButtonBox::AcceptRole);
    import->setObjectName(QStringLiteral("importButton"));
    import->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 480);
}
