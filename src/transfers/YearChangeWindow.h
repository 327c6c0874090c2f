#pragma once

#include <QDialog>

class Form1;
class QLabel;
class QPushButton;
class QTreeWidget;
struct AppContext;

// "Changement d'année": the current school's logged year changes, the year
// closed and the year that follows, and the button that closes the year.
class YearChangeWindow : public QDialog
{
    Q_OBJECT
public:
    YearChangeWindow(AppContext &context, Form1 &form1, QWidget *parent = nullptr);

    // Refreshes the history list, LastChangeYear and the main window's label
    // for the last change.
    void Maj_liste();
    // " >> Changer d'année >>": the refusal, the two confirmations, the change.
    void Command1_Click();

    const QString &lastChangeYear() const { return m_lastChangeYear; }
    QTreeWidget *historyList() const { return m_list; }

private:
    AppContext &m_context;
    Form1 &m_form1;
    QString m_lastChangeYear;
    QLabel *m_description = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_command1 = nullptr;
};

// Opens the year-change window modally over the main window.
int OpenYearChangeWindow(AppContext &context, Form1 &form1);
