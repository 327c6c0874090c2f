#pragma once

#include "CheckEntry.h"
#include "ResultStore.h"
#include "data/Roster.h"

#include <QDialog>
#include <QHash>
#include <QMap>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QToolBar;
struct AppContext;

// The result-entry window of one level ("entryWindowGS", "entryWindowCP",
// "entryWindowCE1"): one tab per evaluated trimester, the three exercises of
// each with their item boxes ("Perf_<box number>") and their total, category
// and profile labels ("tot_", "cat_", "prof_<exercise number>"), a toolbar
// switching between viewing and editing, and an up-down control moving
// through the pupils of the selected class. It opens on the session's pupil
// and moves the session along with it. A refused "Valider" leaves its reason
// in the "refusalMessage" panel and a red frame on the box concerned (property
// "refused") until the next edit.
class EntryWindow : public QDialog, public EntryForm
{
    Q_OBJECT
public:
    // Prints a pupil's results sheet (by key), over the window it is given.
    using SheetPrinter = std::function<void(qint64 pupilKey, QWidget *parent)>;

    // Opens on tab `tabIndex` (for GS, tab 0 is the second trimester) in view mode.
    EntryWindow(AppContext &context, int level, int tabIndex, QWidget *parent = nullptr);
    ~EntryWindow() override;

    int level() const { return m_level; }
    // What "Imprimer" runs for the pupil shown; without it the button stays disabled.
    void setSheetPrinter(SheetPrinter printer);
    bool editing() const { return m_editing; }

    // Fills the boxes from the selected pupil's stored item fields; "_" for
    // anything absent (null, empty, 99 or more).
    void LoadResults();
    // Enables or disables every item box of every trimester.
    void EnableEntry(bool enabled);
    // A toolbar click. "Valider" (which then says why it refuses) and
    // "Abandon" always run; while an entry is pending the CP and CE1 windows
    // ignore the other buttons.
    void toolbarClicked(const QString &key);
    // Runs a toolbar command by key: "Modifie", "Valider", "Abandon", "Imprime", "Sortie".
    void EntryToolbarCommand(const QString &key);

    QLineEdit *box(int boxNumber) const { return m_boxes.value(boxNumber); }
    QString statusText() const;
    // Why the last "Valider" or closing was refused; empty once the user edits again.
    QString refusalText() const;

    // EntryForm
    QString boxText(int box) const override;
    void setBoxText(int box, const QString &text) override;
    bool boxEnabled(int box) const override;
    void focusBox(int box) override;
    void setStatusText(const QString &text) override;
    void setExerciseLabels(int level, int trimester, int exercise, const ExerciseResult &result) override;
    Dialogs &dialogs() override;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    QWidget *buildTrimesterPage(int trimester);
    QWidget *buildExerciseFrame(int trimester, int exercise);
    void addPupilNavigation();
    void nameForScreenReaders();
    void setViewMode(bool view);
    void validate();
    int firstEmptyBox(int trimester) const;
    void showRefusal(int box, const QString &reason);
    void clearRefusal();
    void moveToPupil(int position);
    void check(int box);
    int trimesterOfTab(int index) const;
    int nextBoxAfter(int box) const;
    qint64 pupilKey() const;

    AppContext &m_context;
    const int m_level;
    ResultStore m_store;
    EntryFlags m_flags;
    QList<Roster::PupilEntry> m_pupils; // the class, in list order
    bool m_editing = false;
    bool m_refocusing = false;
    SheetPrinter m_printSheet;
    int m_refusedBox = 0;

    QMap<int, QLineEdit *> m_boxes; // by box number, in box-number order
    QHash<QObject *, int> m_boxNumbers;
    QHash<int, QLabel *> m_tot, m_cat, m_prof; // by exercise number
    QHash<QString, QAction *> m_actions;       // by key
    QLabel *m_pupilName = nullptr;
    QTabWidget *m_tabs = nullptr;
    QToolBar *m_toolbar = nullptr;
    QSpinBox *m_pupilSpinBox = nullptr;
    QAction *m_previousPupil = nullptr;
    QAction *m_nextPupil = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_refusalPanel = nullptr;
    QLabel *m_statusPanel = nullptr;
};

// Opens the entry window of `level` modally over `parent`, on tab
// `tabIndex`, for the session's pupil; "Imprimer" runs `printSheet`.
int OpenEntryWindow(AppContext &context, int level, int tabIndex, QWidget *parent,
                    const EntryWindow::SheetPrinter &printSheet = {});
