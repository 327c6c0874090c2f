#include "Form1.h"

#include "AppContext.h"
#include "ProfilePanel.h"
#include "data/StartupSequence.h"
#include "evaluation/EvaluationModel.h"

#include "Version.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// 1440 twips to the inch, 96 pixels to the inch.
constexpr int twips(int t)
{
    return (t + 7) / 15;
}

const QString Placeholder = QStringLiteral("_");

} // namespace

Form1::Form1(AppContext &context, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_navigation(context.connection, context.state)
{
    setObjectName(QStringLiteral("Form1"));
    // The tables that do not depend on the database: school-year texts.
    m_context.state.years = SchoolYears::fromDate(m_context.clock.now().date());

    buildToolbar2();
    buildCentralArea();

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    m_dateLabel = new QLabel(status);
    m_dateLabel->setObjectName(QStringLiteral("StatusBar1_Date"));
    m_timeLabel = new QLabel(status);
    m_timeLabel->setObjectName(QStringLiteral("StatusBar1_Time"));
    status->addPermanentWidget(m_dateLabel);
    status->addPermanentWidget(m_timeLabel);
    setStatusBar(status);
    m_clockTimer = new QTimer(this);
    connect(m_clockTimer, &QTimer::timeout, this, &Form1::updateClock);
    m_clockTimer->start(1000);
    updateClock();

    setWindowTitle(windowTitleText());
    setMinimumWidth(twips(9000));
    setMinimumHeight(m_toolbar2->sizeHint().height() + twips(6870 + 700));
    resize(twips(15600), twips(10200));
    UpdateToolbars();
}

Form1::~Form1()
{
    m_context.connection.CloseDatabase();
}

QString Form1::windowTitleText() const
{
    return QStringLiteral("Rozodivo Velorin - v%1.%2.%3")
        .arg(VELORIN_VERSION_MAJOR)
        .arg(VELORIN_VERSION_MINOR)
        .arg(VELORIN_VERSION_REVISION);
}

void Form1::buildToolbar2()
{
    m_toolbar2 = new QToolBar(QStringLiteral("Toolbar2"), this);
    m_toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    m_toolbar2->setMovable(false);
    m_toolbar2->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, m_toolbar2);

    auto add = [this](const QString &caption, const QString &key, const QString &tip) {
        QAction *a = m_toolbar2->addAction(caption);
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(tip);
        connect(a, &QAction::triggered, this, [this, key] { Toolbar2_ButtonClick(key); });
        return a;
    };
    QAction *saisie = add(QStringLiteral("Saisie"), QStringLiteral("Saisie"), QStringLiteral("Saisie des résultats"));
    m_saisieMenu = new QMenu(this);
    m_saisieMenu->setObjectName(QStringLiteral("SaisieMenu"));
    const QStringList trimesters = {QStringLiteral("1er Trimestre"), QStringLiteral("2ème Trimestre"),
                                    QStringLiteral("3ème Trimestre")};
    for (int i = 0; i < trimesters.size(); ++i) {
        QAction *entry = m_saisieMenu->addAction(trimesters.at(i));
        entry->setObjectName(QStringLiteral("Trim%1").arg(i + 1));
        entry->setData(entry->objectName());
        connect(entry, &QAction::triggered, this, [this, i] { Toolbar2_ButtonMenuClick(i + 1); });
    }
    saisie->setMenu(m_saisieMenu);
    if (auto *button = qobject_cast<QToolButton *>(m_toolbar2->widgetForAction(saisie)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
    add(QStringLiteral("Synthèse"), QStringLiteral("Analyse"), QStringLiteral("Synthèse des résultats"));
    m_toolbar2->addSeparator();
    add(QStringLiteral("Sauvegarde"), QStringLiteral("Sauvegarde"), QStringLiteral("Sauvegarde de sécurité"));
    add(QStringLiteral("Restaure"), QStringLiteral("Restaure"), QStringLiteral("Restaure une sauvegarde"));
    add(QStringLiteral("Imprime"), QStringLiteral("Imprime"), QStringLiteral("Impression résultats élève"));
    m_toolbar2->addSeparator();
    add(QStringLiteral("Changt. année"), QStringLiteral("Change"), QStringLiteral("Opération de changement d'année"));
}

QToolBar *Form1::buildListToolbar(const QString &name, const QList<QStringList> &buttons)
{
    auto *bar = new QToolBar(name, this);
    bar->setObjectName(name);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setIconSize(QSize(16, 16));
    QList<QAction *> actions;
    for (const QStringList &b : buttons) {
        if (b.isEmpty()) {
            actions.append(bar->addSeparator());
            continue;
        }
        // caption, key, tooltip, then menu entries as caption|key pairs
        QAction *a = bar->addAction(b.at(0));
        const QString key = b.at(1);
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(b.value(2));
        connect(a, &QAction::triggered, this, [this, name, key] { runListCommand(name, key); });
        if (b.size() > 3) {
            auto *menu = new QMenu(bar);
            for (int i = 3; i < b.size(); ++i) {
                const QStringList entry = b.at(i).split(QLatin1Char('|'));
                QAction *item = menu->addAction(entry.at(0));
                item->setObjectName(entry.at(1));
                item->setData(entry.at(1));
                const QString itemKey = entry.at(1);
                connect(item, &QAction::triggered, this, [this, name, itemKey] { runListCommand(name, itemKey); });
            }
            a->setMenu(menu);
            if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(a)))
                button->setPopupMode(QToolButton::MenuButtonPopup);
        }
        actions.append(a);
    }
    m_listButtons.insert(name, actions);
    return bar;
}

void Form1::buildCentralArea()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(twips(100), twips(60), twips(100), twips(100));

    m_label4 = new QLabel(m_context.state.years.CurrentSchoolYear, central);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont yearFont = m_label4->font();
    yearFont.setBold(true);
    yearFont.setPointSizeF(yearFont.pointSizeF() * 1.2);
    m_label4->setFont(yearFont);
    m_label7 = new QLabel(central);
    m_label7->setObjectName(QStringLiteral("Label7"));
    m_label7->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    outer->addWidget(m_label4);
    outer->addWidget(m_label7);

    m_frame1 = new QFrame(central);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(m_frame1);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(twips(50));

    auto heading = [&](const QString &name, const QString &text) {
        auto *label = new QLabel(text, m_frame1);
        label->setObjectName(name);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        return label;
    };
    auto list = [&](const QString &name) {
        auto *w = new QListWidget(m_frame1);
        w->setObjectName(name);
        w->setSelectionMode(QAbstractItemView::SingleSelection);
        return w;
    };

    QToolBar *toolbar1 = buildListToolbar(
        QStringLiteral("Toolbar1"),
        {{QStringLiteral("Ajouter"), QStringLiteral("Ajouter"), QStringLiteral("Ajouter")},
         {QStringLiteral("Modifier"), QStringLiteral("Modifier"), QStringLiteral("Modifier les données de l'Ecole")},
         {QStringLiteral("Supprimer"), QStringLiteral("Supprimer"), QStringLiteral("Supprimer l'école")}});
    QToolBar *toolbar3 = buildListToolbar(
        QStringLiteral("Toolbar3"),
        {{QStringLiteral("Ajouter"), QStringLiteral("Ajouter"), QStringLiteral("Ajouter une Classe")},
         {QStringLiteral("Modifier"), QStringLiteral("Modifier"), QStringLiteral("Modifier les données de la Classe")},
         {QStringLiteral("Supprimer"), QStringLiteral("Supprimer"), QStringLiteral("Supprimer la Classe")}});
    QToolBar *toolbar4 = buildListToolbar(
        QStringLiteral("Toolbar4"),
        {{QStringLiteral("Ajouter"), QStringLiteral("Ajouter"), QStringLiteral("Ajouter")},
         {QStringLiteral("Modifier"), QStringLiteral("Modifier"), QString()},
         {QStringLiteral("Supprimer"), QStringLiteral("Supprimer"), QString()},
         {},
         {QStringLiteral("Exporte"), QStringLiteral("Exporte"), QStringLiteral("Exporte l'élève vers autre école")},
         {QStringLiteral("Importe"), QStringLiteral("Importe"),
          QStringLiteral("Cliquez sur la flèche pour choisir le type"),
          QStringLiteral("Importe depuis l'année dernière|ImpListe"),
          QStringLiteral("Importe depuis autre école|ImpEleve"), QStringLiteral("Liste élèves (txt)|EleveTXT")},
         {},
         {QStringLiteral("Imprime"), QStringLiteral("Imprime"), QStringLiteral("Imprime la liste des élèves")}});

    m_list3 = list(QStringLiteral("List3"));
    m_list1 = list(QStringLiteral("List1"));
    m_list2 = list(QStringLiteral("List2"));

    auto *schoolsHeader = new QHBoxLayout;
    schoolsHeader->addWidget(heading(QStringLiteral("Label1"), QStringLiteral("Ecoles")));
    schoolsHeader->addStretch();
    schoolsHeader->addWidget(toolbar1);
    auto *classesHeader = new QHBoxLayout;
    classesHeader->addWidget(heading(QStringLiteral("Label2"), QStringLiteral("Classes")));
    classesHeader->addStretch();
    classesHeader->addWidget(toolbar3);
    auto *pupilsHeader = new QHBoxLayout;
    pupilsHeader->addWidget(heading(QStringLiteral("Label3"), QStringLiteral("Elèves")));
    pupilsHeader->addStretch();
    pupilsHeader->addWidget(toolbar4);

    // Schools across the top; classes and pupils in the left half, the two
    // profile panels beside them.
    grid->addLayout(schoolsHeader, 0, 0, 1, 2);
    grid->addWidget(m_list3, 1, 0, 1, 2);
    grid->addLayout(classesHeader, 2, 0);
    grid->addWidget(m_list1, 3, 0);
    grid->addLayout(pupilsHeader, 4, 0);
    grid->addWidget(m_list2, 5, 0);

    auto *pupilPanel = new ProfilePanel(QStringLiteral("Frame2"), QStringLiteral("Profil élève"), 0, 0, m_frame1);
    auto *classPanel = new ProfilePanel(QStringLiteral("Frame3"), QStringLiteral("Profil Classe"), 7, 10, m_frame1);
    grid->addWidget(pupilPanel, 2, 1, 2, 1);
    grid->addWidget(classPanel, 4, 1, 2, 1);
    // The pupil toolbar's eight buttons need the wider half.
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setRowStretch(1, 2);
    grid->setRowStretch(3, 3);
    grid->setRowStretch(5, 5);
    for (ProfilePanel *panel : {pupilPanel, classPanel}) {
        for (QLabel *l : panel->captions())
            m_label5.insert(l->objectName().section(QLatin1Char('_'), 1).toInt(), l);
        for (QLabel *l : panel->values())
            m_label6.insert(l->objectName().section(QLatin1Char('_'), 1).toInt(), l);
    }
    applyLevelCaptions(1);

    outer->addWidget(m_frame1, 1);
    setCentralWidget(central);

    connect(m_list3, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            List3_Click();
    });
    connect(m_list1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            List1_Click();
    });
    connect(m_list2, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            List2_Click();
    });
    connect(m_list3, &QListWidget::itemDoubleClicked, this, [this] { List3_DblClick(); });
    connect(m_list1, &QListWidget::itemDoubleClicked, this, [this] { List1_DblClick(); });
    connect(m_list2, &QListWidget::itemDoubleClicked, this, [this] { List2_DblClick(); });
}

void Form1::updateClock()
{
    const QDateTime now = m_context.clock.now();
    const QLocale french(QLocale::French);
    m_dateLabel->setText(french.toString(now.date(), QStringLiteral("dd/MM/yyyy")));
    m_timeLabel->setText(french.toString(now.time(), QStringLiteral("HH:mm")));
}

QAction *Form1::toolbarButton(const QString &toolbar, int number) const
{
    if (toolbar == QLatin1String("Toolbar2")) {
        const QList<QAction *> actions = m_toolbar2->actions();
        return actions.value(number - 1);
    }
    return m_listButtons.value(toolbar).value(number - 1);
}

bool Form1::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    return QMainWindow::event(e);
}

bool Form1::Form_Activate()
{
    AppState &state = m_context.state;
    if (!state.ActivatedOnce) {
        state.DataFolder = m_context.connection.DataFolder();
        setWindowTitle(windowTitleText());
        if (!StartDatabase(m_context.connection, m_context.dialogs, m_context.clock.now()))
            return false;
        state.ActivatedOnce = true;
        {
            const QSignalBlocker blocker(m_list3);
            m_list3->clear();
            m_list1->clear();
            m_list2->clear();
            m_list3->addItems(m_navigation.schoolNames());
        }
        if (m_list3->count() > 0)
            m_list3->setCurrentRow(0);
        m_label4->setText(state.years.CurrentSchoolYear);
    }
    UpdateToolbars();
    return true;
}

void Form1::closeEvent(QCloseEvent *event)
{
    m_context.connection.CloseDatabase();
    QMainWindow::closeEvent(event);
}

void Form1::clearValueLabels()
{
    for (QLabel *label : std::as_const(m_label6))
        label->setText(Placeholder);
}

void Form1::applyLevelCaptions(int levelCode)
{
    const QStringList captions = PanelDomainCaptions(levelCode);
    if (captions.size() != 4)
        return;
    for (int i = 0; i < 4; ++i) {
        m_label5.value(i)->setText(captions.at(i));
        m_label5.value(7 + i)->setText(captions.at(i));
    }
}

int Form1::selectedLevelCode() const
{
    const QListWidgetItem *item = m_list1->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void Form1::runListCommand(const QString &toolbar, const QString &key)
{
    const auto command = m_routes.listCommands.value(toolbar + QLatin1Char('/') + key);
    if (command)
        command();
}

void Form1::runPupilScoring()
{
    if (m_routes.computePupilProfile)
        m_routes.computePupilProfile(selectedLevelCode());
}

void Form1::runClassProfile()
{
    if (m_routes.computeClassProfile)
        m_routes.computeClassProfile();
}

void Form1::List3_Click()
{
    {
        const QSignalBlocker b1(m_list1);
        const QSignalBlocker b2(m_list2);
        m_list1->clear();
        m_list2->clear();
    }
    if (!m_context.connection.isOpen() || m_context.connection.Data1.recordCount() == 0) {
        UpdateToolbars();
        return;
    }
    const QListWidgetItem *school = m_list3->currentItem();
    const QList<Navigation::ClassEntry> classes = m_navigation.selectSchool(school ? school->text() : QString());
    if (!classes.isEmpty()) {
        {
            const QSignalBlocker blocker(m_list1);
            for (const Navigation::ClassEntry &entry : classes) {
                auto *item = new QListWidgetItem(entry.label, m_list1);
                item->setData(Qt::UserRole, entry.levelCode);
            }
        }
        m_list1->setCurrentRow(0);
    } else {
        AffBarre(false);
        clearValueLabels();
    }
    m_label7->setText(QStringLiteral("Dernier changement d'année : ") + m_navigation.lastChangeYear());
    UpdateToolbars();
}

void Form1::List1_Click()
{
    {
        const QSignalBlocker blocker(m_list2);
        m_list2->clear();
    }
    const QListWidgetItem *item = m_list1->currentItem();
    if (!item)
        return;
    const QString niveau = m_navigation.selectClass(item->text());
    clearValueLabels();
    applyLevelCaptions(LevelCode(niveau));
    const QStringList pupils = m_navigation.pupilNames();
    if (!pupils.isEmpty()) {
        {
            const QSignalBlocker blocker(m_list2);
            m_list2->addItems(pupils);
        }
        m_list2->setCurrentRow(0);
    } else {
        AffBarre(false);
    }
    m_saisieMenu->actions().at(0)->setVisible(item->data(Qt::UserRole).toInt() != 1);
    UpdateToolbars();
    runClassProfile();
}

void Form1::List2_Click()
{
    // The pupil's and the class's profiles are stored in one commit.
    Connection::Transaction transaction(m_context.connection);
    if (m_list2->count() > 0) {
        const QListWidgetItem *item = m_list2->currentItem();
        m_navigation.selectPupil(item ? item->text() : QString());
        AffBarre(true);
    } else {
        AffBarre(false);
    }
    UpdateToolbars();
    runClassProfile();
    transaction.commit();
}

void Form1::AffBarre(bool enabled)
{
    toolbarButton(QStringLiteral("Toolbar2"), 1)->setEnabled(enabled);
    toolbarButton(QStringLiteral("Toolbar2"), 2)->setEnabled(enabled);
    if (m_list2->count() > 0) {
        if (const QListWidgetItem *item = m_list2->currentItem())
            m_navigation.selectPupil(item->text());
        runPupilScoring();
    }
}

void Form1::UpdateToolbars()
{
    const ToolbarStates states =
        m_context.connection.isOpen() ? m_navigation.toolbarStates() : UpdateToolbarStates(0, 0, 0);
    const std::pair<QString, const QList<bool> *> bars[] = {
        {QStringLiteral("Toolbar1"), &states.schools},
        {QStringLiteral("Toolbar3"), &states.classes},
        {QStringLiteral("Toolbar4"), &states.pupils},
    };
    for (const auto &[name, enabled] : bars) {
        const QList<QAction *> &buttons = m_listButtons[name];
        for (int i = 0; i < buttons.size(); ++i)
            buttons.at(i)->setEnabled(enabled->value(i));
    }
}

void Form1::List3_DblClick()
{
    if (m_list3->currentItem() && m_routes.modifySchool)
        m_routes.modifySchool();
}

void Form1::List1_DblClick()
{
    if (m_list1->currentItem() && m_routes.modifyClass)
        m_routes.modifyClass();
}

void Form1::List2_DblClick()
{
    if (!m_list2->currentItem())
        return;
    if (m_routes.openEntryWindow)
        m_routes.openEntryWindow(selectedLevelCode(), 0);
    runPupilScoring();
}

void Form1::Toolbar2_ButtonClick(const QString &key)
{
    if (key == QLatin1String("Saisie")) {
        if (m_routes.openEntryWindow && selectedLevelCode() > 0)
            m_routes.openEntryWindow(selectedLevelCode(), 0);
    } else if (key == QLatin1String("Analyse")) {
        // Selecting every pupil in turn refreshes each one's derived results.
        const int remembered = m_list2->currentRow();
        for (int i = 0; i < m_list2->count(); ++i) {
            if (m_list2->currentRow() == i)
                List2_Click();
            else
                m_list2->setCurrentRow(i);
        }
        if (remembered >= 0)
            m_list2->setCurrentRow(remembered);
        if (m_routes.openReportViewer)
            m_routes.openReportViewer();
    } else if (key == QLatin1String("Change")) {
        if (m_routes.yearChange)
            m_routes.yearChange();
    } else if (key == QLatin1String("Sauvegarde")) {
        if (m_routes.backup)
            m_routes.backup();
    } else if (key == QLatin1String("Restaure")) {
        if (m_routes.restore)
            m_routes.restore();
        return;
    }
    if (m_list1->currentItem())
        runPupilScoring();
}

void Form1::Toolbar2_ButtonMenuClick(int menuIndex)
{
    const int level = selectedLevelCode();
    if (level == 0 || !m_routes.openEntryWindow)
        return;
    m_routes.openEntryWindow(level, level == 1 ? menuIndex - 2 : menuIndex - 1);
}
