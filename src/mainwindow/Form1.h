#pragma once

#include "Navigation.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QTimer;
class QToolBar;
struct AppContext;

// The main window: the main toolbar, the three linked lists (schools,
// classes, pupils) with their toolbars, the pupil and class profile panels
// and the status bar. Other windows open modally over it.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    // Windows and commands that other parts of the program plug in; a route
    // left empty does nothing.
    struct Routes
    {
        std::function<void(int levelCode, int tabIndex)> openEntryWindow;
        std::function<void()> openReportViewer;
        std::function<void()> backup;
        std::function<void()> restore;
        std::function<void()> yearChange;
        std::function<void()> modifySchool;
        std::function<void()> modifyClass;
        // The list toolbars' commands by toolbar name and key ("Toolbar1/Ajouter",
        // "Toolbar4/ImpListe"...).
        QHash<QString, std::function<void()>> listCommands;
        // Scoring of the selected pupil (level code) and of the selected class.
        std::function<void(int levelCode)> computePupilProfile;
        std::function<void()> computeClassProfile;
    };

    explicit Form1(AppContext &context, QWidget *parent = nullptr);
    ~Form1() override;

    Routes &routes() { return m_routes; }
    AppContext &context() { return m_context; }

    // The activation handler: the start-up sequence at the first activation
    // (and again after ActivatedOnce is cleared), then the toolbar states.
    // False when the start-up sequence could not open the database.
    bool Form_Activate();

    // Selection handlers of the three lists.
    void List3_Click();
    void List1_Click();
    void List2_Click();
    void List3_DblClick();
    void List1_DblClick();
    void List2_DblClick();
    void AffBarre(bool enabled);
    void UpdateToolbars();

    // The main toolbar's commands, by key, and its "Saisie" menu (1 to 3).
    void Toolbar2_ButtonClick(const QString &key);
    void Toolbar2_ButtonMenuClick(int menuIndex);

    // The level code of the selected class (0 when none is selected).
    int selectedLevelCode() const;
    QLabel *Label5(int index) const { return m_label5.value(index); }
    QLabel *Label6(int index) const { return m_label6.value(index); }
    QAction *toolbarButton(const QString &toolbar, int number) const; // 1-based, separators counted
    QString windowTitleText() const;
    QListWidget *schoolList() const { return m_list3; }
    QListWidget *classList() const { return m_list1; }
    QListWidget *pupilList() const { return m_list2; }

    // The scoring of the selected pupil (pupil panel) and of the selected class
    // (class panel), through the routes.
    void runPupilScoring();
    void runClassProfile();
    // A list toolbar's command, by toolbar name and key; nothing when none is plugged in.
    void runListCommand(const QString &toolbar, const QString &key);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar2();
    QToolBar *buildListToolbar(const QString &name, const QList<QStringList> &buttons);
    void buildCentralArea();
    void updateClock();
    void clearValueLabels();
    void applyLevelCaptions(int levelCode);

    AppContext &m_context;
    Navigation m_navigation;
    Routes m_routes;

    QToolBar *m_toolbar2 = nullptr;
    QMenu *m_saisieMenu = nullptr;
    QHash<QString, QList<QAction *>> m_listButtons;
    QLabel *m_label4 = nullptr;
    QLabel *m_label7 = nullptr;
    QFrame *m_frame1 = nullptr;
    QListWidget *m_list3 = nullptr;
    QListWidget *m_list1 = nullptr;
    QListWidget *m_list2 = nullptr;
    QHash<int, QLabel *> m_label5;
    QHash<int, QLabel *> m_label6;
    QLabel *m_dateLabel = nullptr;
    QLabel *m_timeLabel = nullptr;
    QTimer *m_clockTimer = nullptr;
};
