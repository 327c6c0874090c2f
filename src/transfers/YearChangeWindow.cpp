#include "YearChangeWindow.h"

#include "ArchivePurge.h"
#include "YearChange.h"
#include "common/MainScreen.h"
#include "data/AppContext.h"
#include "data/Roster.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
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

QString schoolName(const Connection &connection, int schoolNo)
{
    for (const Roster::SchoolEntry &school : Roster::Schools(connection))
        if (school.schoolNo == schoolNo)
            return school.name;
    return QString();
}

} // namespace

YearChangeWindow::YearChangeWindow(AppContext &context, MainScreen &screen, QWidget *parent)
    : QDialog(parent), m_context(context), m_screen(screen)
{
    setObjectName(QStringLiteral("yearChangeWindow"));
    setWindowTitle(QStringLiteral("Changement d'année"));

    // The school whose pupils the change will clear, named above what the change does.
    m_schoolLabel = new QLabel(this);
    m_schoolLabel->setObjectName(QStringLiteral("schoolLabel"));
    QFont schoolFont = m_schoolLabel->font();
    schoolFont.setBold(true);
    m_schoolLabel->setFont(schoolFont);
    m_description = new QLabel(this);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setWordWrap(true);

    const SchoolYears &years = context.state.years;
    m_changeButton = new QPushButton(QStringLiteral(" >> Changer d'année >>"), this);
    m_changeButton->setObjectName(QStringLiteral("changeButton"));
    m_changeButton->setAutoDefault(false);
    m_changeButton->setAccessibleName(QStringLiteral("Changer d'année"));
    m_changeButton->setAccessibleDescription(
        QStringLiteral("Passer de l'année %1 à l'année %2").arg(years.ClosingYear, years.NextYear));
    auto *yearsRow = new QHBoxLayout;
    QLabel *closing = yearLabel(QStringLiteral("ClosingYear"), years.ClosingYear, this);
    closing->setAccessibleName(QStringLiteral("Année close : ") + years.ClosingYear);
    QLabel *next = yearLabel(QStringLiteral("NextYear"), years.NextYear, this);
    next->setAccessibleName(QStringLiteral("Année suivante : ") + years.NextYear);
    yearsRow->addWidget(closing, 1);
    yearsRow->addWidget(m_changeButton);
    yearsRow->addWidget(next, 1);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setAccessibleName(QStringLiteral("Changements d'année de l'école"));
    m_list->setHeaderLabels(
        {QStringLiteral("Ordre"), QStringLiteral("Date"), QStringLiteral("Nb. élèves"), QStringLiteral("Libellé")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 70);
    m_list->setColumnWidth(1, 130);
    m_list->setColumnWidth(2, 80);

    // Past years' archives are kept no longer than needed.
    m_keptYearsBox = new QSpinBox(this);
    m_keptYearsBox->setObjectName(QStringLiteral("keptYearsBox"));
    m_keptYearsBox->setRange(1, ArchivePurge::MaxKeptYears);
    m_keptYearsBox->setValue(ArchivePurge::DefaultKeptYears);
    m_keptYearsBox->setSuffix(QStringLiteral(" années scolaires"));
    auto *keptLabel = new QLabel(QStringLiteral("Archives à &garder :"), this);
    keptLabel->setBuddy(m_keptYearsBox);
    m_purgeButton = new QPushButton(QStringLiteral("Purger les archives…"), this);
    m_purgeButton->setObjectName(QStringLiteral("purgeButton"));
    m_purgeButton->setAutoDefault(false);
    auto *purgeRow = new QHBoxLayout;
    purgeRow->addWidget(keptLabel);
    purgeRow->addWidget(m_keptYearsBox);
    purgeRow->addStretch(1);
    purgeRow->addWidget(m_purgeButton);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(m_schoolLabel);
    outer->addWidget(m_description);
    outer->addSpacing(6);
    outer->addLayout(yearsRow);
    outer->addSpacing(6);
    outer->addWidget(m_list, 1);
    outer->addLayout(purgeRow);
    resize(560, 380);

    connect(m_changeButton, &QPushButton::clicked, this, [this] { changeYearClicked(); });
    connect(m_purgeButton, &QPushButton::clicked, this, [this] { purgeClicked(); });
    refreshHistory();
}

void YearChangeWindow::refreshHistory()
{
    m_description->setText(Description);
    m_lastChangeYear.clear();
    Connection &connection = m_context.connection;
    m_schoolLabel->setText(QStringLiteral("Ecole : ") + schoolName(connection, m_context.session.schoolNo()));
    if (m_context.session.schoolNo() == 0)
        return;
    m_list->clear();
    static const QIcon icone = calendarIcon();
    for (const YearChange::Entry &entry : YearChange::SchoolHistory(connection, qint16(m_context.session.schoolNo()))) {
        auto *item = new QTreeWidgetItem(m_list, {entry.number.toString(), YearChange::DisplayDate(entry.date),
                                                  entry.pupils.toString(), entry.label});
        item->setIcon(0, icone);
        item->setData(0, Qt::UserRole, entry.number);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        m_lastChangeYear = entry.year;
    }
    // The school's latest change is shown selected.
    if (m_list->topLevelItemCount() > 0) {
        QTreeWidgetItem *last = m_list->topLevelItem(m_list->topLevelItemCount() - 1);
        m_list->setCurrentItem(last);
        m_list->scrollToItem(last);
    }
}

void YearChangeWindow::changeYearClicked()
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
        done = YearChange::Perform(connection, qint16(m_context.session.schoolNo()), closingYear, m_context.clock.now(),
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
    refreshHistory();
    dialogs.message(QStringLiteral("Message"),
                    QStringLiteral("La procédure de changement d'année s'est déroulée avec succès !"));
    // The school shown again, emptied, with its latest change.
    m_screen.showSelection({m_context.session.schoolNo(), 0, 0});
}

void YearChangeWindow::purgeClicked()
{
    Dialogs &dialogs = m_context.dialogs;
    Connection &connection = m_context.connection;
    const auto school = qint16(m_context.session.schoolNo());
    const int kept = m_keptYearsBox->value();
    QString error;
    const QList<ArchivePurge::YearRows> plan =
        ArchivePurge::Plan(connection, school, m_context.state.years.CurrentSchoolYear, kept, &error);
    if (!error.isEmpty()) {
        dialogs.message(QStringLiteral("Abandon"), QStringLiteral("Lecture des archives impossible :\n") + error,
                        Dialogs::Icon::Warning);
        return;
    }
    if (plan.isEmpty()) {
        dialogs.message(QStringLiteral("Message"),
                        QStringLiteral("Aucune archive de l'école n'a plus de %1 année(s) scolaire(s) : "
                                       "rien n'est effacé.")
                            .arg(kept));
        return;
    }
    if (!dialogs.question(QStringLiteral("Confirmez"),
                          QStringLiteral("Les résultats archivés de l'école des années suivantes vont être "
                                         "effacés définitivement :\n%1\n\nVoulez-vous continuer ?")
                              .arg(ArchivePurge::Describe(plan, QStringLiteral("\n"))),
                          true))
        return;
    bool done;
    {
        BusyGuard busy(dialogs);
        done = ArchivePurge::Perform(connection, school, plan, m_context.clock.now(), &error);
    }
    if (!done) {
        dialogs.message(QStringLiteral("Abandon"),
                        QStringLiteral("La purge des archives a échoué : aucune archive n'a été effacée.\n\n") + error,
                        Dialogs::Icon::Warning);
        return;
    }
    connection.VIEW_ANCIEN.refresh();
    refreshHistory();
    dialogs.message(QStringLiteral("Message"),
                    QStringLiteral("La purge des archives s'est déroulée avec succès !\n"
                                   "La place libérée sera rendue au disque au prochain démarrage du programme."));
}

int OpenYearChangeWindow(AppContext &context, MainScreen &screen)
{
    // The change clears one school's pupils: which one must be clear.
    if (context.session.schoolNo() == 0 || !context.connection.isOpen()) {
        context.dialogs.message(QStringLiteral("ATTENTION"),
                                QStringLiteral("Aucune école n'est sélectionnée : choisissez l'école dont vous "
                                               "voulez changer l'année.\nLa procédure est abandonnée."),
                                Dialogs::Icon::Warning);
        return QDialog::Rejected;
    }
    YearChangeWindow window(context, screen, screen.window());
    return window.exec();
}
