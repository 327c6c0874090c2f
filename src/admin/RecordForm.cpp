#include "RecordForm.h"

#include "MainLists.h"
#include "common/TextUtil.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "mainwindow/KeyedToolbar.h"
#include "reports/PageFrame.h"
#include "reports/ReportPrinter.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString Attention = QStringLiteral("ATTENTION");

} // namespace

RecordForm::RecordForm(AppContext &context, Form1 &form1, RecordKind kind, const Layout &layout, QWidget *parent)
    : QDialog(parent), m_context(context), m_form1(form1), m_kind(kind), m_layout(layout),
      m_store(context.connection, context.state)
{
    setObjectName(layout.objectName);
    setWindowTitle(layout.caption);
    setModal(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_toolbar = new QToolBar(QStringLiteral("Toolbar1"), this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const bool pupil = kind == RecordKind::Pupil;
    QList<QStringList> buttons = {
        {QStringLiteral("Modifie"), QStringLiteral("Modifie"), QStringLiteral("Modifier les résultats")},
        {QStringLiteral("Valider"), QStringLiteral("Valider"), layout.validateTip},
    };
    if (pupil)
        buttons.append({QStringLiteral("ValidSuiv"), QStringLiteral("Suivant"),
                        QStringLiteral("Valider les modifications et élève suivant")});
    buttons.append({{QStringLiteral("Abandon"), QStringLiteral("Abandon"), QStringLiteral("Abandonne la saisie")},
                    {},
                    {QStringLiteral("Imprime"), QStringLiteral("Imprimer"), QString()},
                    {},
                    {QStringLiteral("Sortie"), QStringLiteral("Sortie"),
                     QStringLiteral("Sortir de la fiche de saisie des résultats")}});
    m_actions = AddKeyedButtons(m_toolbar, buttons, [this](const QString &key) { Toolbar1_ButtonClick(key); });
    outer->addWidget(m_toolbar);

    auto *body = new QWidget(this);
    auto *bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(16, 12, 16, 16);
    bodyLayout->setSpacing(12);
    m_label1 = new QLabel(body);
    m_label1->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = m_label1->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    m_label1->setFont(titleFont);
    bodyLayout->addWidget(m_label1);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    int gridRow = -1;
    auto caption = [&](const Field &field) {
        auto *label = new QLabel(field.caption, body);
        label->setObjectName(QStringLiteral("LabelChamp_%1").arg(m_captions.size()));
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
        edit->setObjectName(QStringLiteral("ChampSais_%1").arg(m_fields.size() + 1));
        edit->setProperty("tag", field.tag);
        edit->setMinimumWidth(360);
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
        combo->setObjectName(QStringLiteral("Combo1_%1").arg(m_combos.size()));
        combo->setProperty("tag", field.tag);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
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
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusText = new QLabel(m_statusBar);
    m_statusBar->addWidget(m_statusText, 1);
    outer->addWidget(m_statusBar);

    m_printer = new ReportPrinter(this);

    // The design state: view.
    setEditingState(false);
    const AppState &state = m_context.state;
    m_creating = kind == RecordKind::School  ? state.NewSchoolFlag
                 : kind == RecordKind::Class ? state.NewClassFlag
                                             : state.NewPupilFlag;
    init_form();
}

RecordForm::~RecordForm() = default;

void RecordForm::init_form()
{
    if (m_creating) {
        m_label1->setText(m_layout.newTitle);
        m_row = QVariant();
        setEditingState(true);
        EnableRecordFields(true);
        LoadRecordFields(true);
    } else {
        m_label1->setText(m_layout.editTitle);
        const QListWidgetItem *pupil = m_form1.pupilList()->currentItem();
        m_row = m_store.currentRow(m_kind, pupil ? pupil->text() : QString());
        EnableRecordFields(false);
        LoadRecordFields(false);
    }
    updateNextButton();
}

void RecordForm::LoadRecordFields(bool newFlag)
{
    for (QLineEdit *field : std::as_const(m_fields))
        field->setText(newFlag ? QString()
                               : m_store.value(m_kind, m_row, field->property("tag").toString()).toString());
    for (int i = 0; i < m_combos.size(); ++i) {
        QComboBox *combo = m_combos.at(i);
        combo->setCurrentIndex(-1);
        combo->setEditText(QString());
        if (newFlag)
            continue;
        const QVariant stored = m_store.value(m_kind, m_row, combo->property("tag").toString());
        if (stored.isNull() || stored.toString().isEmpty())
            continue;
        if (isLevelList(i)) {
            // The level is stored as its text; one typed by hand shows as typed.
            const int index = combo->findText(stored.toString());
            if (index >= 0)
                combo->setCurrentIndex(index);
            else
                combo->setEditText(stored.toString());
        } else {
            // A code of 0 (a typed text) or out of range shows no entry.
            const int code = stored.toInt();
            if (code >= 1 && code <= combo->count())
                combo->setCurrentIndex(code - 1);
        }
    }
}

void RecordForm::EnableRecordFields(bool enabled)
{
    for (QLineEdit *field : std::as_const(m_fields))
        field->setEnabled(enabled);
    for (QComboBox *combo : std::as_const(m_combos))
        combo->setEnabled(enabled);
}

int RecordForm::listCode(int index) const
{
    // The entry's position from 1; a text that is none of the entries has none: 0.
    const QComboBox *combo = m_combos.at(index);
    const int found = combo->findText(combo->currentText());
    return found >= 0 ? found + 1 : 0;
}

bool RecordForm::SaveRecord()
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

    const QString name = TrimOrEmpty(m_fields.first()->text());
    rebuildMainList(m_kind == RecordKind::Class ? RecordStore::ClassLabel(name, m_combos.first()->currentText())
                                                : name);
    return true;
}

void RecordForm::rebuildMainList(const QString &savedEntry)
{
    switch (m_kind) {
    case RecordKind::School: {
        const QStringList names = m_store.schoolNames();
        RefillList(m_form1.schoolList(), names, {}, qMax(0, int(names.indexOf(savedEntry))));
        break;
    }
    case RecordKind::Class: {
        const QList<Navigation::ClassEntry> entries = m_store.classEntries();
        QStringList labels;
        QList<int> levels;
        for (const Navigation::ClassEntry &entry : entries) {
            labels.append(entry.label);
            levels.append(entry.levelCode);
        }
        RefillList(m_form1.classList(), labels, levels, qMax(0, int(labels.indexOf(savedEntry))));
        break;
    }
    case RecordKind::Pupil: {
        const QStringList names = m_store.pupilNames();
        RefillList(m_form1.pupilList(), names, {}, qMax(0, int(names.indexOf(savedEntry))));
        break;
    }
    }
}

void RecordForm::setEditingState(bool editing)
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

void RecordForm::updateNextButton()
{
    // "Suivant" moves on to the next pupil of the list: on the last one it
    // has nowhere to go. A new pupil is always followed by a further new one.
    QAction *next = m_actions.value(QStringLiteral("ValidSuiv"));
    if (!next || !m_editing)
        return;
    const QListWidget *pupils = m_form1.pupilList();
    next->setEnabled(m_creating || (pupils->currentRow() >= 0 && pupils->currentRow() < pupils->count() - 1));
}

void RecordForm::PrintRecordSheet()
{
    PageComposer &document = m_printer->document();
    StartPageFrame(document, windowTitle(), StandardFooter(m_context.clock.now(), m_form1.windowTitleText()));
    QList<std::pair<QString, QString>> fields;
    for (int i = 1; i <= fieldCount(); ++i)
        fields.append({LabelChamp(i - 1)->text(), ChampSais(i)->text()});
    for (int i = 0; i < comboCount(); ++i)
        fields.append({LabelChamp(fieldCount() + i)->text(), Combo1(i)->currentText()});
    ComposeRecordSheet(document, fields);
    m_printer->confirmAndPrint(m_context.dialogs, this);
}

void RecordForm::Toolbar1_ButtonClick(const QString &key)
{
    if (m_kind != RecordKind::Pupil) {
        RecordToolbarClick(key);
        return;
    }
    PupilToolbarClick(key);
    m_form1.runPupilScoring();
}

void RecordForm::RecordToolbarClick(const QString &key)
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
            m_label1->setText(m_layout.editTitle);
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

void RecordForm::PupilToolbarClick(const QString &key)
{
    if (key != QLatin1String("ValidSuiv")) {
        RecordToolbarClick(key);
        return;
    }
    if (!SaveRecord())
        return;
    if (!m_creating) {
        QListWidget *pupils = m_form1.pupilList();
        if (pupils->currentRow() >= 0 && pupils->currentRow() < pupils->count() - 1)
            pupils->setCurrentRow(pupils->currentRow() + 1);
    }
    init_form();
    EnableRecordFields(true);
    if (!m_fields.isEmpty())
        m_fields.first()->setFocus();
}
