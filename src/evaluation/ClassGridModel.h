#pragma once

#include "CheckEntry.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QVariantMap>

#include <array>

class Connection;

// One trimester of a whole class as a table: a row per pupil (in list order),
// for each exercise a column per item, then its total (where the exercise has
// one), category and profile, computed as the entry window computes them.
// Every typed value goes through CheckEntry, each row being presented to it
// as an entry form; a refused value is marked in its cell (RefusalRole, red
// background, the reason as tooltip) and a row with a part-filled series is
// marked as a whole. Changes are kept until save() stores them.
class ClassGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Kind { Item, Total, Category, Profile };
    struct Column
    {
        int exercise = 0;
        int item = 0; // items only
        Kind kind = Kind::Item;
    };
    // The reason a cell's value was refused; empty when none.
    static constexpr int RefusalRole = Qt::UserRole + 1;
    // On the horizontal header: the exercise heading drawn over its columns
    // (one line), and the exercise number.
    static constexpr int HeadingRole = Qt::UserRole + 2;
    static constexpr int ExerciseRole = Qt::UserRole + 3;

    // What one typed value gave.
    struct Outcome
    {
        bool accepted = true; // false: refused, the cell holds "_" (or stays empty)
        QString refusal;      // the refusal's message
        QString status;       // the incomplete-series message, when the row has one
    };
    // A pasted value left out: the pupil, the column (as a screen reader says it) and why.
    struct PasteRefusal
    {
        QString pupil;
        QString column;
        QString reason;
    };

    ClassGridModel(Connection &connection, int level, int schoolNo, int classNo, QObject *parent = nullptr);
    ~ClassGridModel() override;

    // Reads the class's pupils and their stored scores of `trimester`; every
    // change, mark and undo step is dropped.
    void load(int trimester);
    int level() const { return m_level; }
    int trimester() const { return m_trimester; }

    const Column &column(int c) const { return m_columns.at(c); }
    bool isItemColumn(int c) const;
    // The first item column of `exercise`; -1 when it has none.
    int firstItemColumn(int exercise) const;
    int boxOfColumn(int c) const;
    qint64 pupilKey(int row) const;
    QString pupilName(int row) const;
    // The texts of the row's boxes, items 1..n of `exercise`.
    QStringList texts(int row, int exercise) const;

    // One value typed into an item cell, checked as the entry window checks a box.
    Outcome enter(int row, int column, const QString &text);
    // "_" into every item cell of `cells`, as one step of undo.
    void clear(const QModelIndexList &cells);
    // A block copied from a spreadsheet (rows by line, cells by tab) put from
    // (row, column) to the right over item columns only and down over the
    // pupils; what lies beyond the grid is dropped, an empty cell leaves its
    // target as it is. A refused value leaves its cell as it was. One step of undo.
    QList<PasteRefusal> paste(int row, int column, const QString &block);
    // Takes back the last change (a value, a clearing or a paste).
    bool undo();
    bool canUndo() const { return !m_undo.isEmpty(); }
    // What the cell shows while a value is being typed into it; an empty
    // `text` with `typing` false shows the value again.
    void setDraft(int row, int column, const QString &text, bool typing = true);

    bool hasChanges() const;
    int changedCount() const;
    // The pupils whose series of the trimester are part-filled or have an emptied box.
    QStringList incompletePupils() const;
    // Stores every changed pupil (scores, derived fields, domain profiles) and
    // the class profile in one transaction. False, with nothing stored, when
    // the database refuses.
    bool save(QString *error = nullptr);

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // After each value typed (or put by the usual editor) into a cell.
    void checked(int row, const ClassGridModel::Outcome &outcome);

private:
    class RowForm;
    struct Row
    {
        qint64 key = 0;
        QString name;
        QVariantMap fields;        // the pupil's stored row, as read
        QMap<int, QString> stored; // by box number
        QMap<int, QString> texts;
        std::array<ExerciseResult, 3> labels;
        EntryFlags flags;
        QHash<int, QString> refused; // by box number
        bool incomplete = false;
    };
    struct Change
    {
        int row;
        int box;
        QString before;
    };

    Outcome apply(int row, int box, const QString &text);
    void rowChanged(int row, bool wasIncomplete);
    bool rowIncomplete(const Row &r) const;

    Connection &m_connection;
    const int m_level;
    const int m_schoolNo;
    const int m_classNo;
    int m_trimester = 0;
    QList<Column> m_columns;
    QList<Row> m_rows;
    QList<QList<Change>> m_undo;
    int m_draftRow = -1;
    int m_draftColumn = -1;
    QString m_draft;
};
