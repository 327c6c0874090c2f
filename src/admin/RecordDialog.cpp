#include "RecordDialog.h"

#include "common/KeyedToolbar.h"
#include "common/MainScreen.h"
#include "common/TextUtil.h"
#include "data/AppContext.h"
#include "data/Roster.h"
#include "reports/PageFrame.h"
#include "reports/ReportPrinter.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString Attention = QStringLiteral("ATTENTION");

} // namespace

RecordDialog::RecordDialog(AppContext &context, MainScreen &screen, RecordKind kind, const Layout &layout,
                           bool creating, QWidget *parent)
    : QDialog(parent), m_context(context), m_screen(screen), m_kind(kind), m_layout(layout),
      m_store(context.connection, context.session), m_creating(creating)
{
    setObjectName(layout.objectName);
    setWindowTitle(layout.caption);
    setModal(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_toolbar = new QToolBar(QStringLiteral("Commandes de la fiche"), this);
    m_toolbar->setObjectName(QStringLiteral("recordToolbar"));
    m_toolbar->setAccessibleName(m_toolbar->windowTitle());
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toolbar->setIconSize(QSize(16, 16));
    const bool pupil = kind == RecordKind::Pupil;
    // Entrée validates while editing; Échap gives the edit up, or leaves the
    // dialog when nothing is being edited (only one of the two is enabled).
    QList<QStringList> buttons = {
        {QStringLiteral("Modifie"), QStringLiteral("Modifie"), QStringLiteral("Modifier les résultats"),
         QStringLiteral("F2"), QStringLiteral("modify")},
        {QStringLiteral("Valider"), QStringLiteral("Valider"), layout.validateTip, QStringLiteral("Return;Enter"),
         QStringLiteral("validate")},
    };
    if (pupil)
        buttons.append({QStringLiteral("ValidSuiv"), QStringLiteral("Suivant"),
                        QStringLiteral("Valider les modifications et élève suivant"),
                        QStringLiteral("Ctrl+Return;Ctrl+Enter"), QStringLiteral("next")});
    buttons.append({{QStringLiteral("Abandon"), QStringLiteral("Abandon"), QStringLiteral("Abandonne la saisie"),
                     QStringLiteral("Esc"), QStringLiteral("cancel")},
                    {},
                    {QStringLiteral("Imprime"), QStringLiteral("Imprimer"), QString(), QStringLiteral("Ctrl+P"),
                     QStringLiteral("print")},
                    {},
                    {QStringLiteral("Sortie"), QStringLiteral("Sortie"),
                     QStringLiteral("Sortir de la fiche de saisie des résultats"), QStringLiteral("Esc"),
                     QStringLiteral("exit")}});
    m_actions = AddKeyedButtons(m_toolbar, buttons, [this](const QString &key) { toolbarClicked(key); });
    m_toolbar->setMinimumWidth(m_toolbar->sizeHint().width());
    outer->addWidget(m_toolbar);

    auto *body = new QWidget(this);
    auto *bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(16, 12, 16, 16);
    bodyLayout->setSpacing(12);
    m_title = new QLabel(body);
    m_title->setObjectName(QStringLiteral("title"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    m_title->setFont(titleFont);
    bodyLayout->addWidget(m_title);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    int gridRow = -1;
    auto caption = [&](const Field &field) {
        auto *label = new QLabel(field.caption, body);
        label->setObjectName(QStringLiteral("fieldCaption_%1").arg(m_captions.size()));
        m_captions.append(label);
        return label;
    };
    // A field that cannot be edited still reads clearly, on a grey ground.
    auto readable = [](QWidget *widget) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Active, QPalette::Window));
        palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
        palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                         palette.color(QPalette::Active, QPalette::ButtonText));
        widget->setPalette(palette);
    };
    for (const Field &field : layout.textFields) {
        QLabel *label = caption(field);
        auto *edit = new QLineEdit(body);
        edit->setObjectName(QStringLiteral("textField_%1").arg(m_fields.size()));
        edit->setProperty("tag", field.tag);
        edit->setMinimumWidth(360);
        edit->setAccessibleName(field.caption);
        readable(edit);
        label->setBuddy(edit);
        m_fields.append(edit);
        grid->addWidget(label, ++gridRow, 0);
        grid->addWidget(edit, gridRow, 1, 1, 3);
    }
    // Lists share a row two by two where asked; otherwise each takes the whole width.
    const bool paired = std::any_of(layout.lists.cbegin(), layout.lists.cend(),
                                    [](const Field &field) { return field.besidePrevious; });
    for (const Field &field : layout.lists) {
        QLabel *label = caption(field);
        auto *combo = new QComboBox(body);
        combo->setObjectName(QStringLiteral("listField_%1").arg(m_combos.size()));
        combo->setProperty("tag", field.tag);
        combo->setAccessibleName(field.caption);
        // The level is one of the evaluated levels, chosen (typing "cp" picks "CP");
        // the other lists also take a typed text.
        combo->setEditable(!isLevelList(int(m_combos.size())));
        combo->setInsertPolicy(QComboBox::NoInsert);
        if (combo->lineEdit())
            combo->lineEdit()->setAccessibleName(field.caption);
        combo->addItems(field.entries);
        combo->setCurrentIndex(-1);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        readable(combo);
        label->setBuddy(combo);
        m_combos.append(combo);
        if (field.besidePrevious && gridRow >= 0) {
            grid->addWidget(label, gridRow, 2);
            grid->addWidget(combo, gridRow, 3);
        } else {
            grid->addWidget(label, ++gridRow, 0);
            grid->addWidget(combo, gridRow, 1, 1, paired ? 1 : 3);
        }
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    bodyLayout->addLayout(grid);
    bodyLayout->addStretch(1);
    outer->addWidget(body, 1);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setAccessibleName(QStringLiteral("Barre d'état"));
    m_statusText = new QLabel(m_statusBar);
    m_statusText->setObjectName(QStringLiteral("statusText"));
    m_statusBar->addWidget(m_statusText, 1);
    outer->addWidget(m_statusBar);

    m_printer = new ReportPrinter(this);

    // The design state: view.
    setEditingState(false);
    showRecord();
}

RecordDialog::~RecordDialog() = default;

void RecordDialog::showRecord()
{
    if (m_creating) {
        m_title->setText(m_layout.newTitle);
        m_row = QVariant();
        setEditingState(true);
        EnableRecordFields(true);
        LoadRecordFields(true);
    } else {
        m_title->setText(m_layout.editTitle);
        m_row = m_store.selectedRow(m_kind);
        EnableRecordFields(false);
        LoadRecordFields(false);
    }
    updateNextButton();
}

void RecordDialog::LoadRecordFields(bool newFlag)
{
    for (QLineEdit *field : std::as_const(m_fields))
        field->setText(newFlag ? QString()
                               : m_store.value(m_kind, m_row, field->property("tag").toString()).toString());
    for (int i = 0; i < m_combos.size(); ++i) {
        QComboBox *combo = m_combos.at(i);
        combo->setCurrentIndex(-1);
        combo->setEditText(QString());
        combo->setPlaceholderText(QString());
        if (newFlag)
            continue;
        const QVariant stored = m_store.value(m_kind, m_row, combo->property("tag").toString());
        if (stored.isNull() || stored.toString().isEmpty())
            continue;
        if (isLevelList(i)) {
            // The level is stored as its text; one that is not evaluated shows
            // greyed until an evaluated level is chosen.
            const int index = combo->findText(stored.toString());
            if (index >= 0)
                combo->setCurrentIndex(index);
            else
                combo->setPlaceholderText(stored.toString());
        } else {
            // A code of 0 (a typed text) or out of range shows no entry.
            const int code = stored.toInt();
            if (code >= 1 && code <= combo->count())
                combo->setCurrentIndex(code - 1);
        }
    }
}

void RecordDialog::EnableRecordFields(bool enabled)
{
    for (QLineEdit *field : std::as_const(m_fields))
        field->setEnabled(enabled);
    for (QComboBox *combo : std::as_const(m_combos))
        combo->setEnabled(enabled);
}

int RecordDialog::listCode(int index) const
{
    // The entry's position from 1; a text that is none of the entries has none: 0.
    const QComboBox *combo = m_combos.at(index);
    const int found = combo->findText(combo->currentText());
    return found >= 0 ? found + 1 : 0;
}

bool RecordDialog::SaveRecord()
{
    for (QLineEdit *field : std::as_const(m_fields)) {
        if (field->text().isEmpty()) {
            m_context.dialogs.message(Attention, QStringLiteral("Attention vous devez saisir une valeur"),
                                      Dialogs::Icon::Warning);
            field->setFocus();
            return false;
        }
    }
    for (QComboBox *combo : std::as_const(m_combos)) {
        if (combo->currentText().isEmpty()) {
            m_context.dialogs.message(Attention, QStringLiteral("Attention vous devez saisir une valeur"),
                                      Dialogs::Icon::Warning);
            combo->setFocus();
            return false;
        }
    }

    RecordStore::Values values;
    for (QLineEdit *field : std::as_const(m_fields))
        values.append({field->property("tag").toString(), TrimOrEmpty(field->text())});
    for (int i = 0; i < m_combos.size(); ++i) {
        QComboBox *combo = m_combos.at(i);
        values.append({combo->property("tag").toString(),
                       isLevelList(i) ? QVariant(combo->currentText()) : QVariant(listCode(i))});
    }
    const QString name = TrimOrEmpty(m_fields.first()->text());
    const Session &session = m_context.session;
    if (m_kind == RecordKind::Pupil && m_creating &&
        Roster::PupilNameTaken(m_context.connection, session.schoolNo(), session.classNo(), name) &&
        !m_context.dialogs.question(
            QStringLiteral("Confirmer"),
            QStringLiteral("Un élève nommé « %1 » existe déjà dans cette classe. L'ajouter quand même ?").arg(name),
            true))
        return false;
    QVariant row = m_creating ? QVariant() : m_row;
    QString error;
    if (!m_creating && !row.isValid()) {
        m_context.dialogs.message(Attention, QStringLiteral("L'enregistrement à modifier est introuvable."),
                                  Dialogs::Icon::Warning);
        return false;
    }
    if (!m_store.write(m_kind, row, values, &error)) {
        m_context.dialogs.message(Attention, error, Dialogs::Icon::Warning);
        return false;
    }
    m_row = row;

    // The main window shows the record just written, selected.
    const qint64 key = m_store.keyOf(m_kind, row);
    switch (m_kind) {
    case RecordKind::School:
        m_screen.showSelection({int(key), 0, 0});
        break;
    case RecordKind::Class:
        m_screen.showSelection({session.schoolNo(), int(key), 0});
        break;
    case RecordKind::Pupil:
        m_screen.showSelection({session.schoolNo(), session.classNo(), key});
        break;
    }
    return true;
}

QList<qint64> RecordDialog::classPupilKeys() const
{
    QList<qint64> keys;
    const Session &session = m_context.session;
    for (const Roster::PupilEntry &pupil : Roster::Pupils(m_context.connection, session.schoolNo(), session.classNo()))
        keys.append(pupil.key);
    return keys;
}

void RecordDialog::setEditingState(bool editing)
{
    m_editing = editing;
    for (const char *key : {"Modifie", "Imprime", "Sortie"})
        m_actions.value(QLatin1String(key))->setEnabled(!editing);
    for (const char *key : {"Valider", "ValidSuiv", "Abandon"})
        if (QAction *action = m_actions.value(QLatin1String(key)))
            action->setEnabled(editing);
    updateNextButton();
    m_statusText->setText(editing ? QStringLiteral("Saisie en cours") : QStringLiteral("Consultation"));
}

void RecordDialog::updateNextButton()
{
    // "Suivant" moves on to the next pupil of the list: on the last one it
    // has nowhere to go. A new pupil is always followed by a further new one.
    QAction *next = m_actions.value(QStringLiteral("ValidSuiv"));
    if (!next || !m_editing)
        return;
    if (m_creating) {
        next->setEnabled(true);
        return;
    }
    const QList<qint64> pupils = classPupilKeys();
    const qsizetype at = pupils.indexOf(m_context.session.pupilKey());
    next->setEnabled(at >= 0 && at < pupils.size() - 1);
}

void RecordDialog::PrintRecordSheet()
{
    PageComposer &document = m_printer->document();
    StartPageFrame(document, windowTitle(), StandardFooter(m_context.clock.now(), m_screen.programTitle()));
    QList<std::pair<QString, QString>> fields;
    for (int i = 0; i < fieldCount(); ++i)
        fields.append({fieldCaption(i)->text(), textField(i)->text()});
    for (int i = 0; i < comboCount(); ++i)
        fields.append({fieldCaption(fieldCount() + i)->text(), listField(i)->currentText()});
    ComposeRecordSheet(document, fields);
    m_printer->confirmAndPrint(m_context.dialogs, this);
}

void RecordDialog::toolbarClicked(const QString &key)
{
    if (m_kind != RecordKind::Pupil) {
        RecordToolbarClick(key);
        return;
    }
    PupilToolbarClick(key);
    // The main window shows the pupil's profile afresh.
    m_context.session.notifyResultsChanged();
}

void RecordDialog::RecordToolbarClick(const QString &key)
{
    if (key == QLatin1String("Modifie")) {
        setEditingState(true);
        EnableRecordFields(true);
        if (!m_fields.isEmpty())
            m_fields.first()->setFocus();
    } else if (key == QLatin1String("Valider")) {
        if (!SaveRecord())
            return;
        if (m_creating) {
            // From now on the dialog edits the record it has written.
            m_creating = false;
            m_title->setText(m_layout.editTitle);
        }
        setEditingState(false);
        EnableRecordFields(false);
    } else if (key == QLatin1String("Abandon")) {
        if (m_creating) {
            done(QDialog::Rejected);
            return;
        }
        setEditingState(false);
        LoadRecordFields(false);
        EnableRecordFields(false);
    } else if (key == QLatin1String("Imprime")) {
        PrintRecordSheet();
    } else if (key == QLatin1String("Sortie")) {
        done(QDialog::Accepted);
    }
}

void RecordDialog::PupilToolbarClick(const QString &key)
{
    if (key != QLatin1String("ValidSuiv")) {
        RecordToolbarClick(key);
        return;
    }
    if (!SaveRecord())
        return;
    if (!m_creating) {
        // On to the next pupil of the class; the main window follows the session.
        const QList<qint64> pupils = classPupilKeys();
        const qsizetype at = pupils.indexOf(m_context.session.pupilKey());
        if (at >= 0 && at < pupils.size() - 1)
            m_context.session.selectPupil(pupils.at(at + 1));
    }
    showRecord();
    EnableRecordFields(true);
    if (!m_fields.isEmpty())
        m_fields.first()->setFocus();
}
