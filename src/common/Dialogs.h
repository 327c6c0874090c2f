#pragma once

#include <QString>

#include <optional>

class QPrinter;

// What a command asks of the folder chooser: a folder, or a file matching
// `pattern`, under the window title `title`.
struct ChooserRequest
{
    bool folderMode = true;
    QString pattern;
    QString title;
    // The commands that share a remembered folder share this name (backup and
    // restore do); empty: the mode, pattern and title name it.
    QString memory;
    // The file list shows the newest files first (a dated copy by the date in
    // its name, another file by its modification time), else in name order.
    bool newestFirst = false;
};

// What the user chose: the folder (without a trailing separator, except for
// a root) and, in file mode, the file's name.
struct ChooserChoice
{
    QString folder;
    QString file;
};

// Every message box and question of the program goes through this interface:
// the windows get a Qt implementation, the tests one that is told the next answers.
class Dialogs
{
public:
    enum class Icon { Information, Warning, Critical, Question };

    virtual ~Dialogs() = default;

    // A message with a single OK button.
    virtual void message(const QString &title, const QString &text, Icon icon = Icon::Information) = 0;
    // A question with "Oui" and "Non"; true for "Oui". Enter answers "Oui"
    // unless `defaultNo` is set.
    virtual bool question(const QString &title, const QString &text, bool defaultNo = false) = 0;

    // A question with "Oui", "Non" and "Annuler" (Enter answers "Oui", Escape "Annuler").
    enum class Answer { Yes, No, Cancel };
    virtual Answer questionWithCancel(const QString &title, const QString &text) = 0;

    // The folder chooser; nothing when the user gives up.
    virtual std::optional<ChooserChoice> chooseFolder(const ChooserRequest &request) = 0;

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
