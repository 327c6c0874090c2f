#pragma once

#include "common/MainScreen.h"
#include "evaluation/ResultStore.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class ProfilePanel;
class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QTimer;
class QToolBar;
class ZipReader;
struct AppContext;

// The main window: the main toolbar, the three linked lists (schools,
// classes, pupils) with their toolbars, the pupil and class profile panels
// and the status bar. Other windows open modally over it.
//
// The session is the selection: a click in a list selects the entry's key in
// the session, and the window follows every change of the session (a window
// moving to another pupil moves the list too). Items carry their keys as item
// data (Qt::UserRole); class items carry their level code too (LevelRole).
class MainWindow : public QMainWindow, public MainScreen
{
    Q_OBJECT
public:
    static constexpr int LevelRole = Qt::UserRole + 1;
    static constexpr int LevelTextRole = Qt::UserRole + 2; // the level as stored: "CP", or "CM1" not evaluated

    // What the toolbars run, by "<toolbar name>/<key>" ("pupilToolbar/Ajouter",
    // "mainToolbar/Sauvegarde"...), plugged in by the wiring; a key left
    // empty does nothing. Menu entries of "Saisie" are "mainToolbar/Trim1"...
    using Command = std::function<void()>;

    explicit MainWindow(AppContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    void setCommand(const QString &toolbarAndKey, Command command);
    // Runs a toolbar command by toolbar name and key, as a click does.
    void runCommand(const QString &toolbar, const QString &key);
    // The entry window opener, given the level code and the tab to show.
    void setEntryOpener(std::function<void(int level, int tabIndex)> opener) { m_openEntry = std::move(opener); }
    // The class grid opener ("Grille" of the class toolbar, "Toute la classe…" of "Saisie").
    void setGridOpener(std::function<void()> opener) { m_openGrid = std::move(opener); }

    // The start-up sequence: compaction, opening, then the first school
    // selected. False when the database could not be opened.
    bool start();

    QListWidget *schoolList() const { return m_schoolList; }
    QListWidget *classList() const { return m_classList; }
    QListWidget *pupilList() const { return m_pupilList; }
    ProfilePanel *pupilProfilePanel() const { return m_pupilPanel; }
    ProfilePanel *classProfilePanel() const { return m_classPanel; }
    QAction *toolbarButton(const QString &toolbar, const QString &key) const;

    // MainScreen
    QWidget *window() override { return this; }
    QString programTitle() const override;
    void showSelection(const SelectionKeys &keys) override;
    void updateToolbars() override;
    bool restart() override { return start(); }

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMainToolbar();
    QToolBar *buildListToolbar(const QString &name, const QString &title, QListWidget *list,
                               const QList<QStringList> &buttons);
    void buildCentralArea();
    void updateClock();

    // The window following the session.
    void schoolSelected();
    void classSelected();
    void pupilSelected();
    void resultsChanged();

    // False, after saying so, when the selected class's level is not evaluated.
    bool levelIsEvaluated();
    void showPupilProfile();
    void showClassProfile();
    void reportFailure(const QString &error);
    void openEntry(int tabIndex);
    void openGrid();

    AppContext &m_context;
    ResultStore m_store;
    ZipReader *m_zipReader = nullptr;
    QHash<QString, Command> m_commands;
    std::function<void(int, int)> m_openEntry;
    std::function<void()> m_openGrid;
    // What showSelection wants selected once the lists above are filled.
    int m_wantedClass = 0;
    qint64 m_wantedPupil = 0;

    QToolBar *m_mainToolbar = nullptr;
    QMenu *m_entryMenu = nullptr;
    QHash<QString, QList<QAction *>> m_listButtons; // by toolbar, separators included
    QLabel *m_yearLabel = nullptr;
    QLabel *m_lastChangeLabel = nullptr;
    QListWidget *m_schoolList = nullptr;
    QListWidget *m_classList = nullptr;
    QListWidget *m_pupilList = nullptr;
    ProfilePanel *m_pupilPanel = nullptr;
    ProfilePanel *m_classPanel = nullptr;
    QLabel *m_dateLabel = nullptr;
    QLabel *m_timeLabel = nullptr;
    QTimer *m_clockTimer = nullptr;
};
