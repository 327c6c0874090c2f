#include "ClassGridView.h"

#include "GridHeaderView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QStyledItemDelegate>

namespace {

// A refused value stays red when its cell is the current one: the selection's
// colour must not hide it.
class RefusalDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(ClassGridModel::RefusalRole).toString().isEmpty()) {
            option->palette.setColor(QPalette::Highlight, QColor(0xC0, 0x00, 0x00));
            option->palette.setColor(QPalette::HighlightedText, Qt::white);
        }
    }
};

} // namespace

ClassGridView::ClassGridView(QWidget *parent) : QTableView(parent)
{
    setHorizontalHeader(new GridHeaderView(this));
    // Typing goes through the view's own keys; a double-click or F2 opens the usual editor.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setTabKeyNavigation(true);
    setCornerButtonEnabled(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Rows a little taller than the text: easier on the eye across 25 pupils.
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    setItemDelegate(new RefusalDelegate(this));
}

void ClassGridView::setGridModel(ClassGridModel *model)
{
    m_model = model;
    setModel(model);
}

void ClassGridView::showTyping()
{
    if (m_model && m_typingCell.isValid())
        m_model->setDraft(m_typingCell.row(), m_typingCell.column(), m_typed, m_typing);
}

bool ClassGridView::commitTyping()
{
    if (!m_typing || !m_model || !m_typingCell.isValid()) {
        m_typing = false;
        return true;
    }
    const QModelIndex cell = m_typingCell;
    const QString text = m_typed;
    m_typing = false;
    m_typed.clear();
    m_typingCell = QPersistentModelIndex();
    return m_model->enter(cell.row(), cell.column(), text).accepted;
}

void ClassGridView::pasteBlock(const QString &block)
{
    if (!m_model)
        return;
    commitTyping();
    const QModelIndex cell = currentIndex();
    if (!cell.isValid())
        return;
    emit pasted(m_model->paste(cell.row(), cell.column(), block));
}

void ClassGridView::keyPressEvent(QKeyEvent *event)
{
    if (!m_model || state() == QAbstractItemView::EditingState) {
        QTableView::keyPressEvent(event);
        return;
    }
    const QModelIndex cell = currentIndex();
    if (event->matches(QKeySequence::Undo)) {
        m_typing = false;
        showTyping();
        if (m_model->undo())
            emit undone();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteBlock(QApplication::clipboard()->text());
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers != Qt::NoModifier) {
            // Ctrl+Entrée is the window's "Valider".
            event->ignore();
            return;
        }
        if (commitTyping())
            moveAfterEnter();
        return;
    case Qt::Key_Delete:
        m_typing = false;
        showTyping();
        m_model->clear(selectionModel()->selectedIndexes().isEmpty() ? QModelIndexList{cell}
                                                                     : selectionModel()->selectedIndexes());
        emit cleared();
        return;
    case Qt::Key_Backspace:
        if (m_typing) {
            m_typed.chop(1);
            showTyping();
        } else if (m_model->isItemColumn(cell.column())) {
            m_typing = true;
            m_typingCell = cell;
            m_typed.clear();
            showTyping();
        }
        return;
    case Qt::Key_Escape:
        if (m_typing) {
            m_typing = false;
            showTyping();
            return;
        }
        event->ignore();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint() && !(modifiers & (Qt::ControlModifier | Qt::AltModifier)) &&
        m_model->isItemColumn(cell.column())) {
        if (!m_typing || m_typingCell != cell) {
            commitTyping();
            m_typing = true;
            m_typingCell = cell;
            m_typed.clear();
        }
        m_typed += text;
        showTyping();
        return;
    }
    // Tab, the arrows and the rest check what was typed first.
    if (m_typing && !commitTyping())
        return;
    QTableView::keyPressEvent(event);
}

QModelIndex ClassGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    QModelIndex next = QTableView::moveCursor(action, modifiers);
    if (!m_model)
        return next;
    // Totals, categories and profiles are computed: the keys pass over them.
    const bool sideways = action == MoveNext || action == MovePrevious || action == MoveLeft || action == MoveRight ||
                          action == MoveHome || action == MoveEnd;
    if (!sideways)
        return next;
    const bool forward = action == MoveNext || action == MoveRight || action == MoveHome;
    int guard = m_model->columnCount();
    while (next.isValid() && !m_model->isItemColumn(next.column()) && guard-- > 0) {
        int column = next.column() + (forward ? 1 : -1);
        int row = next.row();
        if (column >= m_model->columnCount()) {
            if (action != MoveNext)
                return currentIndex();
            column = 0;
            row = (row + 1) % m_model->rowCount();
        } else if (column < 0) {
            if (action != MovePrevious)
                return currentIndex();
            column = m_model->columnCount() - 1;
            row = (row + m_model->rowCount() - 1) % m_model->rowCount();
        }
        next = m_model->index(row, column);
    }
    return next;
}

void ClassGridView::moveAfterEnter()
{
    const QModelIndex cell = currentIndex();
    if (!cell.isValid())
        return;
    const int rows = m_model->rowCount();
    int row = cell.row();
    int column = cell.column();
    if (m_enterDown) {
        if (row + 1 < rows) {
            ++row;
        } else {
            // The column is done: the next item's, from the first pupil.
            int c = column + 1;
            while (c < m_model->columnCount() && !m_model->isItemColumn(c))
                ++c;
            if (c >= m_model->columnCount())
                return;
            row = 0;
            column = c;
        }
    } else {
        const int exercise = m_model->column(column).exercise;
        if (m_model->isItemColumn(column + 1) && m_model->column(column + 1).exercise == exercise) {
            ++column;
        } else if (row + 1 < rows) {
            ++row;
            column = m_model->firstItemColumn(exercise);
        } else {
            // The exercise is done for the class: the next one, from the first pupil.
            const int first = m_model->firstItemColumn(exercise + 1);
            if (first < 0)
                return;
            row = 0;
            column = first;
        }
    }
    setCurrentIndex(m_model->index(row, column));
}

void ClassGridView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // A click elsewhere checks what was being typed.
    if (m_typing && m_typingCell != current)
        commitTyping();
    QTableView::currentChanged(current, previous);
}

void ClassGridView::focusOutEvent(QFocusEvent *event)
{
    // The window's buttons (Valider) see what was typed.
    if (m_typing)
        commitTyping();
    QTableView::focusOutEvent(event);
}
