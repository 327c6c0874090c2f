#pragma once

#include <QDialog>
#include <QList>
#include <QVariant>

class QLabel;
class QListWidget;
class QPushButton;
struct AppContext;

// "Liste élèves année précédente": the pupils archived for the previous
// school year whose level fits the session's class (the level below, or the
// same level) and whose name the class does not have yet, several of which
// are added to the class.
class LastYearWindow : public QDialog
{
    Q_OBJECT
public:
    explicit LastYearWindow(AppContext &context, QWidget *parent = nullptr);

    // False when the archive holds no pupil at all: the message has been
    // shown and the window is not to be shown.
    bool hasArchive() const { return m_hasArchive; }
    QListWidget *list() const { return m_list; }
    QPushButton *button() const { return m_addButton; }

    // "Ajouter les élèves" adds the selected pupils; "Retour" just closes.
    void addClicked();

private:
    AppContext &m_context;
    bool m_hasArchive = true;
    QList<QVariant> m_bookmarks; // by list entry
    QLabel *m_title = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_addButton = nullptr;
    int m_alreadyInClass = 0;
};

// Opens the window modally over `parent` (unless there is no archive).
int OpenLastYearWindow(AppContext &context, QWidget *parent);
