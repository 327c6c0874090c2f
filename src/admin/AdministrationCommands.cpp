#include "AdministrationCommands.h"

#include "ClassDialog.h"
#include "PupilDialog.h"
#include "PupilList.h"
#include "RecordDeletion.h"
#include "SchoolDialog.h"
#include "common/MainScreen.h"
#include "data/AppContext.h"
#include "reports/PageFrame.h"
#include "reports/ReportPrinter.h"

#include <QWidget>

#include <memory>

AdministrationCommands::AdministrationCommands(AppContext &context, MainScreen &screen)
    : m_context(context), m_screen(screen), m_store(context.connection, context.session),
      m_printer(new ReportPrinter(screen.window()))
{}

void AdministrationCommands::add(RecordKind kind)
{
    openDialog(kind, true);
}

void AdministrationCommands::modify(RecordKind kind)
{
    if (m_store.selectedRow(kind).isValid())
        openDialog(kind, false);
}

void AdministrationCommands::openDialog(RecordKind kind, bool creating)
{
    std::unique_ptr<RecordDialog> dialog;
    QWidget *parent = m_screen.window();
    switch (kind) {
    case RecordKind::School:
        dialog = std::make_unique<SchoolDialog>(m_context, m_screen, creating, parent);
        break;
    case RecordKind::Class:
        dialog = std::make_unique<ClassDialog>(m_context, m_screen, creating, parent);
        break;
    case RecordKind::Pupil:
        dialog = std::make_unique<PupilDialog>(m_context, m_screen, creating, parent);
        break;
    }
    dialog->exec();
}

QString AdministrationCommands::shownText(RecordKind kind)
{
    const QVariant row = m_store.selectedRow(kind);
    const char *column = kind == RecordKind::School ? "NOM_ECOLE" : kind == RecordKind::Class ? "LIBELLE" : "NOM";
    return m_store.value(kind, row, QLatin1String(column)).toString();
}

bool AdministrationCommands::confirmDeletion(RecordKind kind, const QString &shown)
{
    QString text;
    switch (kind) {
    case RecordKind::School:
        text = QStringLiteral("Vous allez supprimer l'école : ") + shown +
               QStringLiteral("\nCette opération va supprimer toutes les données (classes et élèves).");
        break;
    case RecordKind::Class:
        text = QStringLiteral("Vous allez supprimer la classe : ") + shown +
               QStringLiteral("\nCette opération va supprimer tous les élèves.");
        break;
    case RecordKind::Pupil:
        text = QStringLiteral("Vous allez supprimer l'élève : ") + shown;
        break;
    }
    text += QStringLiteral("\nVoulez vous continuer ?");
    // Enter alone never deletes: both questions default to "Non".
    return m_context.dialogs.question(QStringLiteral("ATTENTION"), text, true) &&
           m_context.dialogs.question(QStringLiteral("Confirmer"), QStringLiteral("Est-te vous sûr ?"), true);
}

void AdministrationCommands::remove(RecordKind kind)
{
    const SelectionKeys keys = m_context.session.keys();
    if (!m_context.connection.isOpen() || !m_store.selectedRow(kind).isValid() ||
        !confirmDeletion(kind, shownText(kind)))
        return;
    Connection &connection = m_context.connection;
    QString error;
    bool deleted = false;
    {
        const BusyGuard busy(m_context.dialogs);
        switch (kind) {
        case RecordKind::School:
            deleted = DeleteSchool(connection, qint16(keys.schoolNo), &error);
            break;
        case RecordKind::Class:
            deleted = DeleteClass(connection, qint16(keys.schoolNo), qint16(keys.classNo), &error);
            break;
        case RecordKind::Pupil:
            deleted = DeletePupil(connection, keys.pupilKey, &error);
            break;
        }
        // After a deletion: the first school, the school's first class, the
        // class's first pupil. After a failure everything is as it was.
        if (!deleted)
            m_screen.showSelection(keys);
        else if (kind == RecordKind::School)
            m_screen.showSelection({});
        else if (kind == RecordKind::Class)
            m_screen.showSelection({keys.schoolNo, 0, 0});
        else
            m_screen.showSelection({keys.schoolNo, keys.classNo, 0});
    }
    if (!deleted)
        m_context.dialogs.message(QStringLiteral("ATTENTION"),
                                  QStringLiteral("La suppression n'a pas pu être faite : rien n'a été supprimé.\n") +
                                      error,
                                  Dialogs::Icon::Warning);
}

void AdministrationCommands::PrintPupilList()
{
    const Session &session = m_context.session;
    if (!m_context.connection.isOpen() || !session.hasClass())
        return;
    PageComposer &document = m_printer->document();
    StartPageFrame(document, QStringLiteral("Liste des élèves"),
                   StandardFooter(m_context.clock.now(), m_screen.programTitle()));
    ComposePupilList(document, m_context.connection, session.schoolNo(), session.classNo());
    m_printer->confirmAndPrint(m_context.dialogs, m_screen.window());
}
