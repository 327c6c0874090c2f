#pragma once

#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/AppContext.h"
#include "mainwindow/MainWindow.h"

#include <QListWidget>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QWidget;

// The main window wired to every command, over a data folder the test makes,
// with scripted dialogs and a fixed clock (2026-12-06 18:30:05).
struct WindowFixture
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5))};
    AppContext context{dialogs, clock};
    std::unique_ptr<MainWindow> window;

    // An empty database of the program in the folder, unless `emptyFolder`.
    explicit WindowFixture(bool emptyFolder = false)
    {
        if (!emptyFolder)
            TestSupport::createEmptyDataFolder(dir.path());
    }
    ~WindowFixture()
    {
        window.reset();
        context.connection.CloseDatabase();
    }

    QString folder() const { return dir.path(); }

    // The sample: two schools numbered out of order (7 then 3):
    //   "Ecole A" (7): "Martin CP" (class 1: Alice CSP 5 T1_E2CAT 4, Bruno CSP 2,
    //                  Chloé CSP 0), "Durand GS" (class 4: Denis CSP 1);
    //   "Ecole B" (3): "Petit CE1" (class 9: Emma CSP 1);
    // one archived pupil "Ancien" (2025-2026) and one year change of each school.
    void fillSample();
    // Runs SQL on the folder's database: on a connection of its own before
    // start(), then on the program's (where a trigger added by a test fires).
    void exec(const QString &sql) const;

    // Builds the window (wired to the program's commands unless `wired` is
    // false) and runs its start-up sequence.
    bool start(bool wired = true);

    QListWidget *schools() const { return window->schoolList(); }
    QListWidget *classes() const { return window->classList(); }
    QListWidget *pupils() const { return window->pupilList(); }
    static QStringList texts(const QListWidget *list);
    static QString selected(const QListWidget *list)
    {
        return list->currentItem() ? list->currentItem()->text() : QString();
    }
    // Clicks the first entry showing `text` (the test fails when there is none).
    static void select(QListWidget *list, const QString &text);
    // Runs a toolbar command as a click does ("pupilToolbar", "Ajouter").
    void run(const QString &toolbar, const QString &key) const { window->runCommand(toolbar, key); }
    // The four values of a profile panel ("pupilProfilePanel", "classProfilePanel").
    QStringList panelValues(const QString &panel) const;

    // One query's rows on the window's connection, as texts ("a|b", "<null>").
    QStringList query(const QString &sql) const;

    // Runs `act` on the next modal window once it is shown (the command that
    // opens it then returns when `act` closes it).
    static void onNextModal(const std::function<void(QWidget *)> &act);
};
