#pragma once

#include "RecordStore.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QStringList>

class Form1;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolBar;
class ReportPrinter;
struct AppContext;

// The field editor the school, class and pupil dialogs are made of: a title
// (Label1), captions (LabelChamp, from 0), text fields (ChampSais, from 1) and
// lists that also take typed text (Combo1, from 0), each field bound to a
// column by its tag, and a toolbar (Toolbar1) driving the edit cycle: view,
// "Modifie", "Valider" or "Abandon", "Imprime", "Sortie"; the pupil dialog
// adds "Suivant" (key "ValidSuiv").
//
// The dialog edits the row of the main window's selection, or a new row when
// it was opened by "Ajouter". Once a new record is saved the dialog goes on
// editing that record: a further "Valider" never adds a second one.
class RecordForm : public QDialog
{
    Q_OBJECT
public:
    struct Field
    {
        QString caption;
        QString tag;
        QStringList entries; // the list's entries; none for a text field
        bool besidePrevious = false;
    };
    struct Layout
    {
        QString objectName;
        QString caption;
        QString newTitle;
        QString editTitle;
        QString validateTip;
        QList<Field> textFields;
        QList<Field> lists;
    };

    RecordForm(AppContext &context, Form1 &form1, RecordKind kind, const Layout &layout, QWidget *parent = nullptr);
    ~RecordForm() override;

    RecordKind kind() const { return m_kind; }
    int fieldCount() const { return int(m_fields.size()); }
    int comboCount() const { return int(m_combos.size()); }
    QLabel *LabelChamp(int index) const { return m_captions.value(index); }
    QLineEdit *ChampSais(int index) const { return m_fields.value(index - 1); }
    QComboBox *Combo1(int index) const { return m_combos.value(index); }
    QAction *toolbarButton(const QString &key) const { return m_actions.value(key); }
    ReportPrinter *printer() const { return m_printer; }
    bool editing() const { return m_editing; }
    // True while the dialog shows a record that is not yet written.
    bool creating() const { return m_creating; }

    // The opening (and, for the pupil dialog, each "Suivant"): a new record
    // starts empty and in editing, an existing one shows its stored values.
    void init_form();
    void LoadRecordFields(bool newFlag);
    void EnableRecordFields(bool enabled);
    // Checks that no field is empty, writes the record and rebuilds the main
    // window's list on it. False when nothing was written.
    bool SaveRecord();
    void PrintRecordSheet();

    // A toolbar click, by key. After every command of the pupil dialog the
    // selected pupil's profile is recomputed.
    void Toolbar1_ButtonClick(const QString &key);

private:
    void RecordToolbarClick(const QString &key);
    void PupilToolbarClick(const QString &key);
    void setEditingState(bool editing);
    void updateNextButton();
    void rebuildMainList(const QString &savedEntry);
    int listCode(int index) const;
    bool isLevelList(int index) const { return m_kind == RecordKind::Class && index == 0; }

    AppContext &m_context;
    Form1 &m_form1;
    const RecordKind m_kind;
    const Layout m_layout;
    RecordStore m_store;
    QVariant m_row; // the record shown; invalid while a new one is not yet written
    bool m_creating = false;
    bool m_editing = false;

    QLabel *m_label1 = nullptr;
    QList<QLabel *> m_captions;
    QList<QLineEdit *> m_fields;
    QList<QComboBox *> m_combos;
    QToolBar *m_toolbar = nullptr;
    QHash<QString, QAction *> m_actions;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusText = nullptr;
    ReportPrinter *m_printer = nullptr;
};
