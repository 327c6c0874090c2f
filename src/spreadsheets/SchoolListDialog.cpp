#include "SchoolListDialog.h"

#include "common/Dialogs.h"
#include "data/Roster.h"
#include "evaluation/EvaluationModel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { ClassColumn, LevelColumn, PupilsColumn, TargetColumn, TeacherColumn };
constexpr int NewClass = -1;
constexpr int Skip = 0;

} // namespace

SchoolListDialog::SchoolListDialog(const Connection &connection, Dialogs &dialogs, int schoolNo,
                                   const QString &fileName, const QList<SchoolList::Group> &groups, QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_groups(groups)
{
    setObjectName(QStringLiteral("schoolListDialog"));
    setWindowTitle(QStringLiteral("Importer la liste de l'école (CSV)"));
    auto *layout = new QVBoxLayout(this);
    int pupils = 0;
    for (const SchoolList::Group &g : groups)
        pupils += int(g.pupils.size());
    auto *summary = new QLabel(QStringLiteral("« %1 » : %2 élève(s) dans %3 classe(s). Choisissez la classe de l'école "
                                              "qui reçoit chacune ; les élèves déjà présents ne seront pas ajoutés.")
                                   .arg(fileName)
                                   .arg(pupils)
                                   .arg(groups.size()),
                               this);
    summary->setWordWrap(true);
    layout->addWidget(summary);

    const QList<Roster::ClassEntry> classes = Roster::Classes(connection, schoolNo);
    m_table = new QTableWidget(int(groups.size()), 5, this);
    m_table->setObjectName(QStringLiteral("schoolListTable"));
    m_table->setAccessibleName(QStringLiteral("Classes de la liste"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Classe de la liste"), QStringLiteral("Niveau"),
                                        QStringLiteral("Elèves"), QStringLiteral("Classe de l'école"),
                                        QStringLiteral("Enseignant (nouvelle classe)")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    for (int r = 0; r < groups.size(); ++r) {
        const SchoolList::Group &g = groups.at(r);
        const auto cell = [&](int column, const QString &text) {
            auto *item = new QTableWidgetItem(text);
            item->setFlags(Qt::ItemIsEnabled);
            m_table->setItem(r, column, item);
        };
        cell(ClassColumn, g.classLabel);
        cell(LevelColumn, g.level ? LevelName(g.level) : g.levelText + QStringLiteral(" (ignorée)"));
        cell(PupilsColumn, QString::number(g.pupils.size()));
        auto *target = new QComboBox(m_table);
        target->setObjectName(QStringLiteral("target%1").arg(r));
        target->setAccessibleName(QStringLiteral("Classe de l'école pour « %1 »").arg(g.classLabel));
        auto *teacher = new QLineEdit(m_table);
        teacher->setObjectName(QStringLiteral("teacher%1").arg(r));
        teacher->setAccessibleName(QStringLiteral("Enseignant de la nouvelle classe pour « %1 »").arg(g.classLabel));
        teacher->setMaxLength(80);
        target->addItem(QStringLiteral("Ne pas importer"), Skip);
        if (g.level != 0) {
            target->addItem(QStringLiteral("Nouvelle classe de %1").arg(LevelName(g.level)), NewClass);
            // The class of the same label, else the school's only class of the level, else a new one.
            int chosen = 1;
            for (const Roster::ClassEntry &c : classes) {
                if (LevelCode(c.level) != g.level)
                    continue;
                target->addItem(c.label, c.classNo);
                if (c.label.compare(g.classLabel, Qt::CaseInsensitive) == 0)
                    chosen = target->count() - 1;
            }
            if (chosen == 1 && target->count() == 3)
                chosen = 2;
            target->setCurrentIndex(chosen);
        } else {
            target->setEnabled(false);
        }
        const auto follow = [target, teacher] { teacher->setEnabled(target->currentData().toInt() == NewClass); };
        connect(target, &QComboBox::currentIndexChanged, teacher, follow);
        follow();
        m_table->setCellWidget(r, TargetColumn, target);
        m_table->setCellWidget(r, TeacherColumn, teacher);
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table, 1);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *import = buttons->addButton(QStringLiteral("Importer"), QDialogButtonBox::AcceptRole);
    import->setObjectName(QStringLiteral("importButton"));
    import->setDefault(true);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(820, 420);
}

QList<SchoolList::Target> SchoolListDialog::targets() const
{
    QList<SchoolList::Target> list;
    for (int r = 0; r < m_groups.size(); ++r) {
        const auto *target = qobject_cast<QComboBox *>(m_table->cellWidget(r, TargetColumn));
        const auto *teacher = qobject_cast<QLineEdit *>(m_table->cellWidget(r, TeacherColumn));
        const int data = target->isEnabled() ? target->currentData().toInt() : Skip;
        SchoolList::Target t;
        if (data == NewClass) {
            t.kind = SchoolList::Target::Kind::New;
            t.teacher = teacher->text().simplified();
        } else if (data > 0) {
            t.kind = SchoolList::Target::Kind::Existing;
            t.classNo = data;
        }
        list.append(t);
    }
    return list;
}

void SchoolListDialog::accept()
{
    const QList<SchoolList::Target> list = targets();
    for (int r = 0; r < list.size(); ++r) {
        if (list.at(r).kind == SchoolList::Target::Kind::New && list.at(r).teacher.isEmpty()) {
            m_dialogs.message(QStringLiteral("ATTENTION"),
                              QStringLiteral("Tapez le nom de l'enseignant de la nouvelle classe « %1 ».")
                                  .arg(m_groups.at(r).classLabel),
                              Dialogs::Icon::Warning);
            m_table->cellWidget(r, TeacherColumn)->setFocus();
            return;
        }
    }
    QDialog::accept();
}
