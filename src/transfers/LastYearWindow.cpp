#include "LastYearWindow.h"

#include "LastYearPupils.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"

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

LastYearWindow::LastYearWindow(AppContext &context, Form1 &form1, QWidget *parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("LastYearWindow"));
    setWindowTitle(QStringLiteral("Liste élèves année précédente"));

    const QListWidgetItem *klass = form1.classList()->currentItem();
    m_title = new QLabel(QStringLiteral("Classe de : ") + (klass ? klass->text() : QString()), this);
    m_title->setObjectName(QStringLiteral("Label1"));
    QFont titleFont(QStringLiteral("Verdana"));
    titleFont.setStyleHint(QFont::SansSerif);
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    m_title->setFont(titleFont);

    auto *instructions = new QLabel(Instructions, this);
    instructions->setObjectName(QStringLiteral("Label2"));
    instructions->setWordWrap(true);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Levels are right-aligned in three characters: a fixed-width font keeps the names in a column.
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    m_command1 = new QPushButton(QStringLiteral("Ajouter les élèves"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_title, 0, 0, 1, 2);
    grid->addWidget(picture, 1, 0);
    grid->addWidget(instructions, 1, 1);
    grid->addWidget(m_list, 2, 0, 1, 2);
    grid->addWidget(m_command1, 3, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    resize(520, 520);
    connect(m_command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Connection &connection = context.connection;
    if (!LastYearPupils::AnyArchived(connection)) {
        m_hasArchive = false;
        context.dialogs.message(QStringLiteral("Message"),
                                QStringLiteral("Il n'y a pas d'élèves dans la base de données."));
        return;
    }
    const QString level = connection.VIEW_CLASSE.value(QStringLiteral("Niveau")).toString();
    for (const LastYearPupils::Offer &offer :
         LastYearPupils::Offers(connection, level, context.state.years.PreviousSchoolYear)) {
        m_list->addItem(offer.text);
        m_bookmarks.append(offer.bookmark);
    }
    if (m_list->count() == 0) {
        context.dialogs.message(QStringLiteral("Message"),
                                QStringLiteral("Il n'y a pas d'élèves dans la base de données pour ce niveau là."));
        m_command1->setText(QStringLiteral("Retour"));
    }
}

void LastYearWindow::Command1_Click()
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
    const AppState &state = m_context.state;
    QString error;
    if (!LastYearPupils::Add(connection, state.CurrentSchoolNo, state.CurrentClassNo, chosen, &error)) {
        m_context.dialogs.message(QStringLiteral("Abandon"),
                                  QStringLiteral("Les élèves n'ont pas pu être ajoutés :\n") + error,
                                  Dialogs::Icon::Warning);
        return;
    }
    connection.VIEW_ELEVE.requery();
    connection.ELEVE.requery();
    m_context.dialogs.message(QStringLiteral("Message"), QStringLiteral("Les élèves ont été ajoutés avec succès."));
    accept();
}

int OpenLastYearWindow(AppContext &context, Form1 &form1)
{
    LastYearWindow window(context, form1, &form1);
    if (!window.hasArchive())
        return QDialog::Rejected;
    const int result = window.exec();
    // The archive is read afresh, filtered, the next time.
    context.connection.VIEW_ANCIEN.refresh();
    return result;
}
