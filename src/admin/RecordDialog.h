#pragma once

#include "RecordStore.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QStringList>

class MainScreen;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolBar;
class ReportPrinter;
struct AppContext;

// The field editor the school, class and pupil dialogs are made of: a title,
// captions ("fieldCaption_<n>"), text fields ("textField_<n>") and lists that
// also take typed text ("listField_<n>"), all numbered from 0, each field
// bound to a column by its tag, and a toolbar driving the edit cycle: view,
// "Modifie", "Valider" or "Abandon", "Imprime", "Sortie"; the pupil dialog
// adds "Suivant" (key "ValidSuiv").
//
// The dialog edits the row of the session's selection, or a new row when it
// is created for one ("Ajouter"). Once a new record is saved the dialog goes on
// editing that record: a further "Valider" never adds a second one.
class RecordDialog : public QDialog
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

    RecordDialog(AppContext &context, MainScreen &screen, RecordKind kind, const Layout &layout, bool creating,
                 QWidget *parent = nullptr);
    ~RecordDialog() override;

    RecordKind kind() const { return m_kind; }
    int fieldCount() const { return int(m_fields.size()); }
    int comboCount() const { return int(m_combos.size()); }
    QLabel *fieldCaption(int index) const { return m_captions.value(index); }
    QLineEdit *textField(int index) const { return m_fields.value(index); }
    QComboBox *listField(int index) const { return m_combos.value(index); }
    QAction *toolbarButton(const QString &key) const { return m_actions.value(key); }
    ReportPrinter *printer() const { return m_printer; }
    bool editing() const { return m_editing; }
    // True while the dialog shows a record that is not yet written.
    bool creating() const { return m_creating; }

    // The opening (and, for the pupil dialog, each "Suivant"): a new record
    // starts empty and in editing, an existing one shows its stored values.
    void showRecord();
    void LoadRecordFields(bool newFlag);
    void EnableRecordFields(bool enabled);
    // Checks that no field is empty (and, for a new pupil, asks before adding
    // a second pupil of the same name to the class), writes the record and
    // shows it selected in the main window. False when nothing was written.
    bool SaveRecord();
    void PrintRecordSheet();

    // A toolbar click, by key. After every command of the pupil dialog the
    // selected pupil's profile is recomputed.
    void toolbarClicked(const QString &key);

private:
    void RecordToolbarClick(const QString &key);
    void PupilToolbarClick(const QString &key);
    void setEditingState(bool editing);
    void updateNextButton();
    QList<qint64> classPupilKeys() const;
    int listCode(int index) const;
    bool isLevelList(int index) const { return m_kind == RecordKind::Class && index == 0; }

    AppContext &m_context;
    MainScreen &m_screen;
    const RecordKind m_kind;
    const Layout m_layout;
    RecordStore m_store;
    QVariant m_row; // the record shown; invalid while a new one is not yet written
    bool m_creating = false;
    bool m_editing = false;

    QLabel *m_title = nullptr;
    QList<QLabel *> m_captions;
    QList<QLineEdit *> m_fields;
    QList<QComboBox *> m_combos;
    QToolBar *m_toolbar = nullptr;
    QHash<QString, QAction *> m_actions;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusText = nullptr;
    ReportPrinter *m_printer = nullptr;
};
