#include "YearChangeWindow.h"

#include "YearChange.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString Description =
    QStringLiteral("La procédure de changement d'année a pour but :\n"
                   "1- de mémoriser les résultats des élèves dans une table,\n"
                   "2- d'effacer la liste des élèves de toutes les classes,\n"
                   "3- de permettre de reconstruire les classes avec les élève de l'année précédente.");

// The history rows' image: a small calendar page.
QIcon calendarIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(0xC0, 0x30, 0x30));
    for (int y = 8; y <= 12; y += 2)
        for (int x = 3; x <= 11; x += 3)
            p.fillRect(x, y, 2, 1, QColor(0x40, 0x40, 0x40));
    return QIcon(pixmap);
}

QLabel *yearLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.5);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

YearChangeWindow::YearChangeWindow(AppContext &context, Form1 &form1, QWidget *parent)
    : QDialog(parent), m_context(context), m_form1(form1)
{
    setObjectName(QStringLiteral("YearChangeWindow"));
    setWindowTitle(QStringLiteral("Changement d'année"));

    m_description = new QLabel(this);
    m_description->setObjectName(QStringLiteral("Description"));
    m_description->setWordWrap(true);

    const SchoolYears &years = context.state.years;
    m_command1 = new QPushButton(QStringLiteral(" >> Changer d'année >>"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setAutoDefault(false);
    auto *yearsRow = new QHBoxLayout;
    yearsRow->addWidget(yearLabel(QStringLiteral("ClosingYear"), years.ClosingYear, this), 1);
    yearsRow->addWidget(m_command1);
    yearsRow->addWidget(yearLabel(QStringLiteral("NextYear"), years.NextYear, this), 1);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setHeaderLabels(
        {QStringLiteral("Ordre"), QStringLiteral("Date"), QStringLiteral("Nb. élèves"), QStringLiteral("Libellé")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 70);
    m_list->setColumnWidth(1, 130);
    m_list->setColumnWidth(2, 80);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(m_description);
    outer->addSpacing(6);
    outer->addLayout(yearsRow);
    outer->addSpacing(6);
    outer->addWidget(m_list, 1);
    resize(560, 380);

    connect(m_command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Maj_liste();
}

void YearChangeWindow::Maj_liste()
{
    m_description->setText(Description);
    m_lastChangeYear.clear();
    Connection &connection = m_context.connection;
    if (connection.Data1.recordCount() < 1)
        return;
    m_list->clear();
    static const QIcon icone = calendarIcon();
    for (const YearChange::Entry &entry : YearChange::SchoolHistory(connection, m_context.state.CurrentSchoolNo)) {
        auto *item = new QTreeWidgetItem(m_list, {entry.number.toString(), YearChange::DisplayDate(entry.date),
                                                  entry.pupils.toString(), entry.label});
        item->setIcon(0, icone);
        item->setData(0, Qt::UserRole, entry.number);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        m_lastChangeYear = entry.year;
    }
    if (auto *label7 = m_form1.findChild<QLabel *>(QStringLiteral("Label7")))
        label7->setText(QStringLiteral("Dernier changement d'année : ") + m_lastChangeYear);
    // The school's latest change is shown selected.
    if (m_list->topLevelItemCount() > 0) {
        QTreeWidgetItem *last = m_list->topLevelItem(m_list->topLevelItemCount() - 1);
        m_list->setCurrentItem(last);
        m_list->scrollToItem(last);
    }
}

void YearChangeWindow::Command1_Click()
{
    Dialogs &dialogs = m_context.dialogs;
    const QString closingYear = m_context.state.years.ClosingYear;
    if (YearChange::AlreadyChanged(closingYear, m_lastChangeYear)) {
        dialogs.message(QStringLiteral("ATTENTION"),
                        QStringLiteral("Le changement d'année a déjà été effectué\nLa procédure est abandonnée."),
                        Dialogs::Icon::Warning);
        return;
    }
    if (!dialogs.question(QStringLiteral("Confirmez"), QStringLiteral("Voulez-vous effectuer le changement d'année ?")))
        return;
    if (!dialogs.question(QStringLiteral("Confirmez"),
                          QStringLiteral("Attention cette opération va effacer la liste de tous les élèves\n"
                                         "Voulez-vous continuer ?")))
        return;
    Connection &connection = m_context.connection;
    QString error;
    bool done;
    {
        BusyGuard busy(dialogs);
        done = YearChange::Perform(connection, m_context.state.CurrentSchoolNo, closingYear, m_context.clock.now(),
                                   nullptr, &error);
    }
    if (!done) {
        dialogs.message(QStringLiteral("Abandon"),
                        QStringLiteral("Le changement d'année a échoué : les élèves, leurs résultats archivés et "
                                       "l'historique sont restés tels qu'ils étaient.\n\n") +
                            error,
                        Dialogs::Icon::Warning);
        return;
    }
    connection.ELEVE.requery();
    // The archived pupils are read afresh, filtered, when a class is refilled.
    connection.VIEW_ANCIEN.refresh();
    Maj_liste();
    dialogs.message(QStringLiteral("Message"),
                    QStringLiteral("La procédure de changement d'année s'est déroulée avec succès !"));
    m_form1.List3_Click();
}

int OpenYearChangeWindow(AppContext &context, Form1 &form1)
{
    YearChangeWindow window(context, form1, &form1);
    return window.exec();
}
