#include "ClassGridWindow.h"

#include "ClassGridView.h"
#include "EvaluationModel.h"
#include "common/KeyedToolbar.h"
#include "data/AppContext.h"
#include "data/Roster.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString Caption = QStringLiteral("Saisie de la classe");
const QString SaveQuestion = QStringLiteral("Enregistrer les modifications ?");
const QString EnterDownSetting = QStringLiteral("grilleClasse/entreeVersLeBas");

QString classLabel(Connection &connection, int schoolNo, int classNo)
{
    for (const Roster::ClassEntry &entry : Roster::Classes(connection, schoolNo))
        if (entry.classNo == classNo)
            return entry.label;
    return QString();
}

} // namespace

ClassGridWindow::ClassGridWindow(AppContext &context, int trimester, QWidget *parent)
    : QDialog(parent), m_context(context), m_level(context.session.classLevel())
{
    setObjectName(QStringLiteral("classGridWindow"));
    setWindowTitle(Caption);
    const Session &session = context.session;

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    buildToolbar();
    layout->addWidget(m_toolbar);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(8, 4, 8, 4);
    auto *className = new QLabel(classLabel(context.connection, session.schoolNo(), session.classNo()), this);
    className->setObjectName(QStringLiteral("className"));
    QFont bold = className->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    className->setFont(bold);
    className->setAccessibleName(QStringLiteral("Classe"));
    top->addWidget(className, 1);

    auto *trimesterLabel = new QLabel(QStringLiteral("&Trimestre :"), this);
    m_trimesters = new QComboBox(this);
    m_trimesters->setObjectName(QStringLiteral("trimesterSelector"));
    m_trimesters->setAccessibleName(QStringLiteral("Trimestre"));
    for (int t : EvaluatedTrimesters(m_level))
        m_trimesters->addItem(TrimesterTabCaption(t), t);
    trimesterLabel->setBuddy(m_trimesters);
    top->addWidget(trimesterLabel);
    top->addWidget(m_trimesters);
    top->addSpacing(16);

    auto *enterLabel = new QLabel(QStringLiteral("&Entrée :"), this);
    m_enterDirection = new QComboBox(this);
    m_enterDirection->setObjectName(QStringLiteral("enterDirection"));
    m_enterDirection->setAccessibleName(QStringLiteral("Entrée"));
    m_enterDirection->addItem(QStringLiteral("vers la droite"));
    m_enterDirection->addItem(QStringLiteral("vers le bas"));
    m_enterDirection->setToolTip(QStringLiteral("Où va la touche Entrée après une valeur"));
    enterLabel->setBuddy(m_enterDirection);
    top->addWidget(enterLabel);
    top->addWidget(m_enterDirection);
    layout->addLayout(top);

    m_model = new ClassGridModel(context.connection, m_level, session.schoolNo(), session.classNo(), this);
    m_view = new ClassGridView(this);
    m_view->setObjectName(QStringLiteral("classGrid"));
    m_view->setAccessibleName(QStringLiteral("Résultats de la classe"));
    m_view->setGridModel(m_model);
    layout->addWidget(m_view, 1);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("statusBar"));
    status->setSizeGripEnabled(false);
    m_refusalPanel = new QLabel(status);
    m_refusalPanel->setObjectName(QStringLiteral("refusalPanel"));
    m_refusalPanel->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_refusalPanel->setAccessibleName(QStringLiteral("Motif du refus"));
    status->addWidget(m_refusalPanel, 3);
    m_statusPanel = new QLabel(status);
    m_statusPanel->setObjectName(QStringLiteral("statusPanel"));
    m_statusPanel->setAccessibleName(QStringLiteral("État"));
    status->addWidget(m_statusPanel, 2);
    layout->addWidget(status);

    const bool down = QSettings().value(EnterDownSetting, false).toBool();
    m_enterDirection->setCurrentIndex(down ? 1 : 0);
    m_view->setEnterMovesDown(down);
    connect(m_enterDirection, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_view->setEnterMovesDown(index == 1);
        QSettings().setValue(EnterDownSetting, index == 1);
    });

    connect(m_model, &ClassGridModel::checked, this, [this](int row, const ClassGridModel::Outcome &o) {
        const QString pupil = m_model->pupilName(row);
        if (!o.refusal.isEmpty())
            setRefusal(pupil + QStringLiteral(" : ") + o.refusal);
        else if (!o.status.isEmpty())
            setRefusal(pupil + QStringLiteral(" : ") + o.status);
        else
            setRefusal(QString());
    });
    connect(m_view, &ClassGridView::pasted, this, [this](const QList<ClassGridModel::PasteRefusal> &refusals) {
        if (refusals.isEmpty()) {
            setRefusal(QString());
            return;
        }
        QStringList lines;
        for (const ClassGridModel::PasteRefusal &r : refusals)
            lines.append(QStringLiteral("%1 — %2 : %3").arg(r.pupil, r.column, r.reason));
        setRefusal(QStringLiteral("%1 valeur(s) collée(s) refusée(s)").arg(refusals.size()));
        m_context.dialogs.message(
            QStringLiteral("ATTENTION"),
            QStringLiteral("Ces valeurs n'ont pas été collées, leurs cases sont restées telles quelles :\n") +
                lines.join(QLatin1Char('\n')),
            Dialogs::Icon::Warning);
    });
    connect(m_view, &ClassGridView::undone, this, [this] { setRefusal(QString()); });
    connect(m_view, &ClassGridView::cleared, this, [this] { setRefusal(QString()); });

    int index = m_trimesters->findData(trimester);
    if (index < 0)
        index = 0;
    m_trimesters->setCurrentIndex(index);
    showTrimester(m_trimesters->currentData().toInt());
    connect(m_trimesters, &QComboBox::currentIndexChanged, this, &ClassGridWindow::trimesterChosen);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &cell) {
        const int box = m_model->boxOfColumn(cell.column());
        m_statusPanel->setText(box ? RangeHint(box) : QString());
    });
    resize(1180, 640);
}

ClassGridWindow::~ClassGridWindow() = default;

void ClassGridWindow::buildToolbar()
{
    m_toolbar = new QToolBar(QStringLiteral("Commandes de la saisie de la classe"), this);
    m_toolbar->setObjectName(QStringLiteral("classGridToolbar"));
    m_toolbar->setAccessibleName(m_toolbar->windowTitle());
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_actions = AddKeyedButtons(
        m_toolbar,
        {{QStringLiteral("Valider"), QStringLiteral("Valider"),
          QStringLiteral("Enregistrer les résultats de la classe"), QStringLiteral("Ctrl+Return;Ctrl+Enter"),
          QStringLiteral("validate")},
         {QStringLiteral("Abandon"), QStringLiteral("Abandon"), QStringLiteral("Revenir aux résultats enregistrés"),
          QStringLiteral("Ctrl+Shift+Z"), QStringLiteral("cancel")},
         {},
         {QStringLiteral("Sortie"), QStringLiteral("Sortie"), QStringLiteral("Fermer la saisie de la classe"),
          QStringLiteral("Ctrl+W"), QStringLiteral("exit")}},
        [this](const QString &key) {
            if (key == QLatin1String("Valider"))
                validate();
            else if (key == QLatin1String("Abandon"))
                abandon();
            else if (key == QLatin1String("Sortie"))
                close();
        });
}

void ClassGridWindow::showTrimester(int trimester)
{
    m_model->load(trimester);
    setRefusal(QString());
    fitColumns();
    const int first = m_model->firstItemColumn(1);
    if (m_model->rowCount() > 0 && first >= 0)
        m_view->setCurrentIndex(m_model->index(0, first));
}

void ClassGridWindow::fitColumns()
{
    // Narrow columns for the scores, one width for all so that the grid reads
    // as a sheet; the headers' captions stand on several lines.
    QHeaderView *header = m_view->horizontalHeader();
    const QFontMetrics metrics(header->font());
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const QStringList lines = m_model->headerData(c, Qt::Horizontal).toString().split(QLatin1Char('\n'));
        int width = metrics.horizontalAdvance(QStringLiteral("Profil")) + 14;
        for (const QString &line : lines)
            width = qMax(width, metrics.horizontalAdvance(line) + 14);
        m_view->setColumnWidth(c, width);
    }
    header->setMinimumHeight(header->sizeHint().height());
}

void ClassGridWindow::trimesterChosen(int index)
{
    const int trimester = m_trimesters->itemData(index).toInt();
    if (trimester == m_model->trimester())
        return;
    if (!settleChanges()) {
        const QSignalBlocker blocker(m_trimesters);
        m_trimesters->setCurrentIndex(m_trimesters->findData(m_model->trimester()));
        return;
    }
    showTrimester(trimester);
}

bool ClassGridWindow::validate()
{
    m_view->commitTyping();
    const QStringList incomplete = m_model->incompletePupils();
    if (!incomplete.isEmpty()) {
        setRefusal(IncompleteSeriesMessage + QStringLiteral(" (") + incomplete.join(QStringLiteral(", ")) +
                   QLatin1Char(')'));
        m_context.dialogs.message(QStringLiteral("ATTENTION"),
                                  IncompleteSeriesMessage + QStringLiteral("\nÉlèves concernés : ") +
                                      incomplete.join(QStringLiteral(", ")),
                                  Dialogs::Icon::Warning);
        return false;
    }
    if (!m_model->hasChanges())
        return true;
    const int count = m_model->changedCount();
    QString error;
    if (!m_model->save(&error)) {
        setRefusal(QStringLiteral("Les résultats n'ont pas pu être enregistrés."));
        m_context.dialogs.message(QStringLiteral("ATTENTION"),
                                  QStringLiteral("Les résultats n'ont pas pu être enregistrés.\n%1").arg(error),
                                  Dialogs::Icon::Warning);
        return false;
    }
    setRefusal(QString());
    m_statusPanel->setText(QStringLiteral("Résultats enregistrés pour %1 élève(s)").arg(count));
    m_context.session.notifyResultsChanged();
    return true;
}

void ClassGridWindow::abandon()
{
    showTrimester(m_model->trimester());
}

bool ClassGridWindow::settleChanges()
{
    m_view->commitTyping();
    if (!m_model->hasChanges())
        return true;
    switch (m_context.dialogs.questionWithCancel(Caption, SaveQuestion)) {
    case Dialogs::Answer::Yes:
        return validate();
    case Dialogs::Answer::No:
        return true;
    case Dialogs::Answer::Cancel:
        break;
    }
    return false;
}

// Escape and the close button leave the same way: changes are stored or
// dropped as the user answers, or the window stays.
void ClassGridWindow::reject()
{
    if (m_closing || settleChanges())
        QDialog::reject();
}

void ClassGridWindow::closeEvent(QCloseEvent *event)
{
    if (!settleChanges()) {
        event->ignore();
        return;
    }
    m_closing = true; // QDialog's closing goes through reject()
    QDialog::closeEvent(event);
    m_closing = false;
}

void ClassGridWindow::setRefusal(const QString &text)
{
    m_refusalPanel->setText(text);
}

QString ClassGridWindow::refusalText() const
{
    return m_refusalPanel->text();
}

QString ClassGridWindow::statusText() const
{
    return m_statusPanel->text();
}

int OpenClassGrid(AppContext &context, int trimester, QWidget *parent)
{
    if (!context.session.hasClass() || context.session.classLevel() == 0)
        return QDialog::Rejected;
    ClassGridWindow window(context, trimester, parent);
    return window.exec();
}
