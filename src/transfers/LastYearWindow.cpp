#include "LastYearWindow.h"

#include "LastYearPupils.h"
#include "PupilTransferCommands.h"
#include "data/AppContext.h"
#include "data/Roster.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

namespace {

const QString Instructions = QStringLiteral(
    "Pour réaliser une sélection multiple procédez comme suit : \n"
    "1- Cliquez sur un premier élève,\n"
    "2- pour les élèves suivants appuyez sur la touche \"Ctrl\" puis sélectionner l'élève avec la souris,\n"
    "3- faites de même qu'en 2 pour les autres élèves.");

} // namespace

LastYearWindow::LastYearWindow(AppContext &context, QWidget *parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("lastYearWindow"));
    setWindowTitle(QStringLiteral("Liste élèves année précédente"));

    const Session &session = context.session;
    const Roster::ClassEntry klass = Roster::ClassOf(context.connection, session.schoolNo(), session.classNo());
    m_title = new QLabel(QStringLiteral("Classe de : ") + klass.label, this);
    m_title->setObjectName(QStringLiteral("title"));
    QFont titleFont(QStringLiteral("Verdana"));
    titleFont.setStyleHint(QFont::SansSerif);
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    m_title->setFont(titleFont);

    auto *instructions = new QLabel(Instructions, this);
    instructions->setObjectName(QStringLiteral("instructions"));
    instructions->setWordWrap(true);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("archivedPupils"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Levels are right-aligned in three characters: a fixed-width font keeps the names in a column.
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    m_addButton = new QPushButton(QStringLiteral("Ajouter les élèves"), this);
    m_addButton->setObjectName(QStringLiteral("addButton"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_title, 0, 0, 1, 2);
    grid->addWidget(picture, 1, 0);
    grid->addWidget(instructions, 1, 1);
    grid->addWidget(m_list, 2, 0, 1, 2);
    grid->addWidget(m_addButton, 3, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    resize(520, 520);
    connect(m_addButton, &QPushButton::clicked, this, [this] { addClicked(); });

    Connection &connection = context.connection;
    if (!LastYearPupils::AnyArchived(connection)) {
        m_hasArchive = false;
        context.dialogs.message(QStringLiteral("Message"),
                                QStringLiteral("Il n'y a pas d'élèves dans la base de données."));
        return;
    }
    for (const LastYearPupils::Offer &offer :
         LastYearPupils::Offers(connection, klass.level, context.state.years.PreviousSchoolYear, session.schoolNo(),
                                session.classNo(), &m_alreadyInClass)) {
        m_list->addItem(offer.text);
        m_bookmarks.append(offer.bookmark);
    }
    if (m_list->count() == 0) {
        context.dialogs.message(QStringLiteral("Message"),
                                QStringLiteral("Il n'y a pas d'élèves dans la base de données pour ce niveau là."));
        m_addButton->setText(QStringLiteral("Retour"));
    }
}

void LastYearWindow::addClicked()
{
    // With nothing to offer the button only closes the window.
    if (m_list->count() == 0) {
        accept();
        return;
    }
    QList<QVariant> chosen;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->isSelected())
            chosen.append(m_bookmarks.at(i));
    Connection &connection = m_context.connection;
    const Session &session = m_context.session;
    QString error;
    int skipped = 0;
    if (!LastYearPupils::Add(connection, qint16(session.schoolNo()), qint16(session.classNo()), chosen, &error,
                             &skipped)) {
        m_context.dialogs.message(QStringLiteral("Abandon"),
                                  QStringLiteral("Les élèves n'ont pas pu être ajoutés :\n") + error,
                                  Dialogs::Icon::Warning);
        return;
    }
    connection.ELEVE.requery();
    QString text = QStringLiteral("Les élèves ont été ajoutés avec succès.\n") +
                   PupilsAddedText(int(chosen.size()) - skipped,
                                   Roster::ClassOf(connection, session.schoolNo(), session.classNo()).label);
    skipped += m_alreadyInClass;
    if (skipped > 0)
        text += QStringLiteral("\n%1 élève(s) déjà présent(s) dans la classe n'ont pas été ajoutés.").arg(skipped);
    m_context.dialogs.message(QStringLiteral("Message"), text);
    accept();
}

int OpenLastYearWindow(AppContext &context, QWidget *parent)
{
    LastYearWindow window(context, parent);
    if (!window.hasArchive())
        return QDialog::Rejected;
    const int result = window.exec();
    // The archive is read afresh, filtered, the next time.
    context.connection.VIEW_ANCIEN.refresh();
    return result;
}
