#include "AdministrationCommands.h"

#include "FormClasse.h"
#include "FormEcole.h"
#include "FormEleve.h"
#include "MainLists.h"
#include "PupilList.h"
#include "RecordDeletion.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "reports/PageFrame.h"
#include "reports/ReportPrinter.h"

#include <QLabel>
#include <QListWidget>

#include <memory>

namespace {

bool &newRecordFlag(AppState &state, RecordKind kind)
{
    switch (kind) {
    case RecordKind::School:
        return state.NewSchoolFlag;
    case RecordKind::Class:
        return state.NewClassFlag;
    case RecordKind::Pupil:
        break;
    }
    return state.NewPupilFlag;
}

QString selectedText(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item ? item->text() : QString();
}

} // namespace

AdministrationCommands::AdministrationCommands(Form1 &form1, AppContext &context)
    : m_form1(form1), m_context(context), m_store(context.connection, context.state),
      m_printer(new ReportPrinter(&form1))
{}

void AdministrationCommands::add(RecordKind kind)
{
    newRecordFlag(m_context.state, kind) = true;
    openDialog(kind);
}

void AdministrationCommands::modify(RecordKind kind)
{
    newRecordFlag(m_context.state, kind) = false;
    const QListWidget *list = kind == RecordKind::School  ? m_form1.schoolList()
                              : kind == RecordKind::Class ? m_form1.classList()
                                                          : m_form1.pupilList();
    if (list->currentItem())
        openDialog(kind);
}

void AdministrationCommands::openDialog(RecordKind kind)
{
    std::unique_ptr<RecordForm> dialog;
    switch (kind) {
    case RecordKind::School:
        dialog = std::make_unique<FormEcole>(m_context, m_form1, &m_form1);
        break;
    case RecordKind::Class:
        dialog = std::make_unique<FormClasse>(m_context, m_form1, &m_form1);
        break;
    case RecordKind::Pupil:
        dialog = std::make_unique<FormEleve>(m_context, m_form1, &m_form1);
        break;
    }
    dialog->exec();
}

bool AdministrationCommands::confirmDeletion(RecordKind kind)
{
    QString text;
    switch (kind) {
    case RecordKind::School:
        text = QStringLiteral("Vous allez supprimer l'école : ") + selectedText(m_form1.schoolList()) +
               QStringLiteral("\nCette opération va supprimer toutes les données (classes et élèves).");
        break;
    case RecordKind::Class:
        text = QStringLiteral("Vous allez supprimer la classe : ") + selectedText(m_form1.classList()) +
               QStringLiteral("\nCette opération va supprimer tous les élèves.");
        break;
    case RecordKind::Pupil:
        text = QStringLiteral("Vous allez supprimer l'élève : ") + selectedText(m_form1.pupilList());
        break;
    }
    text += QStringLiteral("\nVoulez vous continuer ?");
    return m_context.dialogs.question(QStringLiteral("ATTENTION"), text) &&
           m_context.dialogs.question(QStringLiteral("Confirmer"), QStringLiteral("Est-te vous sûr ?"));
}

void AdministrationCommands::remove(RecordKind kind)
{
    const QListWidget *list = kind == RecordKind::School  ? m_form1.schoolList()
                              : kind == RecordKind::Class ? m_form1.classList()
                                                          : m_form1.pupilList();
    if (!list->currentItem() || !m_context.connection.isOpen() || !confirmDeletion(kind))
        return;
    const int classRow = m_form1.classList()->currentRow();
    const int pupilRow = m_form1.pupilList()->currentRow();
    Connection &connection = m_context.connection;
    const AppState &state = m_context.state;
    QString error;
    bool deleted = false;
    {
        const BusyGuard busy(m_context.dialogs);
        switch (kind) {
        case RecordKind::School:
            deleted = DeleteSchool(connection, state.CurrentSchoolNo, &error);
            break;
        case RecordKind::Class:
            deleted = DeleteClass(connection, state.CurrentSchoolNo, state.CurrentClassNo, &error);
            break;
        case RecordKind::Pupil:
            deleted = DeletePupil(connection, m_store.currentRow(kind, selectedText(m_form1.pupilList())), &error);
            break;
        }
        if (deleted)
            afterDeletion(kind);
        else
            restoreSelection(classRow, pupilRow);
    }
    if (!deleted)
        m_context.dialogs.message(QStringLiteral("ATTENTION"),
                                  QStringLiteral("La suppression n'a pas pu être faite : rien n'a été supprimé.\n") +
                                      error,
                                  Dialogs::Icon::Warning);
}

void AdministrationCommands::afterDeletion(RecordKind kind)
{
    switch (kind) {
    case RecordKind::School: {
        const QStringList names = m_store.schoolNames();
        RefillList(m_form1.schoolList(), names, {}, -1);
        {
            const QSignalBlocker blocker(m_form1.schoolList());
            m_form1.schoolList()->setCurrentRow(names.isEmpty() ? -1 : 0);
        }
        m_form1.List3_Click();
        if (names.isEmpty()) {
            // No school left: nothing of the deleted one stays on show.
            ClearProfileValues(m_form1, true);
            m_form1.AffBarre(false);
            if (auto *lastChange = m_form1.findChild<QLabel *>(QStringLiteral("Label7")))
                lastChange->setText(QStringLiteral("Dernier changement d'année : "));
        }
        break;
    }
    case RecordKind::Class:
        m_form1.List3_Click();
        break;
    case RecordKind::Pupil: {
        const QStringList names = m_store.pupilNames();
        RefillList(m_form1.pupilList(), names, {}, names.isEmpty() ? -1 : 0);
        if (names.isEmpty()) {
            m_form1.List2_Click();
            ClearProfileValues(m_form1, false);
        }
        break;
    }
    }
}

void AdministrationCommands::restoreSelection(int classRow, int pupilRow)
{
    // Everything is as it was: show it again with the same class and pupil.
    m_form1.List3_Click();
    if (classRow >= 0 && classRow < m_form1.classList()->count())
        m_form1.classList()->setCurrentRow(classRow);
    if (pupilRow >= 0 && pupilRow < m_form1.pupilList()->count())
        m_form1.pupilList()->setCurrentRow(pupilRow);
}

void AdministrationCommands::PrintPupilList()
{
    if (!m_context.connection.isOpen())
        return;
    PageComposer &document = m_printer->document();
    StartPageFrame(document, QStringLiteral("Liste des élèves"),
                   StandardFooter(m_context.clock.now(), m_form1.windowTitleText()));
    ComposePupilList(document, m_context.connection.VIEW_ELEVE);
    m_printer->confirmAndPrint(m_context.dialogs, &m_form1);
}

void ConnectAdministration(Form1 &form1, AppContext &context)
{
    auto commands = std::make_shared<AdministrationCommands>(form1, context);
    Form1::Routes &routes = form1.routes();

    // A double-click opens the dialog on the selected school or class.
    routes.modifySchool = [&form1, commands] {
        commands->modify(RecordKind::School);
        form1.UpdateToolbars();
    };
    routes.modifyClass = [&form1, commands] {
        commands->modify(RecordKind::Class);
        form1.UpdateToolbars();
    };

    const std::pair<QString, RecordKind> toolbars[] = {
        {QStringLiteral("Toolbar1"), RecordKind::School},
        {QStringLiteral("Toolbar3"), RecordKind::Class},
        {QStringLiteral("Toolbar4"), RecordKind::Pupil},
    };
    for (const auto &[toolbar, kind] : toolbars) {
        // Every click on a list toolbar first clears its new-record flag and
        // ends with the toolbars' states.
        auto command = [&form1, &context, commands, kind](void (AdministrationCommands::*run)(RecordKind)) {
            return [&form1, &context, commands, kind, run] {
                newRecordFlag(context.state, kind) = false;
                ((*commands).*run)(kind);
                form1.UpdateToolbars();
            };
        };
        routes.listCommands.insert(toolbar + QStringLiteral("/Ajouter"), command(&AdministrationCommands::add));
        routes.listCommands.insert(toolbar + QStringLiteral("/Modifier"), command(&AdministrationCommands::modify));
        routes.listCommands.insert(toolbar + QStringLiteral("/Supprimer"), command(&AdministrationCommands::remove));
    }
    routes.listCommands.insert(QStringLiteral("Toolbar4/Imprime"), [&form1, &context, commands] {
        context.state.NewPupilFlag = false;
        commands->PrintPupilList();
        form1.UpdateToolbars();
    });
}
