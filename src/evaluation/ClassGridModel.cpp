#include "ClassGridModel.h"

#include "EvaluationModel.h"
#include "ResultStore.h"
#include "Scoring.h"
#include "common/Dialogs.h"
#include "data/Connection.h"
#include "data/Roster.h"

#include <QBrush>
#include <QColor>
#include <QRegularExpression>

namespace {

const QString EmptyBoxMessage = QStringLiteral("Vous devez saisir une valeur numérique ou le signe _");
const QColor RefusedColour(0xF4, 0xB6, 0xB6);
const QColor IncompleteColour(0xFF, 0xF0, 0xB3);
const QColor DerivedColour(0xEC, 0xEF, 0xF3);

// CheckEntry's messages, kept for the cell instead of shown in a box: a grid
// marks a refused value where it stands.
class KeptMessages final : public Dialogs
{
public:
    QString last;
    void message(const QString &, const QString &text, Icon) override { last = text; }
    bool question(const QString &, const QString &, bool) override { return false; }
    Answer questionWithCancel(const QString &, const QString &) override { return Answer::Cancel; }
    std::optional<ChooserChoice> chooseFolder(const ChooserRequest &) override { return std::nullopt; }
    bool printDialog(QPrinter *) override { return false; }
};

// A caption made to fit a narrow column: its words one under the other.
QString stacked(const QString &caption)
{
    return caption.size() <= 8 ? caption : QString(caption).replace(QLatin1Char(' '), QLatin1Char('\n'));
}

} // namespace

// One row of the grid as the entry form CheckEntry works on.
class ClassGridModel::RowForm final : public EntryForm
{
public:
    explicit RowForm(Row &row) : m_row(row) {}

    QString boxText(int box) const override { return m_row.texts.value(box, NoResult); }
    void setBoxText(int box, const QString &text) override
    {
        if (!m_row.texts.contains(box) || m_row.texts.value(box) == text)
            return;
        m_row.texts[box] = text;
        CheckEntry(*this, m_row.flags, box);
    }
    bool boxEnabled(int box) const override { return m_row.texts.contains(box); }
    // The grid keeps the cell current itself.
    void focusBox(int) override {}
    void setStatusText(const QString &text) override { status = text; }
    void setExerciseLabels(int, int, int exercise, const ExerciseResult &result) override
    {
        if (exercise >= 1 && exercise <= 3)
            m_row.labels[size_t(exercise - 1)] = result;
    }
    Dialogs &dialogs() override { return messages; }

    KeptMessages messages;
    QString status;

private:
    Row &m_row;
};

ClassGridModel::ClassGridModel(Connection &connection, int level, int schoolNo, int classNo, QObject *parent)
    : QAbstractTableModel(parent), m_connection(connection), m_level(level), m_schoolNo(schoolNo), m_classNo(classNo)
{}

ClassGridModel::~ClassGridModel() = default;

void ClassGridModel::load(int trimester)
{
    beginResetModel();
    m_trimester = trimester;
    m_columns.clear();
    for (int e = 1; e <= 3; ++e) {
        const int n = ItemCount(m_level, trimester, e);
        if (n == 0)
            continue;
        for (int i = 1; i <= n; ++i)
            m_columns.append({e, i, Kind::Item});
        if (HasTotalField(m_level, trimester, e))
            m_columns.append({e, 0, Kind::Total});
        m_columns.append({e, 0, Kind::Category});
        m_columns.append({e, 0, Kind::Profile});
    }
    m_rows.clear();
    m_undo.clear();
    m_draftRow = m_draftColumn = -1;
    m_draft.clear();
    ResultStore store(m_connection);
    for (const Roster::PupilEntry &pupil : Roster::Pupils(m_connection, m_schoolNo, m_classNo)) {
        Row row;
        row.key = pupil.key;
        row.name = pupil.name;
        const std::optional<QVariantMap> fields = store.pupilFields(pupil.key);
        if (fields)
            row.fields = *fields;
        for (int e = 1; e <= 3; ++e) {
            for (int i = 1; i <= ItemCount(m_level, trimester, e); ++i) {
                // As the entry window reads them: anything absent is "_".
                const QVariant v = fields ? fields->value(ItemField(trimester, e, i)) : QVariant();
                row.texts.insert(BoxNumber(m_level, trimester, e, i),
                                 IsScored(v) ? QString::number(v.toDouble()) : NoResult);
            }
        }
        row.stored = row.texts;
        m_rows.append(row);
        const int r = int(m_rows.size()) - 1;
        for (int e = 1; e <= 3; ++e)
            m_rows[r].labels[size_t(e - 1)] = EvaluateExercise(m_level, trimester, e, texts(r, e));
    }
    endResetModel();
}

bool ClassGridModel::isItemColumn(int c) const
{
    return c >= 0 && c < m_columns.size() && m_columns.at(c).kind == Kind::Item;
}

int ClassGridModel::firstItemColumn(int exercise) const
{
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns.at(c).exercise == exercise && m_columns.at(c).kind == Kind::Item)
            return c;
    return -1;
}

int ClassGridModel::boxOfColumn(int c) const
{
    return isItemColumn(c) ? BoxNumber(m_level, m_trimester, m_columns.at(c).exercise, m_columns.at(c).item) : 0;
}

qint64 ClassGridModel::pupilKey(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).key : 0;
}

QString ClassGridModel::pupilName(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).name : QString();
}

QStringList ClassGridModel::texts(int row, int exercise) const
{
    QStringList list;
    for (int i = 1; i <= ItemCount(m_level, m_trimester, exercise); ++i)
        list.append(m_rows.at(row).texts.value(BoxNumber(m_level, m_trimester, exercise, i), NoResult));
    return list;
}

bool ClassGridModel::rowIncomplete(const Row &r) const
{
    for (const QString &text : r.texts)
        if (text.isEmpty())
            return true;
    const RowForm form(const_cast<Row &>(r));
    return FirstBoxOfIncompleteSeries(form, m_level, m_trimester) != 0;
}

ClassGridModel::Outcome ClassGridModel::apply(int row, int box, const QString &text)
{
    Row &r = m_rows[row];
    RowForm form(r);
    r.refused.remove(box);
    if (r.texts.value(box) == text)
        CheckEntry(form, r.flags, box); // the entry window checks a box it leaves unchanged too
    else
        form.setBoxText(box, text);
    Outcome outcome;
    outcome.refusal = form.messages.last;
    if (outcome.refusal.isEmpty() && r.texts.value(box).isEmpty())
        outcome.refusal = EmptyBoxMessage;
    outcome.accepted = outcome.refusal.isEmpty();
    if (!outcome.accepted)
        r.refused.insert(box, outcome.refusal);
    r.incomplete = rowIncomplete(r);
    if (r.incomplete)
        outcome.status = IncompleteSeriesMessage;
    return outcome;
}

void ClassGridModel::rowChanged(int row, bool wasIncomplete)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    // The name's mark only when it changes: a header change repaints the whole table.
    if (m_rows.at(row).incomplete != wasIncomplete)
        emit headerDataChanged(Qt::Vertical, row, row);
}

ClassGridModel::Outcome ClassGridModel::enter(int row, int column, const QString &text)
{
    const int box = boxOfColumn(column);
    if (row < 0 || row >= m_rows.size() || box == 0)
        return {};
    setDraft(row, column, QString(), false);
    const QString before = m_rows.at(row).texts.value(box);
    const bool wasIncomplete = m_rows.at(row).incomplete;
    const Outcome outcome = apply(row, box, text);
    if (m_rows.at(row).texts.value(box) != before)
        m_undo.append({{row, box, before}});
    rowChanged(row, wasIncomplete);
    emit checked(row, outcome);
    return outcome;
}

void ClassGridModel::clear(const QModelIndexList &cells)
{
    QList<Change> changes;
    QHash<int, bool> rows; // row -> incomplete before
    for (const QModelIndex &cell : cells) {
        const int box = boxOfColumn(cell.column());
        if (box == 0 || cell.row() < 0 || cell.row() >= m_rows.size())
            continue;
        if (!rows.contains(cell.row()))
            rows.insert(cell.row(), m_rows.at(cell.row()).incomplete);
        const QString before = m_rows.at(cell.row()).texts.value(box);
        apply(cell.row(), box, NoResult);
        if (m_rows.at(cell.row()).texts.value(box) != before)
            changes.append({cell.row(), box, before});
    }
    if (!changes.isEmpty())
        m_undo.append(changes);
    for (auto it = rows.cbegin(); it != rows.cend(); ++it)
        rowChanged(it.key(), it.value());
}

QList<ClassGridModel::PasteRefusal> ClassGridModel::paste(int row, int column, const QString &block)
{
    QList<PasteRefusal> refusals;
    QStringList lines = block.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    // A spreadsheet ends its block with a line break.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    QList<int> targets; // the item columns from `column` on
    for (int c = qMax(0, column); c < m_columns.size(); ++c)
        if (isItemColumn(c))
            targets.append(c);
    QList<Change> changes;
    for (int i = 0; i < lines.size() && row + i < m_rows.size(); ++i) {
        const int r = row + i;
        const bool wasIncomplete = m_rows.at(r).incomplete;
        const QStringList cells = lines.at(i).split(QLatin1Char('\t'));
        for (int j = 0; j < cells.size() && j < targets.size(); ++j) {
            const QString value = cells.at(j).trimmed();
            if (value.isEmpty())
                continue;
            const int box = boxOfColumn(targets.at(j));
            const QString before = m_rows.at(r).texts.value(box);
            const Outcome outcome = apply(r, box, value);
            if (!outcome.accepted) {
                // Left as it was: put back through the same checks.
                apply(r, box, before);
                m_rows[r].refused.remove(box);
                const Column &col = m_columns.at(targets.at(j));
                refusals.append(
                    {m_rows.at(r).name, ItemSpokenName(m_level, m_trimester, col.exercise, col.item), outcome.refusal});
            } else if (m_rows.at(r).texts.value(box) != before) {
                changes.append({r, box, before});
            }
        }
        rowChanged(r, wasIncomplete);
    }
    if (!changes.isEmpty())
        m_undo.append(changes);
    return refusals;
}

bool ClassGridModel::undo()
{
    if (m_undo.isEmpty())
        return false;
    const QList<Change> changes = m_undo.takeLast();
    for (auto it = changes.crbegin(); it != changes.crend(); ++it) {
        const bool wasIncomplete = m_rows.at(it->row).incomplete;
        apply(it->row, it->box, it->before);
        m_rows[it->row].refused.remove(it->box);
        m_rows[it->row].incomplete = rowIncomplete(m_rows.at(it->row));
        rowChanged(it->row, wasIncomplete);
    }
    return true;
}

void ClassGridModel::setDraft(int row, int column, const QString &text, bool typing)
{
    const int oldRow = m_draftRow, oldColumn = m_draftColumn;
    m_draftRow = typing ? row : -1;
    m_draftColumn = typing ? column : -1;
    m_draft = typing ? text : QString();
    if (oldRow >= 0 && (oldRow != m_draftRow || oldColumn != m_draftColumn))
        emit dataChanged(index(oldRow, oldColumn), index(oldRow, oldColumn));
    if (typing)
        emit dataChanged(index(row, column), index(row, column));
}

bool ClassGridModel::hasChanges() const
{
    return changedCount() > 0;
}

int ClassGridModel::changedCount() const
{
    int count = 0;
    for (const Row &r : m_rows)
        count += r.texts != r.stored ? 1 : 0;
    return count;
}

QStringList ClassGridModel::incompletePupils() const
{
    QStringList names;
    for (const Row &r : m_rows)
        if (rowIncomplete(r))
            names.append(r.name);
    return names;
}

bool ClassGridModel::save(QString *error)
{
    ResultStore store(m_connection);
    QString why;
    Connection::Transaction transaction(m_connection);
    bool saved = transaction.active();
    QList<int> changed;
    QList<QVariantMap> written;
    QList<std::pair<qint64, QVariantMap>> pupils;
    for (int row = 0; saved && row < m_rows.size(); ++row) {
        const Row &r = m_rows.at(row);
        if (r.texts == r.stored)
            continue;
        // What the entry window's "Valider" stores: every trimester of the
        // level, the others from their stored scores as the window reads them.
        QVariantMap fields;
        for (int t : EvaluatedTrimesters(m_level)) {
            for (int e = 1; e <= 3; ++e) {
                QStringList boxes;
                if (t == m_trimester) {
                    boxes = texts(row, e);
                } else {
                    for (int i = 1; i <= ItemCount(m_level, t, e); ++i) {
                        const QVariant v = r.fields.value(ItemField(t, e, i));
                        boxes.append(IsScored(v) ? QString::number(v.toDouble()) : NoResult);
                    }
                }
                fields.insert(ExerciseFields(m_level, t, e, boxes, EvaluateExercise(m_level, t, e, boxes)));
            }
        }
        // With the domain profiles the main window computes once the pupil is
        // selected, from the row as it will stand: one write per pupil.
        QVariantMap after = r.fields;
        after.insert(fields);
        const PupilProfile profile =
            ComputePupilProfileValues(m_level, [&after](const QString &f) { return after.value(f); });
        for (int slot = 1; slot <= 4; ++slot) {
            fields.insert(QStringLiteral("PROFIL_") + DomainSuffix(slot), profile.profile[size_t(slot - 1)]);
            fields.insert(QStringLiteral("MOYCAT_") + DomainSuffix(slot), profile.moycat[size_t(slot - 1)]);
        }
        pupils.append({r.key, fields});
        changed.append(row);
        written.append(fields);
    }
    saved = saved && store.SaveResultsOfPupils(pupils, &why);
    if (saved) {
        store.ComputeClassProfile(m_level, m_schoolNo, m_classNo, &why);
        saved = why.isEmpty() && transaction.commit();
    }
    if (!saved) {
        if (error)
            *error = why.isEmpty() ? QStringLiteral("cannot commit the transaction") : why;
        return false;
    }
    // The cells show what was stored: "7x" became 7.
    for (int k = 0; k < changed.size(); ++k) {
        const int row = changed.at(k);
        Row &r = m_rows[row];
        r.fields.insert(written.at(k));
        for (auto it = r.texts.begin(); it != r.texts.end(); ++it)
            if (it.value() != NoResult)
                it.value() = QString::number(BoxValue(it.value()));
        r.stored = r.texts;
        r.refused.clear();
        rowChanged(row, r.incomplete);
    }
    return true;
}

int ClassGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ClassGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ClassGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_columns.size())
        return {};
    const Row &r = m_rows.at(index.row());
    const Column &col = m_columns.at(index.column());
    const int box = boxOfColumn(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        if (col.kind == Kind::Item) {
            if (index.row() == m_draftRow && index.column() == m_draftColumn)
                return m_draft;
            return r.texts.value(box);
        }
        const ExerciseResult &labels = r.labels[size_t(col.exercise - 1)];
        return col.kind == Kind::Total ? labels.tot : col.kind == Kind::Category ? labels.cat : labels.prof;
    }
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::BackgroundRole:
        if (r.refused.contains(box))
            return QBrush(RefusedColour);
        if (r.incomplete)
            return QBrush(IncompleteColour);
        if (col.kind != Kind::Item)
            return QBrush(DerivedColour);
        return {};
    case Qt::ToolTipRole:
        if (r.refused.contains(box))
            return r.refused.value(box);
        if (r.incomplete)
            return IncompleteSeriesMessage;
        return {};
    case RefusalRole:
        return r.refused.value(box);
    default:
        return {};
    }
}

QVariant ClassGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (section < 0 || section >= m_rows.size())
            return {};
        const Row &r = m_rows.at(section);
        if (role == Qt::DisplayRole)
            return r.name;
        if (role == Qt::ToolTipRole && r.incomplete)
            return IncompleteSeriesMessage;
        if (role == Qt::BackgroundRole && r.incomplete)
            return QBrush(IncompleteColour);
        return {};
    }
    if (section < 0 || section >= m_columns.size())
        return {};
    const Column &col = m_columns.at(section);
    switch (role) {
    case Qt::DisplayRole:
        switch (col.kind) {
        case Kind::Item: {
            const QString caption = ItemCaption(m_level, m_trimester, col.exercise, col.item);
            return caption.isEmpty() ? QStringLiteral("Q%1").arg(col.item) : stacked(caption);
        }
        case Kind::Total:
            return QStringLiteral("Total");
        case Kind::Category:
            return QStringLiteral("Cat.");
        case Kind::Profile:
            return QStringLiteral("Profil");
        }
        return {};
    case Qt::ToolTipRole: {
        if (col.kind != Kind::Item)
            return col.kind == Kind::Total      ? QStringLiteral("Total")
                   : col.kind == Kind::Category ? QStringLiteral("Catégorie")
                                                : QStringLiteral("Profil");
        QString name = ItemToolTip(m_level, m_trimester, col.exercise, col.item);
        if (name.isEmpty())
            name = ItemCaption(m_level, m_trimester, col.exercise, col.item);
        return QStringLiteral("%1 — maximum %2").arg(name).arg(ItemMax(m_level, m_trimester, col.exercise, col.item));
    }
    case HeadingRole: {
        QString heading = ExerciseHeading(m_level, m_trimester, col.exercise);
        heading.replace(QStringLiteral("-\n"), QStringLiteral("-"));
        heading.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return heading;
    }
    case ExerciseRole:
        return col.exercise;
    default:
        return {};
    }
}

Qt::ItemFlags ClassGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isItemColumn(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool ClassGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !isItemColumn(index.column()))
        return false;
    enter(index.row(), index.column(), value.toString());
    return true;
}
