#pragma once

#include <QDialog>
#include <QList>
#include <QVariant>

class Form1;
class QLabel;
class QListWidget;
class QPushButton;
struct AppContext;

// "Liste élèves année précédente": the pupils archived for the previous
// school year whose level fits the main window's current class (the level
// below, or the same level), several of which are added to the class.
class LastYearWindow : public QDialog
{
    Q_OBJECT
public:
    LastYearWindow(AppContext &context, Form1 &form1, QWidget *parent = nullptr);

    // False when the archive holds no pupil at all: the message has been
    // shown and the window is not to be shown.
    bool hasArchive() const { return m_hasArchive; }
    QListWidget *list() const { return m_list; }
    QPushButton *button() const { return m_command1; }

    // "Ajouter les élèves" adds the selected pupils; "Retour" just closes.
    void Command1_Click();

private:
    AppContext &m_context;
    bool m_hasArchive = true;
    QList<QVariant> m_bookmarks; // by list entry
    QLabel *m_title = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_command1 = nullptr;
};

// Opens the window modally over the main window (unless there is no archive).
int OpenLastYearWindow(AppContext &context, Form1 &form1);
