#include "EntryWindow.h"

#include "EvaluationModel.h"
#include "common/KeyedToolbar.h"
#include "data/AppContext.h"

#include <QAction>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString EmptyBoxMessage = QStringLiteral("Vous devez saisir une valeur numérique ou le signe _");
const QString EditingOnCloseMessage = QStringLiteral("Validez ou abandonnez la saisie avant de fermer la fenêtre.");

// A refused box wears a red frame until the next edit.
const char *const RefusedProperty = "refused";
const QString RefusedStyle = QStringLiteral("QLineEdit[refused=\"true\"] { border: 2px solid #c00000; }"
                                            "#refusalPanel { color: #c00000; font-weight: bold; }");

// The toolbar's commands: key, caption (with its Alt accelerator), tooltip
// and shortcuts.
struct Command
{
    const char *key;
    const char *caption;
    const char *toolTip;
    QList<QKeySequence> keys;
};

const QList<Command> &commands()
{
    static const QList<Command> list = {
        {"Modifie", "&Modifie", "Modifier les résultats", {QKeySequence(Qt::Key_F2)}},
        {"Valider",
         "&Valider",
         "Valiser les modifications",
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}},
        {"Abandon", "&Abandon", "Abandonne la saisie", {QKeySequence(Qt::Key_Escape)}},
        {"Imprime", "&Imprimer", "Imprime la fiche de résultats de l'élève", {QKeySequence(Qt::CTRL | Qt::Key_P)}},
        {"Sortie", "&Sortie", "Sortir de la fiche de saisie des résultats", {}},
    };
    return list;
}

QString withoutAccelerator(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

void setRefusedLook(QLineEdit *edit, bool refused)
{
    if (!edit || edit->property(RefusedProperty).toBool() == refused)
        return;
    edit->setProperty(RefusedProperty, refused);
    // A dynamic property takes effect in the style sheet only once re-polished.
    edit->style()->unpolish(edit);
    edit->style()->polish(edit);
    edit->update();
}

QLabel *heading(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel *valueLabel(const QString &name, int number, QWidget *parent)
{
    auto *label = new QLabel(NoResult, parent);
    label->setObjectName(QStringLiteral("%1_%2").arg(name).arg(number));
    label->setAlignment(Qt::AlignCenter);
    // A plain box on the boxes' white, drawn on all four sides (a sunken
    // panel loses its light edges on a light window) and sized for two digits.
    label->setFrameShape(QFrame::Box);
    label->setFrameShadow(QFrame::Plain);
    label->setLineWidth(1);
    label->setBackgroundRole(QPalette::Base);
    label->setAutoFillBackground(true);
    const QFontMetrics metrics(label->font());
    label->setFixedSize(qMax(36, metrics.horizontalAdvance(QStringLiteral("99")) + 16), metrics.height() + 10);
    return label;
}

} // namespace

EntryWindow::EntryWindow(AppContext &context, int level, int tabIndex, QWidget *parent)
    : QDialog(parent), m_context(context), m_level(level), m_store(context.connection)
{
    setObjectName(EntryWindowName(level));
    setWindowTitle(EntryWindowCaption(level));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    buildToolbar();
    layout->addWidget(m_toolbar);

    auto *pupilRow = new QHBoxLayout;
    pupilRow->setContentsMargins(8, 4, 8, 4);
    m_pupilName = new QLabel(this);
    m_pupilName->setObjectName(QStringLiteral("pupilName"));
    QFont nameFont = m_pupilName->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
    m_pupilName->setFont(nameFont);
    m_pupilSpinBox = new QSpinBox(this);
    m_pupilSpinBox->setObjectName(QStringLiteral("pupilSpinBox"));
    m_pupilSpinBox->setKeyboardTracking(false);
    m_pupilSpinBox->setPrefix(QStringLiteral("Élève n° "));
    m_pupilSpinBox->setAlignment(Qt::AlignCenter);
    pupilRow->addWidget(m_pupilName, 1);
    pupilRow->addWidget(m_pupilSpinBox);
    layout->addLayout(pupilRow);
    addPupilNavigation();

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("trimesterTabs"));
    for (int t : EvaluatedTrimesters(level))
        m_tabs->addTab(buildTrimesterPage(t), TrimesterTabCaption(t));
    layout->addWidget(m_tabs, 1);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    // The reason of a refusal has a panel of its own: the range hint shown as
    // the focus arrives on a box must not hide it.
    m_refusalPanel = new QLabel(m_statusBar);
    m_refusalPanel->setObjectName(QStringLiteral("refusalPanel"));
    m_statusBar->addWidget(m_refusalPanel, 3);
    m_statusPanel = new QLabel(m_statusBar);
    m_statusPanel->setObjectName(QStringLiteral("statusPanel"));
    m_statusBar->addWidget(m_statusPanel, 2);
    layout->addWidget(m_statusBar);
    setStyleSheet(RefusedStyle);

    // Typing order follows the box numbers.
    QLineEdit *previous = nullptr;
    for (QLineEdit *edit : std::as_const(m_boxes)) {
        if (previous)
            QWidget::setTabOrder(previous, edit);
        previous = edit;
    }

    // Opening: every box "_", then the stored scores, evaluating each exercise
    // as its boxes are filled.
    m_flags.loadingResults = true;
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        setBoxText(it.key(), NoResult);
    m_pupils = Roster::Pupils(context.connection, context.session.schoolNo(), context.session.classNo());
    int current = 0;
    for (int i = 0; i < m_pupils.size(); ++i)
        if (m_pupils.at(i).key == context.session.pupilKey())
            current = i;
    m_pupilSpinBox->setRange(1, qMax(1, int(m_pupils.size())));
    m_pupilSpinBox->setSuffix(QStringLiteral(" / %1").arg(m_pupils.size()));
    m_pupilSpinBox->setValue(current + 1);
    m_tabs->setCurrentIndex(tabIndex);
    LoadResults();
    EnableEntry(false);
    setViewMode(true);
    m_flags.loadingResults = false;

    connect(m_pupilSpinBox, &QSpinBox::valueChanged, this, &EntryWindow::moveToPupil);
    nameForScreenReaders();
}

EntryWindow::~EntryWindow()
{
    // Hiding the window takes the focus from a box, whose checks must not run
    // on a half-destroyed window.
    for (QLineEdit *edit : std::as_const(m_boxes)) {
        edit->removeEventFilter(this);
        edit->disconnect(this);
    }
}

void EntryWindow::buildToolbar()
{
    // A screen reader names a toolbar by its title.
    m_toolbar = new QToolBar(QStringLiteral("Commandes de la saisie"), this);
    m_toolbar->setObjectName(QStringLiteral("entryToolbar"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QList<QStringList> buttons;
    for (const Command &c : commands()) {
        if (c.key == QLatin1String("Imprime") || c.key == QLatin1String("Sortie"))
            buttons.append(QStringList());
        buttons.append({QLatin1String(c.key), withoutAccelerator(QString::fromUtf8(c.caption))});
    }
    m_actions = AddKeyedButtons(m_toolbar, buttons, [this](const QString &key) { toolbarClicked(key); });
    for (const Command &c : commands()) {
        QAction *action = m_actions.value(QLatin1String(c.key));
        action->setToolTip(QString::fromUtf8(c.toolTip));
        // The button shows the caption with its accelerator underlined, and
        // Alt with that letter clicks it; a command without a shortcut names
        // that key in its tooltip.
        const QString caption = QString::fromUtf8(c.caption);
        action->setIconText(caption);
        if (c.keys.isEmpty())
            action->setToolTip(
                QStringLiteral("%1 (%2)").arg(action->toolTip(), FrenchKeyText(QKeySequence::mnemonic(caption))));
        SetCommandShortcuts(action, c.keys);
    }
    NameToolbarButtons(m_toolbar);
}

void EntryWindow::addPupilNavigation()
{
    m_pupilSpinBox->setToolTip(QStringLiteral("Élève précédent (%1) ou suivant (%2)")
                                   .arg(FrenchKeyText(Qt::Key_PageUp), FrenchKeyText(Qt::Key_PageDown)));
    m_previousPupil = new QAction(QStringLiteral("Élève précédent"), this);
    m_previousPupil->setObjectName(QStringLiteral("previousPupil"));
    m_previousPupil->setShortcut(QKeySequence(Qt::Key_PageUp));
    connect(m_previousPupil, &QAction::triggered, m_pupilSpinBox, &QSpinBox::stepDown);
    m_nextPupil = new QAction(QStringLiteral("Élève suivant"), this);
    m_nextPupil->setObjectName(QStringLiteral("nextPupil"));
    m_nextPupil->setShortcut(QKeySequence(Qt::Key_PageDown));
    connect(m_nextPupil, &QAction::triggered, m_pupilSpinBox, &QSpinBox::stepUp);
    addAction(m_previousPupil);
    addAction(m_nextPupil);
}

// Every control a screen reader reaches says what it is; the description
// repeats the tooltip.
void EntryWindow::nameForScreenReaders()
{
    const auto name = [](QWidget *w, const QString &text) {
        w->setAccessibleName(text);
        w->setAccessibleDescription(w->toolTip());
    };
    name(m_toolbar, m_toolbar->windowTitle());
    name(m_pupilName, QStringLiteral("Nom de l'élève"));
    name(m_pupilSpinBox, QStringLiteral("Élève"));
    // The spin box's own text field takes the keys: it carries the same name.
    if (auto *field = m_pupilSpinBox->findChild<QLineEdit *>()) {
        field->setToolTip(m_pupilSpinBox->toolTip());
        name(field, QStringLiteral("Élève"));
    }
    // Qt's own buttons, shown when the toolbar or the tab bar runs out of room.
    for (QToolButton *button : m_toolbar->findChildren<QToolButton *>())
        if (button->accessibleName().isEmpty())
            name(button, QStringLiteral("Autres commandes"));
    name(m_tabs, QStringLiteral("Trimestres"));
    name(m_tabs->tabBar(), QStringLiteral("Trimestres"));
    for (QToolButton *button : m_tabs->tabBar()->findChildren<QToolButton *>())
        name(button, button->arrowType() == Qt::LeftArrow ? QStringLiteral("Trimestre précédent")
                                                          : QStringLiteral("Trimestre suivant"));
    for (int i = 0; i < m_tabs->count(); ++i)
        name(m_tabs->widget(i), m_tabs->tabText(i));
    name(m_statusBar, QStringLiteral("Barre d'état"));
    name(m_refusalPanel, QStringLiteral("Motif du refus"));
    name(m_statusPanel, QStringLiteral("Aide à la saisie"));
    for (int t : EvaluatedTrimesters(m_level)) {
        for (int e = 1; e <= 3; ++e) {
            const int number = ExerciseNumber(m_level, t, e);
            const QString exercise = ExerciseSpokenName(m_level, t, e);
            if (auto *frame = findChild<QFrame *>(QStringLiteral("Frame_%1").arg(number)))
                name(frame, exercise);
            if (QLabel *tot = m_tot.value(number))
                name(tot, QStringLiteral("Total — ") + exercise);
            name(m_cat.value(number), QStringLiteral("Catégorie — ") + exercise);
            name(m_prof.value(number), QStringLiteral("Profil — ") + exercise);
            for (int i = 1; i <= ItemCount(m_level, t, e); ++i)
                name(m_boxes.value(BoxNumber(m_level, t, e, i)), ItemSpokenName(m_level, t, e, i));
        }
    }
}

QWidget *EntryWindow::buildTrimesterPage(int trimester)
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    grid->addWidget(heading(QStringLiteral("Catégorie"), page), 0, 1);
    grid->addWidget(heading(QStringLiteral("Profil"), page), 0, 2);
    for (int e = 1; e <= 3; ++e) {
        const int number = ExerciseNumber(m_level, trimester, e);
        grid->addWidget(buildExerciseFrame(trimester, e), e, 0);
        m_cat.insert(number, valueLabel(QStringLiteral("cat"), number, page));
        m_prof.insert(number, valueLabel(QStringLiteral("prof"), number, page));
        grid->addWidget(m_cat.value(number), e, 1, Qt::AlignCenter);
        grid->addWidget(m_prof.value(number), e, 2, Qt::AlignCenter);
    }
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(4, 1);
    return page;
}

QWidget *EntryWindow::buildExerciseFrame(int trimester, int exercise)
{
    auto *frame = new QFrame;
    const int number = ExerciseNumber(m_level, trimester, exercise);
    frame->setObjectName(QStringLiteral("Frame_%1").arg(number));
    frame->setFrameShape(QFrame::Box);
    auto *grid = new QGridLayout(frame);
    const int n = ItemCount(m_level, trimester, exercise);
    // The seven-question exercises have no captions: their boxes stand in a
    // row under one heading, each under its question number and carrying its
    // question as tool tip.
    const bool questions = !ItemToolTip(m_level, trimester, exercise, 1).isEmpty();

    auto *title = heading(ExerciseHeading(m_level, trimester, exercise), frame);
    title->setMinimumWidth(110);
    if (questions) {
        grid->addWidget(title, 0, 0, 3, 1);
        grid->addWidget(heading(QStringLiteral("Réponses aux questions 1 à 7"), frame), 0, 1, 1, n);
    } else {
        grid->addWidget(title, 1, 0, n, 1);
        grid->addWidget(heading(QStringLiteral("Eléments d'épreuve"), frame), 0, 1);
        grid->addWidget(heading(QStringLiteral("Perform"), frame), 0, 2);
        grid->addWidget(heading(QStringLiteral("Total"), frame), 0, 3);
    }
    for (int i = 1; i <= n; ++i) {
        const int boxNumber = BoxNumber(m_level, trimester, exercise, i);
        auto *edit = new QLineEdit(frame);
        edit->setObjectName(QStringLiteral("Perf_%1").arg(boxNumber));
        edit->setAlignment(Qt::AlignCenter);
        edit->setFixedWidth(40);
        edit->setToolTip(ItemToolTip(m_level, trimester, exercise, i));
        // Out of editing the boxes are disabled, but their scores stay as
        // readable as the labels beside them.
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
        edit->setPalette(palette);
        edit->installEventFilter(this);
        m_boxes.insert(boxNumber, edit);
        m_boxNumbers.insert(edit, boxNumber);
        connect(edit, &QLineEdit::textChanged, this, [this, boxNumber] { check(boxNumber); });
        connect(edit, &QLineEdit::editingFinished, this, [this, boxNumber] { check(boxNumber); });
        connect(edit, &QLineEdit::textEdited, this, &EntryWindow::clearRefusal);
        if (questions) {
            auto *question = new QLabel(QStringLiteral("Q%1").arg(i), frame);
            question->setObjectName(QStringLiteral("heading_%1").arg(boxNumber));
            question->setAlignment(Qt::AlignCenter);
            grid->addWidget(question, 1, i, Qt::AlignHCenter | Qt::AlignBottom);
            grid->addWidget(edit, 2, i, Qt::AlignCenter);
        } else {
            grid->addWidget(new QLabel(ItemCaption(m_level, trimester, exercise, i), frame), i, 1);
            grid->addWidget(edit, i, 2, Qt::AlignCenter);
        }
    }
    if (HasTotalField(m_level, trimester, exercise)) {
        m_tot.insert(number, valueLabel(QStringLiteral("tot"), number, frame));
        grid->addWidget(m_tot.value(number), 1, 3, n, 1, Qt::AlignCenter);
    }
    if (!questions)
        grid->setColumnStretch(1, 1);
    return frame;
}

// ---- Modes and commands -----------------------------------------------------

void EntryWindow::setViewMode(bool view)
{
    m_editing = !view;
    m_pupilSpinBox->setEnabled(view);
    for (const char *key : {"Modifie", "Sortie"})
        m_actions.value(QLatin1String(key))->setEnabled(view);
    m_actions.value(QStringLiteral("Imprime"))->setEnabled(view && m_printSheet);
    m_previousPupil->setEnabled(view);
    m_nextPupil->setEnabled(view);
    for (const char *key : {"Valider", "Abandon"})
        m_actions.value(QLatin1String(key))->setEnabled(!view);
    // The trimester shown when editing began stays in front: the other tabs
    // are disabled on the bar only, so the current page keeps its boxes usable.
    m_tabs->tabBar()->setEnabled(view);
    for (int i = 0; i < m_tabs->count(); ++i)
        m_tabs->tabBar()->setTabEnabled(i, view || i == m_tabs->currentIndex());
}

void EntryWindow::EnableEntry(bool enabled)
{
    for (QLineEdit *edit : std::as_const(m_boxes))
        edit->setEnabled(enabled);
}

void EntryWindow::toolbarClicked(const QString &key)
{
    const bool always = key == QLatin1String("Valider") || key == QLatin1String("Abandon");
    if (m_flags.entryPending && m_level != 1 && !always)
        return;
    EntryToolbarCommand(key);
}

void EntryWindow::EntryToolbarCommand(const QString &key)
{
    if (key == QLatin1String("Modifie")) {
        setViewMode(false);
        EnableEntry(true);
        // Ready to type: the first box of the trimester in front.
        const int first = BoxNumber(m_level, trimesterOfTab(m_tabs->currentIndex()), 1, 1);
        if (m_boxes.contains(first))
            focusBox(first);
    } else if (key == QLatin1String("Valider")) {
        validate();
    } else if (key == QLatin1String("Abandon")) {
        setViewMode(true);
        LoadResults();
        EnableEntry(false);
    } else if (key == QLatin1String("Sortie")) {
        m_editing = false;
        accept();
    } else if (key == QLatin1String("Imprime") && !m_editing && m_printSheet) {
        m_printSheet(pupilKey(), this);
    }
}

void EntryWindow::setSheetPrinter(SheetPrinter printer)
{
    m_printSheet = std::move(printer);
    m_actions.value(QStringLiteral("Imprime"))->setEnabled(!m_editing && m_printSheet);
}

void EntryWindow::validate()
{
    // The trimester in front is examined as it stands, whatever the last
    // check left pending: an emptied box, then a part-filled series refuse it.
    const int trimester = trimesterOfTab(m_tabs->currentIndex());
    if (const int empty = firstEmptyBox(trimester)) {
        m_flags.entryPending = true;
        showRefusal(empty, EmptyBoxMessage);
        return;
    }
    if (const int incomplete = FirstBoxOfIncompleteSeries(*this, m_level, trimester)) {
        m_flags.entryPending = true;
        showRefusal(incomplete, IncompleteSeriesMessage);
        return;
    }

    // Every trimester of the window is stored, whichever tab is in front,
    // with what the scoring derives from the boxes.
    QVariantMap fields;
    for (int t : EvaluatedTrimesters(m_level)) {
        for (int e = 1; e <= 3; ++e) {
            const QStringList texts = ExerciseTexts(*this, m_level, t, e);
            fields.insert(ExerciseFields(m_level, t, e, texts, EvaluateExercise(m_level, t, e, texts)));
        }
    }
    // The scores and the class profile they change go to the disk in one commit.
    const Session &session = m_context.session;
    Connection::Transaction transaction(m_context.connection);
    QString error;
    bool saved = m_store.SaveResults(pupilKey(), fields, &error);
    if (saved) {
        m_store.ComputeClassProfile(m_level, session.schoolNo(), session.classNo(), &error);
        saved = error.isEmpty() && transaction.commit();
    }
    if (!saved) {
        showRefusal(0, QStringLiteral("Les résultats n'ont pas pu être enregistrés."));
        m_context.dialogs.message(QStringLiteral("ATTENTION"),
                                  QStringLiteral("Les résultats n'ont pas pu être enregistrés.\n%1").arg(error),
                                  Dialogs::Icon::Warning);
        return;
    }
    m_context.session.notifyResultsChanged();
    setViewMode(true);
    // The boxes show what was stored: "7x" became 7.
    LoadResults();
    EnableEntry(false);
}

int EntryWindow::firstEmptyBox(int trimester) const
{
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        if (DecodeBoxNumber(it.key()).trimester == trimester && it.value()->text().isEmpty())
            return it.key();
    return 0;
}

void EntryWindow::showRefusal(int box, const QString &reason)
{
    clearRefusal();
    m_refusalPanel->setText(reason);
    m_refusedBox = box;
    setRefusedLook(m_boxes.value(box), true);
    if (box != 0)
        focusBox(box);
}

void EntryWindow::clearRefusal()
{
    m_refusalPanel->clear();
    setRefusedLook(m_boxes.value(m_refusedBox), false);
    m_refusedBox = 0;
}

QString EntryWindow::refusalText() const
{
    return m_refusalPanel->text();
}

void EntryWindow::LoadResults()
{
    const qint64 key = pupilKey();
    m_pupilName->setText(Roster::PupilName(m_context.connection, key));
    const std::optional<QVariantMap> stored = m_store.pupilFields(key);

    // The refill shows no message: stored values are not refused as typed
    // ones would be, and a series only partly refilled is no pending entry.
    const bool wasLoading = m_flags.loadingResults;
    m_flags.loadingResults = true;
    for (int t : EvaluatedTrimesters(m_level)) {
        for (int e = 1; e <= 3; ++e) {
            for (int i = 1; i <= ItemCount(m_level, t, e); ++i) {
                const QVariant v = stored ? stored->value(ItemField(t, e, i)) : QVariant();
                setBoxText(BoxNumber(m_level, t, e, i), IsScored(v) ? QString::number(v.toDouble()) : NoResult);
            }
            // Also when no box of the exercise changed: its labels may still
            // show an abandoned edit.
            setExerciseLabels(m_level, t, e, EvaluateExercise(m_level, t, e, ExerciseTexts(*this, m_level, t, e)));
        }
    }
    m_flags.loadingResults = wasLoading;
    m_flags.entryPending = false;
    setStatusText(QString());
    clearRefusal();
}

void EntryWindow::moveToPupil(int position)
{
    // The main window follows the session to the same pupil.
    if (position >= 1 && position <= m_pupils.size())
        m_context.session.selectPupil(m_pupils.at(position - 1).key);
    LoadResults();
    EnableEntry(false);
}

// ---- Boxes and events -------------------------------------------------------

void EntryWindow::check(int box)
{
    CheckEntry(*this, m_flags, box);
}

bool EntryWindow::eventFilter(QObject *watched, QEvent *event)
{
    const int box = m_boxNumbers.value(watched);
    if (box == 0)
        return QDialog::eventFilter(watched, event);
    auto *edit = static_cast<QLineEdit *>(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
        setStatusText(RangeHint(box));
        edit->selectAll();
        // A click that brought the focus places the cursor afterwards: select
        // again once it is handled (only then, or a fast typist's next
        // keystroke could replace what was just typed).
        if (static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason) {
            QTimer::singleShot(0, edit, [edit] {
                if (edit->hasFocus())
                    edit->selectAll();
            });
        }
        break;
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // The box loses the focus first, so that a check giving it back leaves
        // it with a live cursor.
        static_cast<QObject *>(edit)->event(event);
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            check(box);
        return true;
    }
    case QEvent::KeyPress: {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        const int key = keyEvent->key();
        // Ctrl+Enter is "Valider", not the next box.
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || (keyEvent->modifiers() & Qt::ControlModifier))
            break;
        check(box);
        // An accepted entry (a score or "_") moves on to the next box.
        if (!edit->text().isEmpty() && edit->isEnabled()) {
            if (const int next = nextBoxAfter(box))
                focusBox(next);
        }
        return true;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

int EntryWindow::nextBoxAfter(int box) const
{
    const BoxCoordinates c = DecodeBoxNumber(box);
    auto it = m_boxes.upperBound(box);
    if (it == m_boxes.cend() || DecodeBoxNumber(it.key()).trimester != c.trimester)
        return 0;
    return it.key();
}

QString EntryWindow::boxText(int box) const
{
    const QLineEdit *edit = m_boxes.value(box);
    return edit ? edit->text() : NoResult;
}

void EntryWindow::setBoxText(int box, const QString &text)
{
    // textChanged runs the check, as for a keystroke.
    if (QLineEdit *edit = m_boxes.value(box))
        edit->setText(text);
}

bool EntryWindow::boxEnabled(int box) const
{
    const QLineEdit *edit = m_boxes.value(box);
    return edit && edit->isEnabled();
}

void EntryWindow::focusBox(int box)
{
    QLineEdit *edit = m_boxes.value(box);
    // A focus given back while another box is losing it must not start a
    // tug of war between two refused boxes.
    if (!edit || m_refocusing)
        return;
    m_refocusing = true;
    if (isVisible() && !isActiveWindow())
        activateWindow();
    edit->setFocus(Qt::OtherFocusReason);
    // A box that kept the focus gets no focus-in event: select its text here so
    // that the next keystroke replaces a reset "_".
    edit->selectAll();
    m_refocusing = false;
}

void EntryWindow::setStatusText(const QString &text)
{
    m_statusPanel->setText(text);
}

QString EntryWindow::statusText() const
{
    return m_statusPanel->text();
}

void EntryWindow::setExerciseLabels(int level, int trimester, int exercise, const ExerciseResult &result)
{
    const int number = ExerciseNumber(level, trimester, exercise);
    if (QLabel *tot = m_tot.value(number))
        tot->setText(result.tot);
    if (QLabel *cat = m_cat.value(number))
        cat->setText(result.cat);
    if (QLabel *prof = m_prof.value(number))
        prof->setText(result.prof);
}

Dialogs &EntryWindow::dialogs()
{
    return m_context.dialogs;
}

int EntryWindow::trimesterOfTab(int index) const
{
    return index + FirstTrimester(m_level);
}

qint64 EntryWindow::pupilKey() const
{
    const int position = m_pupilSpinBox->value();
    return position >= 1 && position <= m_pupils.size() ? m_pupils.at(position - 1).key : 0;
}

// Escape abandons an entry, and closes the window from view mode. The close
// button closes it from view mode only, and says so while editing.
void EntryWindow::reject()
{
    if (m_editing)
        toolbarClicked(QStringLiteral("Abandon"));
    else
        QDialog::reject();
}

void EntryWindow::closeEvent(QCloseEvent *event)
{
    if (m_editing) {
        event->ignore();
        showRefusal(m_refusedBox, EditingOnCloseMessage);
    } else {
        QDialog::closeEvent(event);
    }
}

int OpenEntryWindow(AppContext &context, int level, int tabIndex, QWidget *parent,
                    const EntryWindow::SheetPrinter &printSheet)
{
    EntryWindow window(context, level, tabIndex, parent);
    window.setSheetPrinter(printSheet);
    return window.exec();
}
