#pragma once

#include <QDialog>

class MainScreen;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;
struct AppContext;

// "Changement d'année": the current school's logged year changes, the year
// closed and the year that follows, and the button that closes the year.
class YearChangeWindow : public QDialog
{
    Q_OBJECT
public:
    YearChangeWindow(AppContext &context, MainScreen &screen, QWidget *parent = nullptr);

    // Refreshes the history list and the last change's year.
    void refreshHistory();
    // " >> Changer d'année >>": the refusal, the two confirmations, the change.
    void changeYearClicked();
    // « Purger les archives… »: the school's archived years older than the
    // years to keep, counted, confirmed ("Non" by default), deleted.
    void purgeClicked();

    const QString &lastChangeYear() const { return m_lastChangeYear; }
    QTreeWidget *historyList() const { return m_list; }

private:
    AppContext &m_context;
    MainScreen &m_screen;
    QString m_lastChangeYear;
    QLabel *m_schoolLabel = nullptr;
    QLabel *m_description = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_changeButton = nullptr;
    QSpinBox *m_keptYearsBox = nullptr;
    QPushButton *m_purgeButton = nullptr;
};

// Opens the year-change window modally over the main window; refused, said
// so, when no school is selected.
int OpenYearChangeWindow(AppContext &context, MainScreen &screen);
