#pragma once

#include "ClassGridModel.h"

#include <QDialog>
#include <QHash>

class ClassGridView;
class QAction;
class QComboBox;
class QLabel;
class QToolBar;
struct AppContext;

// "Saisie de la classe" ("classGridWindow"): one trimester of the session's
// class typed like a spreadsheet ("classGrid"), the trimester chosen in
// "trimesterSelector", where Entrée goes in "enterDirection" (remembered).
// "Valider" stores every changed pupil and the class profile in one commit,
// "Abandon" brings the stored values back; leaving the trimester or the
// window with changes asks whether to store them.
class ClassGridWindow : public QDialog
{
    Q_OBJECT
public:
    // Opens on `trimester`; 0: the level's first evaluated trimester.
    ClassGridWindow(AppContext &context, int trimester, QWidget *parent = nullptr);
    ~ClassGridWindow() override;

    ClassGridModel *model() const { return m_model; }
    ClassGridView *view() const { return m_view; }
    QString refusalText() const;
    QString statusText() const;

    // False, saying why, when a series is incomplete or the database refuses.
    bool validate();
    void abandon();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    void showTrimester(int trimester);
    void trimesterChosen(int index);
    // Asks to store the changes: false when the user stays (Annuler, or a refused store).
    bool settleChanges();
    void setRefusal(const QString &text);
    void fitColumns();

    AppContext &m_context;
    const int m_level;
    ClassGridModel *m_model = nullptr;
    ClassGridView *m_view = nullptr;
    QToolBar *m_toolbar = nullptr;
    QHash<QString, QAction *> m_actions;
    QComboBox *m_trimesters = nullptr;
    QComboBox *m_enterDirection = nullptr;
    QLabel *m_refusalPanel = nullptr;
    QLabel *m_statusPanel = nullptr;
    bool m_closing = false;
};

// Opens the class grid of the session's class modally over `parent`.
int OpenClassGrid(AppContext &context, int trimester, QWidget *parent);
