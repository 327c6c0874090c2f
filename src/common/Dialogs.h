#pragma once

#include <QString>

class QPrinter;
struct AppState;

// Every message box and question of the program goes through this interface:
// the windows get a Qt implementation, the tests one that is told the next answers.
class Dialogs
{
public:
    enum class Icon { Information, Warning, Critical, Question };

    virtual ~Dialogs() = default;

    // A message with a single OK button.
    virtual void message(const QString &title, const QString &text, Icon icon = Icon::Information) = 0;
    // A question with "Oui" and "Non"; true for "Oui".
    virtual bool question(const QString &title, const QString &text) = 0;

    // The folder chooser: reads ChooserFolderMode, ChooserPattern and
    // ChooserTitle from `state` and sets ChosenFolder and ChosenFile (both
    // empty when the user gives up).
    virtual void showChooser(AppState &state) = 0;

    // The printer selection dialog before a document is printed; true when
    // the user confirms (the printer then holds the chosen settings).
    virtual bool printDialog(QPrinter *printer) = 0;

    // The hourglass pointer during long operations (nested calls are counted).
    virtual void beginBusy() {}
    virtual void endBusy() {}
};

// Shows the hourglass for the lifetime of the guard.
class BusyGuard
{
public:
    explicit BusyGuard(Dialogs &dialogs) : m_dialogs(dialogs) { m_dialogs.beginBusy(); }
    ~BusyGuard() { m_dialogs.endBusy(); }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    Dialogs &m_dialogs;
};
