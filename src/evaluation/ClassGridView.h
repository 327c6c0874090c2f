#pragma once

#include "ClassGridModel.h"

#include <QTableView>

// The class grid's table, typed like a spreadsheet: a printable key starts
// (or goes on with) the value of the current item cell, Entrée checks it and
// moves on (to the right: the next item of the row, after the exercise's last
// item the first one of the next pupil; down: the next pupil), Tab and the
// arrows check it and move, Suppr clears the selected cells to "_", Échap
// drops what is being typed, Ctrl+Z takes back the last change, Ctrl+V
// pastes a spreadsheet's block. The pupils' names are the rows' header, so
// they stay in view while the columns scroll.
class ClassGridView : public QTableView
{
    Q_OBJECT
public:
    explicit ClassGridView(QWidget *parent = nullptr);

    void setGridModel(ClassGridModel *model);
    ClassGridModel *gridModel() const { return m_model; }
    void setEnterMovesDown(bool down) { m_enterDown = down; }
    bool enterMovesDown() const { return m_enterDown; }

    // What is being typed checked and put into its cell; false when refused.
    bool commitTyping();
    void pasteBlock(const QString &block);

signals:
    // Suppr cleared cells.
    void cleared();
    void pasted(const QList<ClassGridModel::PasteRefusal> &refusals);
    void undone();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void moveAfterEnter();
    void showTyping();

    ClassGridModel *m_model = nullptr;
    bool m_enterDown = false;
    QPersistentModelIndex m_typingCell;
    QString m_typed;
    bool m_typing = false;
};
