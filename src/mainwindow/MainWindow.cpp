#include "MainWindow.h"

#include "ProfilePanel.h"
#include "ToolbarStates.h"
#include "backup/ZipReader.h"
#include "common/Icons.h"
#include "common/KeyedToolbar.h"
#include "data/AppContext.h"
#include "data/Roster.h"
#include "data/StartupSequence.h"
#include "evaluation/EvaluationModel.h"

#include "Version.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QSignalBlocker>
#include <QSizeGrip>
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

const QString MainToolbar = QStringLiteral("mainToolbar");
const QString SpreadsheetMenu = QStringLiteral("spreadsheetMenu");
const QString LastChangeCaption = QStringLiteral("Dernier changement d'année : ");

// The row whose item carries `key`; -1 when none does.
int rowOfKey(const QListWidget *list, qint64 key)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toLongLong() == key)
            return i;
    return -1;
}

qint64 keyOfRow(const QListWidget *list, int row)
{
    const QListWidgetItem *item = list->item(row);
    return item ? item->data(Qt::UserRole).toLongLong() : 0;
}

// Puts the list on `row` without running its selection handling.
void setRowQuietly(QListWidget *list, int row)
{
    const QSignalBlocker blocker(list);
    list->setCurrentRow(row);
}

} // namespace

MainWindow::MainWindow(AppContext &context, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_store(context.connection)
{
    setObjectName(QStringLiteral("mainWindow"));
    // The tables that do not depend on the database: school-year texts.
    m_context.state.years = SchoolYears::fromDate(m_context.clock.now().date());
    m_zipReader = new ZipReader(this);
    m_zipReader->setObjectName(QStringLiteral("zipReader"));

    buildMainToolbar();
    buildCentralArea();

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("statusBar"));
    status->setAccessibleName(QStringLiteral("Barre d'état"));
    m_dateLabel = new QLabel(status);
    m_dateLabel->setObjectName(QStringLiteral("dateLabel"));
    m_timeLabel = new QLabel(status);
    m_timeLabel->setObjectName(QStringLiteral("timeLabel"));
    status->addPermanentWidget(m_dateLabel);
    status->addPermanentWidget(m_timeLabel);
    // The resize grip is the bar's first object for a screen reader.
    for (QSizeGrip *grip : status->findChildren<QSizeGrip *>())
        grip->setAccessibleName(QStringLiteral("Poignée de redimensionnement"));
    setStatusBar(status);
    m_clockTimer = new QTimer(this);
    connect(m_clockTimer, &QTimer::timeout, this, &MainWindow::updateClock);
    m_clockTimer->start(1000);
    updateClock();

    const Session *session = &m_context.session;
    connect(session, &Session::schoolSelected, this, &MainWindow::schoolSelected);
    connect(session, &Session::classSelected, this, &MainWindow::classSelected);
    connect(session, &Session::pupilSelected, this, &MainWindow::pupilSelected);
    connect(session, &Session::resultsChanged, this, &MainWindow::resultsChanged);

    setWindowTitle(programTitle());
    // Every toolbar shows all its buttons, never the "more" arrow: the window's
    // smallest size is what they need.
    for (QToolBar *bar : findChildren<QToolBar *>())
        bar->setMinimumWidth(bar->sizeHint().width());
    const QSize needed = minimumSizeHint();
    setMinimumWidth(qMax(twips(9000), needed.width()));
    setMinimumHeight(qMax(m_mainToolbar->sizeHint().height() + twips(6870 + 700), needed.height()));
    resize(qMax(twips(15600), minimumWidth()), qMax(twips(10200), minimumHeight()));
    updateToolbars();
}

MainWindow::~MainWindow()
{
    m_context.connection.CloseDatabase();
}

QString MainWindow::programTitle() const
{
    return QStringLiteral("Rozodivo Velorin - v%1.%2.%3")
        .arg(VELORIN_VERSION_MAJOR)
        .arg(VELORIN_VERSION_MINOR)
        .arg(VELORIN_VERSION_REVISION);
}

void MainWindow::setCommand(const QString &toolbarAndKey, Command command)
{
    m_commands.insert(toolbarAndKey, std::move(command));
}

void MainWindow::runCommand(const QString &toolbar, const QString &key)
{
    const Command command = m_commands.value(toolbar + QLatin1Char('/') + key);
    if (key == QLatin1String("Grille")) {
        openGrid();
        if (m_context.session.hasClass())
            showPupilProfile();
        return;
    }
    if (toolbar != MainToolbar) {
        if (command)
            command();
        return;
    }
    const bool needsEvaluatedLevel = key.startsWith(QLatin1String("Trim")) || key == QLatin1String("Saisie") ||
                                     key == QLatin1String("Analyse") || key == QLatin1String("Imprime");
    if (needsEvaluatedLevel && !levelIsEvaluated())
        return;
    if (key.startsWith(QLatin1String("Trim"))) {
        // GS has no first-trimester tab.
        const int trimester = key.mid(4).toInt();
        openEntry(m_context.session.classLevel() == 1 ? trimester - 2 : trimester - 1);
        return;
    }
    if (key == QLatin1String("Saisie"))
        openEntry(0);
    else if (command)
        command();
    // The pupil's profile is shown afresh; a restore has started everything again.
    if (key != QLatin1String("Restaure") && m_context.session.hasClass())
        showPupilProfile();
}

bool MainWindow::levelIsEvaluated()
{
    const Session &session = m_context.session;
    if (!session.hasClass() || session.classLevel() != 0)
        return true;
    const QListWidgetItem *item = m_classList->item(rowOfKey(m_classList, session.classNo()));
    const QString level = item ? item->data(LevelTextRole).toString() : QString();
    m_context.dialogs.message(QStringLiteral("ATTENTION"),
                              QStringLiteral("Le niveau « %1 » de cette classe n'est pas évalué.").arg(level),
                              Dialogs::Icon::Warning);
    return false;
}

void MainWindow::openEntry(int tabIndex)
{
    if (!levelIsEvaluated())
        return;
    const int level = m_context.session.classLevel();
    if (level >= 1 && level <= 3 && m_context.session.hasPupil() && m_openEntry)
        m_openEntry(level, tabIndex);
}

void MainWindow::openGrid()
{
    if (!m_context.session.hasClass() || !levelIsEvaluated())
        return;
    if (m_context.session.classLevel() != 0 && m_openGrid)
        m_openGrid();
}

void MainWindow::buildMainToolbar()
{
    m_mainToolbar = new QToolBar(QStringLiteral("Barre d'outils principale"), this);
    m_mainToolbar->setObjectName(MainToolbar);
    m_mainToolbar->setAccessibleName(m_mainToolbar->windowTitle());
    m_mainToolbar->setMovable(false);
    m_mainToolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_mainToolbar->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, m_mainToolbar);

    // caption, Alt-accelerated caption, key, tooltip, shortcut, icon
    auto add = [this](const QString &caption, const QString &accelerated, const QString &key, const QString &tip,
                      const QString &shortcut, const QString &icon) {
        QAction *a = m_mainToolbar->addAction(Icons::forCommand(icon), caption);
        a->setIconText(accelerated);
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(tip);
        SetCommandShortcuts(a, shortcut);
        connect(a, &QAction::triggered, this, [this, key] { runCommand(MainToolbar, key); });
        return a;
    };
    QAction *entry = add(QStringLiteral("Saisie"), QStringLiteral("&Saisie"), QStringLiteral("Saisie"),
                         QStringLiteral("Saisie des résultats"), QStringLiteral("F5"), QStringLiteral("entry"));
    m_entryMenu = new QMenu(this);
    m_entryMenu->setObjectName(QStringLiteral("entryMenu"));
    m_entryMenu->setAccessibleName(QStringLiteral("Trimestre à saisir"));
    const QStringList trimesters = {QStringLiteral("1er Trimestre"), QStringLiteral("2ème Trimestre"),
                                    QStringLiteral("3ème Trimestre")};
    for (int i = 0; i < trimesters.size(); ++i) {
        QAction *item = m_entryMenu->addAction(trimesters.at(i));
        const QString key = QStringLiteral("Trim%1").arg(i + 1);
        item->setObjectName(key);
        item->setData(key);
        item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
        connect(item, &QAction::triggered, this, [this, key] { runCommand(MainToolbar, key); });
    }
    // The whole class's trimester in one grid.
    m_entryMenu->addSeparator();
    QAction *grid = m_entryMenu->addAction(QStringLiteral("Toute la classe…"));
    grid->setObjectName(QStringLiteral("Grille"));
    grid->setData(QStringLiteral("Grille"));
    grid->setToolTip(QStringLiteral("Saisie des résultats de toute la classe"));
    grid->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_4));
    connect(grid, &QAction::triggered, this, [this] { runCommand(MainToolbar, QStringLiteral("Grille")); });
    // The menu's shortcuts work with the menu closed.
    addActions(m_entryMenu->actions());
    entry->setMenu(m_entryMenu);
    if (auto *button = qobject_cast<QToolButton *>(m_mainToolbar->widgetForAction(entry)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
    add(QStringLiteral("Synthèse"), QStringLiteral("S&ynthèse"), QStringLiteral("Analyse"),
        QStringLiteral("Synthèse des résultats"), QStringLiteral("Ctrl+F5"), QStringLiteral("synthesis"));
    // Results to and from spreadsheets, pupils from the administration's list: a menu.
    QAction *sheets = add(QStringLiteral("Tableur"), QStringLiteral("&Tableur"), QStringLiteral("Tableur"),
                          QStringLiteral("Résultats et listes par tableur"), QStringLiteral("Ctrl+Shift+T"),
                          QStringLiteral("spreadsheet"));
    auto *sheetMenu = new QMenu(m_mainToolbar);
    sheetMenu->setObjectName(SpreadsheetMenu);
    sheetMenu->setAccessibleName(QStringLiteral("Tableur"));
    sheetMenu->setToolTipsVisible(true);
    for (const QString &entry : {QStringLiteral("Exporter les résultats…|ExportXlsx|Ctrl+Shift+X"),
                                 QStringLiteral("Exporter les résultats (CSV)…|ExportCsv|Ctrl+Shift+V"),
                                 QStringLiteral("Exporter les résultats de l'école…|ExportSchool|Ctrl+Shift+E"),
                                 QStringLiteral("Importer des résultats…|ImportResults|Ctrl+Shift+R"),
                                 QStringLiteral("Importer la liste de l'école (CSV)…|ImportSchoolList|Ctrl+Shift+L")}) {
        const QStringList parts = entry.split(QLatin1Char('|'));
        QAction *item = sheetMenu->addAction(parts.at(0));
        item->setObjectName(parts.at(1));
        item->setData(parts.at(1));
        SetCommandShortcuts(item, parts.at(2));
        connect(item, &QAction::triggered, this, [this, key = parts.at(1)] { runCommand(SpreadsheetMenu, key); });
    }
    addActions(sheetMenu->actions());
    sheets->setMenu(sheetMenu);
    if (auto *button = qobject_cast<QToolButton *>(m_mainToolbar->widgetForAction(sheets))) {
        button->setPopupMode(QToolButton::InstantPopup);
        // Its key opens the menu, as a click does.
        setCommand(MainToolbar + QStringLiteral("/Tableur"), [button] { button->showMenu(); });
    }
    m_mainToolbar->addSeparator();
    add(QStringLiteral("Sauvegarde"), QStringLiteral("Sauve&garde"), QStringLiteral("Sauvegarde"),
        QStringLiteral("Sauvegarde de sécurité"), QStringLiteral("Ctrl+S"), QStringLiteral("backup"));
    add(QStringLiteral("Restaure"), QStringLiteral("&Restaure"), QStringLiteral("Restaure"),
        QStringLiteral("Restaure une sauvegarde"), QStringLiteral("Ctrl+R"), QStringLiteral("restore"));
    add(QStringLiteral("Dossier"), QStringLiteral("&Dossier"), QStringLiteral("Dossier"),
        QStringLiteral("Changer de dossier de données…"), QStringLiteral("Ctrl+O"), QStringLiteral("dataFolder"));
    // The selected pupil's results sheet.
    add(QStringLiteral("Imprime"), QStringLiteral("&Imprime"), QStringLiteral("Imprime"),
        QStringLiteral("Impression résultats élève"), QStringLiteral("Ctrl+P"), QStringLiteral("print"));
    m_mainToolbar->addSeparator();
    add(QStringLiteral("Changt. année"), QStringLiteral("Changt. &année"), QStringLiteral("Change"),
        QStringLiteral("Opération de changement d'année"), QStringLiteral("Ctrl+Shift+A"),
        QStringLiteral("yearChange"));
    NameToolbarButtons(m_mainToolbar);
}

QToolBar *MainWindow::buildListToolbar(const QString &name, const QString &title, QListWidget *list,
                                       const QList<QStringList> &buttons)
{
    auto *bar = new QToolBar(title, this);
    bar->setObjectName(name);
    bar->setAccessibleName(title);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setIconSize(QSize(16, 16));
    QList<QAction *> actions;
    for (const QStringList &b : buttons) {
        if (b.isEmpty()) {
            actions.append(bar->addSeparator());
            continue;
        }
        // caption, key, tooltip, shortcut, icon, then menu entries as caption|key|shortcut
        QAction *a = bar->addAction(Icons::forCommand(b.value(4)), b.at(0));
        const QString key = b.at(1);
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(b.value(2));
        // The list's commands act on the list that has the focus.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        SetCommandShortcuts(a, b.value(3));
        list->addAction(a);
        connect(a, &QAction::triggered, this, [this, name, key] { runCommand(name, key); });
        if (b.size() > 5) {
            auto *menu = new QMenu(bar);
            menu->setAccessibleName(b.at(0));
            for (int i = 5; i < b.size(); ++i) {
                const QStringList entry = b.at(i).split(QLatin1Char('|'));
                QAction *item = menu->addAction(entry.at(0));
                const QString itemKey = entry.at(1);
                item->setObjectName(itemKey);
                item->setData(itemKey);
                item->setShortcutContext(Qt::WidgetWithChildrenShortcut);
                SetCommandShortcuts(item, entry.value(2));
                list->addAction(item);
                connect(item, &QAction::triggered, this, [this, name, itemKey] { runCommand(name, itemKey); });
            }
            a->setMenu(menu);
            if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(a)))
                button->setPopupMode(QToolButton::MenuButtonPopup);
        }
        actions.append(a);
    }
    NameToolbarButtons(bar);
    m_listButtons.insert(name, actions);
    return bar;
}

void MainWindow::buildCentralArea()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(twips(100), twips(60), twips(100), twips(100));

    m_yearLabel = new QLabel(m_context.state.years.CurrentSchoolYear, central);
    m_yearLabel->setObjectName(QStringLiteral("yearLabel"));
    m_yearLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont yearFont = m_yearLabel->font();
    yearFont.setBold(true);
    yearFont.setPointSizeF(yearFont.pointSizeF() * 1.2);
    m_yearLabel->setFont(yearFont);
    m_lastChangeLabel = new QLabel(central);
    m_lastChangeLabel->setObjectName(QStringLiteral("lastChangeLabel"));
    m_lastChangeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    outer->addWidget(m_yearLabel);
    outer->addWidget(m_lastChangeLabel);

    auto *frame = new QFrame(central);
    frame->setObjectName(QStringLiteral("listsFrame"));
    frame->setAccessibleName(QStringLiteral("Ecoles, classes et élèves"));
    auto *grid = new QGridLayout(frame);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(twips(50));

    auto heading = [&](const QString &name, const QString &text) {
        auto *label = new QLabel(text, frame);
        label->setObjectName(name);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        return label;
    };
    auto list = [&](const QString &name, const QString &accessibleName) {
        auto *w = new QListWidget(frame);
        w->setObjectName(name);
        w->setAccessibleName(accessibleName);
        w->setSelectionMode(QAbstractItemView::SingleSelection);
        return w;
    };

    m_schoolList = list(QStringLiteral("schoolList"), QStringLiteral("Ecoles"));
    m_classList = list(QStringLiteral("classList"), QStringLiteral("Classes"));
    m_pupilList = list(QStringLiteral("pupilList"), QStringLiteral("Elèves"));

    // Each list's commands: Inser adds, F2 modifies, Suppr deletes, on the list that has the focus.
    const QString add = QStringLiteral("Ins"), modify = QStringLiteral("F2"), remove = QStringLiteral("Del");
    QToolBar *schoolToolbar = buildListToolbar(
        QStringLiteral("schoolToolbar"), QStringLiteral("Outils des écoles"), m_schoolList,
        {{QStringLiteral("Ajouter"), QStringLiteral("Ajouter"), QStringLiteral("Ajouter"), add, QStringLiteral("add")},
         {QStringLiteral("Modifier"), QStringLiteral("Modifier"), QStringLiteral("Modifier les données de l'Ecole"),
          modify, QStringLiteral("modify")},
         {QStringLiteral("Supprimer"), QStringLiteral("Supprimer"), QStringLiteral("Supprimer l'école"), remove,
          QStringLiteral("delete")}});
    QToolBar *classToolbar = buildListToolbar(
        QStringLiteral("classToolbar"), QStringLiteral("Outils des classes"), m_classList,
        {{QStringLiteral("Ajouter"), QStringLiteral("Ajouter"), QStringLiteral("Ajouter une Classe"), add,
          QStringLiteral("add")},
         {QStringLiteral("Modifier"), QStringLiteral("Modifier"), QStringLiteral("Modifier les données de la Classe"),
          modify, QStringLiteral("modify")},
         {QStringLiteral("Supprimer"), QStringLiteral("Supprimer"), QStringLiteral("Supprimer la Classe"), remove,
          QStringLiteral("delete")},
         {QStringLiteral("Grille"), QStringLiteral("Grille"), QStringLiteral("Saisie des résultats de toute la classe"),
          QStringLiteral("Ctrl+G"), QStringLiteral("grid")}});
    QToolBar *pupilToolbar = buildListToolbar(
        QStringLiteral("pupilToolbar"), QStringLiteral("Outils des élèves"), m_pupilList,
        {{QStringLiteral("Ajouter"), QStringLiteral("Ajouter"), QStringLiteral("Ajouter"), add, QStringLiteral("add")},
         {QStringLiteral("Modifier"), QStringLiteral("Modifier"), QString(), modify, QStringLiteral("modify")},
         {QStringLiteral("Supprimer"), QStringLiteral("Supprimer"), QString(), remove, QStringLiteral("delete")},
         {},
         {QStringLiteral("Exporte"), QStringLiteral("Exporte"), QStringLiteral("Exporte l'élève vers autre école"),
          QStringLiteral("Ctrl+E"), QStringLiteral("export")},
         {QStringLiteral("Importe"), QStringLiteral("Importe"),
          QStringLiteral("Cliquez sur la flèche pour choisir le type"), QStringLiteral("Ctrl+I"),
          QStringLiteral("import"), QStringLiteral("Importe depuis l'année dernière|ImpListe|Ctrl+Shift+I"),
          QStringLiteral("Importe depuis autre école|ImpEleve"), QStringLiteral("Liste élèves (txt)|EleveTXT|Ctrl+T")},
         {},
         {QStringLiteral("Imprime"), QStringLiteral("Imprime"), QStringLiteral("Imprime la liste des élèves"),
          QStringLiteral("Ctrl+Shift+P"), QStringLiteral("print")}});

    // The headings name their lists; Alt and the underlined letter go to the list.
    auto header = [&](const QString &name, const QString &text, QToolBar *toolbar, QListWidget *buddy) {
        auto *row = new QHBoxLayout;
        QLabel *label = heading(name, text);
        label->setBuddy(buddy);
        row->addWidget(label);
        row->addStretch();
        row->addWidget(toolbar);
        return row;
    };
    // Schools across the top; classes and pupils in the left half, the two
    // profile panels beside them.
    grid->addLayout(header(QStringLiteral("schoolsHeading"), QStringLiteral("&Ecoles"), schoolToolbar, m_schoolList), 0,
                    0, 1, 2);
    grid->addWidget(m_schoolList, 1, 0, 1, 2);
    grid->addLayout(header(QStringLiteral("classesHeading"), QStringLiteral("&Classes"), classToolbar, m_classList), 2,
                    0);
    grid->addWidget(m_classList, 3, 0);
    grid->addLayout(header(QStringLiteral("pupilsHeading"), QStringLiteral("E&lèves"), pupilToolbar, m_pupilList), 4,
                    0);
    grid->addWidget(m_pupilList, 5, 0);

    m_pupilPanel = new ProfilePanel(QStringLiteral("pupilProfilePanel"), QStringLiteral("Profil élève"), frame);
    m_classPanel = new ProfilePanel(QStringLiteral("classProfilePanel"), QStringLiteral("Profil Classe"), frame);
    grid->addWidget(m_pupilPanel, 2, 1, 2, 1);
    grid->addWidget(m_classPanel, 4, 1, 2, 1);
    // The pupil toolbar's eight buttons need the wider half.
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setRowStretch(1, 2);
    grid->setRowStretch(3, 3);
    grid->setRowStretch(5, 5);
    m_pupilPanel->setCaptions(PanelDomainCaptions(1));
    m_classPanel->setCaptions(PanelDomainCaptions(1));

    outer->addWidget(frame, 1);
    setCentralWidget(central);

    // A click selects the entry's key in the session; the window follows it.
    Session &session = m_context.session;
    connect(m_schoolList, &QListWidget::currentRowChanged, this, [this, &session](int row) {
        if (row >= 0)
            session.selectSchool(int(keyOfRow(m_schoolList, row)));
    });
    connect(m_classList, &QListWidget::currentRowChanged, this, [this, &session](int row) {
        if (const QListWidgetItem *item = m_classList->item(row))
            session.selectClass(item->data(Qt::UserRole).toInt(), item->data(LevelRole).toInt());
    });
    connect(m_pupilList, &QListWidget::currentRowChanged, this, [this, &session](int row) {
        if (row >= 0)
            session.selectPupil(keyOfRow(m_pupilList, row));
    });
    // A double-click on a school or a class opens its dialog; on a pupil, its results.
    connect(m_schoolList, &QListWidget::itemDoubleClicked, this,
            [this] { runCommand(QStringLiteral("schoolToolbar"), QStringLiteral("Modifier")); });
    connect(m_classList, &QListWidget::itemDoubleClicked, this,
            [this] { runCommand(QStringLiteral("classToolbar"), QStringLiteral("Modifier")); });
    connect(m_pupilList, &QListWidget::itemDoubleClicked, this, [this] {
        openEntry(0);
        showPupilProfile();
    });
}

void MainWindow::updateClock()
{
    const QDateTime now = m_context.clock.now();
    const QLocale french(QLocale::French);
    m_dateLabel->setText(french.toString(now.date(), QStringLiteral("dd/MM/yyyy")));
    m_timeLabel->setText(french.toString(now.time(), QStringLiteral("HH:mm")));
    m_dateLabel->setAccessibleName(QStringLiteral("Date : ") + m_dateLabel->text());
    m_timeLabel->setAccessibleName(QStringLiteral("Heure : ") + m_timeLabel->text());
}

QAction *MainWindow::toolbarButton(const QString &toolbar, const QString &key) const
{
    if (toolbar == MainToolbar) {
        if (QAction *item = m_entryMenu->findChild<QAction *>(key))
            return item;
        return m_mainToolbar->findChild<QAction *>(key);
    }
    for (QAction *action : m_listButtons.value(toolbar)) {
        if (action->objectName() == key)
            return action;
        if (action->menu())
            if (QAction *item = action->menu()->findChild<QAction *>(key))
                return item;
    }
    return nullptr;
}

bool MainWindow::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate && m_context.connection.isOpen())
        updateToolbars();
    return QMainWindow::event(e);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_context.connection.CloseDatabase();
    QMainWindow::closeEvent(event);
}

bool MainWindow::start()
{
    AppState &state = m_context.state;
    state.DataFolder = m_context.connection.DataFolder();
    // The title bar names the data folder: a teacher with two folders sees which one is open.
    QString folder = QDir::toNativeSeparators(state.DataFolder);
    if (folder.size() > 1)
        folder.chop(1);
    setWindowTitle(state.DataFolder.isEmpty() ? programTitle() : programTitle() + QStringLiteral(" — ") + folder);
    if (!StartDatabase(m_context.connection, m_context.dialogs, m_context.clock.now())) {
        m_context.session.clear();
        updateToolbars();
        return false;
    }
    m_yearLabel->setText(state.years.CurrentSchoolYear);
    showSelection({});
    return true;
}

void MainWindow::showSelection(const SelectionKeys &keys)
{
    m_wantedClass = keys.classNo;
    m_wantedPupil = keys.pupilKey;
    QString error;
    const QList<Roster::SchoolEntry> schools =
        m_context.connection.isOpen() ? Roster::Schools(m_context.connection, &error) : QList<Roster::SchoolEntry>();
    {
        const QSignalBlocker b1(m_schoolList);
        const QSignalBlocker b2(m_classList);
        const QSignalBlocker b3(m_pupilList);
        m_schoolList->clear();
        m_classList->clear();
        m_pupilList->clear();
        for (const Roster::SchoolEntry &school : schools) {
            auto *item = new QListWidgetItem(school.name, m_schoolList);
            item->setData(Qt::UserRole, school.schoolNo);
        }
    }
    if (!error.isEmpty())
        reportFailure(error);
    if (schools.isEmpty()) {
        // Nothing of a school stays on show.
        m_context.session.clear();
        m_pupilPanel->clearValues();
        m_classPanel->clearValues();
        m_lastChangeLabel->setText(LastChangeCaption);
        updateToolbars();
        return;
    }
    const int row = qMax(0, rowOfKey(m_schoolList, keys.schoolNo));
    setRowQuietly(m_schoolList, row);
    m_context.session.selectSchool(int(keyOfRow(m_schoolList, row)));
}

void MainWindow::schoolSelected()
{
    const Session &session = m_context.session;
    const int row = rowOfKey(m_schoolList, session.schoolNo());
    if (row >= 0 && m_schoolList->currentRow() != row)
        setRowQuietly(m_schoolList, row);
    QString error;
    const QList<Roster::ClassEntry> classes = Roster::Classes(m_context.connection, session.schoolNo(), &error);
    {
        const QSignalBlocker b1(m_classList);
        const QSignalBlocker b2(m_pupilList);
        m_classList->clear();
        m_pupilList->clear();
        for (const Roster::ClassEntry &entry : classes) {
            auto *item = new QListWidgetItem(entry.label, m_classList);
            item->setData(Qt::UserRole, entry.classNo);
            item->setData(LevelRole, LevelCode(entry.level));
            item->setData(LevelTextRole, entry.level);
        }
    }
    if (!error.isEmpty())
        reportFailure(error);
    m_lastChangeLabel->setText(LastChangeCaption + Roster::LastChangeYear(m_context.connection, session.schoolNo()));
    const int wanted = m_wantedClass;
    m_wantedClass = 0;
    if (classes.isEmpty()) {
        m_wantedPupil = 0;
        m_pupilPanel->clearValues();
        m_classPanel->clearValues();
        updateToolbars();
        return;
    }
    const int classRow = qMax(0, rowOfKey(m_classList, wanted));
    setRowQuietly(m_classList, classRow);
    const QListWidgetItem *item = m_classList->item(classRow);
    m_context.session.selectClass(item->data(Qt::UserRole).toInt(), item->data(LevelRole).toInt());
}

void MainWindow::classSelected()
{
    const Session &session = m_context.session;
    const int row = rowOfKey(m_classList, session.classNo());
    if (row >= 0 && m_classList->currentRow() != row)
        setRowQuietly(m_classList, row);
    QString error;
    const QList<Roster::PupilEntry> pupils =
        Roster::Pupils(m_context.connection, session.schoolNo(), session.classNo(), &error);
    {
        const QSignalBlocker blocker(m_pupilList);
        m_pupilList->clear();
        for (const Roster::PupilEntry &pupil : pupils) {
            auto *item = new QListWidgetItem(pupil.name, m_pupilList);
            item->setData(Qt::UserRole, pupil.key);
        }
    }
    if (!error.isEmpty())
        reportFailure(error);
    m_pupilPanel->clearValues();
    m_classPanel->clearValues();
    const QStringList captions = PanelDomainCaptions(session.classLevel());
    if (captions.size() == 4) {
        m_pupilPanel->setCaptions(captions);
        m_classPanel->setCaptions(captions);
    }
    // GS is not evaluated in the first trimester.
    m_entryMenu->actions().at(0)->setVisible(session.classLevel() != 1);
    const qint64 wanted = m_wantedPupil;
    m_wantedPupil = 0;
    if (pupils.isEmpty()) {
        updateToolbars();
        showClassProfile();
        return;
    }
    const int pupilRow = qMax(0, rowOfKey(m_pupilList, wanted));
    setRowQuietly(m_pupilList, pupilRow);
    m_context.session.selectPupil(keyOfRow(m_pupilList, pupilRow));
}

void MainWindow::pupilSelected()
{
    const int row = rowOfKey(m_pupilList, m_context.session.pupilKey());
    if (row >= 0 && m_pupilList->currentRow() != row)
        setRowQuietly(m_pupilList, row);
    // The pupil's and the class's profiles are stored in one commit.
    Connection::Transaction transaction(m_context.connection);
    showPupilProfile();
    updateToolbars();
    showClassProfile();
    transaction.commit();
}

void MainWindow::resultsChanged()
{
    Connection::Transaction transaction(m_context.connection);
    showPupilProfile();
    showClassProfile();
    transaction.commit();
}

void MainWindow::showPupilProfile()
{
    const Session &session = m_context.session;
    if (!session.hasPupil())
        return;
    QString error;
    const QStringList texts = m_store.ComputePupilProfile(session.classLevel(), session.pupilKey(), &error);
    m_pupilPanel->setValues(texts);
    if (!error.isEmpty())
        reportFailure(error);
}

void MainWindow::showClassProfile()
{
    const Session &session = m_context.session;
    if (!session.hasClass())
        return;
    QString error;
    const QStringList texts =
        m_store.ComputeClassProfile(session.classLevel(), session.schoolNo(), session.classNo(), &error);
    m_classPanel->setValues(texts);
    if (!error.isEmpty())
        reportFailure(error);
}

void MainWindow::reportFailure(const QString &error)
{
    m_context.dialogs.message(QStringLiteral("ATTENTION"),
                              QStringLiteral("La base de données n'a pas pu être lue ou mise à jour.\n") + error,
                              Dialogs::Icon::Warning);
}

void MainWindow::updateToolbars()
{
    const ToolbarStates states =
        m_context.connection.isOpen()
            ? UpdateToolbarStates(int(m_schoolList->count()), int(m_classList->count()), int(m_pupilList->count()),
                                  m_context.session.hasClass() && m_context.session.classLevel() != 0)
            : UpdateToolbarStates(0, 0, 0);
    const std::pair<QString, const QList<bool> *> bars[] = {
        {QStringLiteral("schoolToolbar"), &states.schools},
        {QStringLiteral("classToolbar"), &states.classes},
        {QStringLiteral("pupilToolbar"), &states.pupils},
    };
    for (const auto &[name, enabled] : bars) {
        const QList<QAction *> &buttons = m_listButtons[name];
        for (int i = 0; i < buttons.size(); ++i)
            buttons.at(i)->setEnabled(enabled->value(i));
    }
    // The main toolbar: the entry, the synthesis and the pupil's results
    // sheet need a pupil of a class, the year change a school.
    const Session &session = m_context.session;
    const bool open = m_context.connection.isOpen();
    const auto button = [this](const char *key) { return m_mainToolbar->findChild<QAction *>(QLatin1String(key)); };
    button("Saisie")->setEnabled(open && session.hasClass() && session.hasPupil());
    button("Analyse")->setEnabled(open && session.hasClass() && session.hasPupil());
    button("Change")->setEnabled(open && session.schoolNo() != 0);
    button("Imprime")->setEnabled(open && session.hasClass() && session.hasPupil());
    const bool evaluated = open && session.hasClass() && session.classLevel() != 0;
    button("Tableur")->setEnabled(open && session.schoolNo() != 0);
    for (const char *key : {"ExportXlsx", "ExportCsv"})
        button(key)->setEnabled(evaluated);
    if (QAction *grid = m_entryMenu->findChild<QAction *>(QStringLiteral("Grille")))
        grid->setEnabled(open && session.hasClass() && session.classLevel() != 0);
}
