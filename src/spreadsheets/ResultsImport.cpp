#include "ResultsImport.h"

#include "CsvText.h"
#include "ResultColumns.h"
#include "XlsxExport.h"
#include "XlsxReader.h"
#include "common/Limits.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/Roster.h"
#include "evaluation/CheckEntry.h"
#include "evaluation/ClassGridModel.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QFile>
#include <QFileInfo>

namespace ResultsImport {

namespace {

const QString NameHeading = QStringLiteral("Nom");
const QString KeyHeading = QStringLiteral("Clé élève");

// One class's values as the file gives them, before any check.
struct Table
{
    QString sheet;
    int schoolNo = 0;
    int classNo = 0;
    struct Cell
    {
        ResultColumn column;
        QString where; // the column as the refusals name it
        QString value;
    };
    struct Row
    {
        int fileRow = 0;
        qint64 key = 0;
        QString keyName; // the name the key was written with
        QString name;
        QList<Cell> cells;
    };
    QList<Row> rows;
};

bool isXlsx(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArray("PK\x03\x04", 4);
}

// Workbook sheets as tables. A class sheet is found by its "Nom" heading; its
// hidden companion names the class and the field of every column.
bool tablesOfWorkbook(const Connection &connection, const QString &path, int schoolNo, QList<Table> *tables, Plan *plan,
                      QString *error)
{
    QList<XlsxReader::Sheet> sheets;
    if (!XlsxReader::Read(path, &sheets, error))
        return false;
    QHash<QString, const XlsxReader::Sheet *> keysOf;
    for (const XlsxReader::Sheet &s : sheets)
        if (s.cell(0, 0) == XlsxExport::KeysMark)
            keysOf.insert(s.cell(0, 3), &s);
    const QList<Roster::ClassEntry> classes = Roster::Classes(connection, schoolNo);
    for (const XlsxReader::Sheet &s : sheets) {
        if (s.cell(0, 0) == XlsxExport::KeysMark)
            continue;
        if (s.cell(XlsxExport::HeadingRow, 0).trimmed() != NameHeading) {
            plan->notes.append(
                QStringLiteral("La feuille « %1 » n'est pas une feuille de résultats : elle est ignorée.").arg(s.name));
            continue;
        }
        Table table;
        table.sheet = s.name;
        const QString label = s.cell(1, 1).trimmed();
        const XlsxReader::Sheet *keys = keysOf.value(s.name);
        // The keys count only for the class they were written for, in this school.
        const Roster::ClassEntry *target = nullptr;
        for (const Roster::ClassEntry &c : classes)
            if (keys && c.classNo == keys->cell(0, 2).toInt() && keys->cell(0, 1).toInt() == schoolNo &&
                c.label == label)
                target = &c;
        if (!target)
            keys = nullptr;
        for (const Roster::ClassEntry &c : classes)
            if (!target && (c.label == label || (label.isEmpty() && c.label == s.name)))
                target = &c;
        if (!target) {
            plan->refusals.append(
                {s.name, 2, QStringLiteral("B"),
                 QStringLiteral("l'école n'a pas de classe « %1 ».").arg(label.isEmpty() ? s.name : label)});
            continue;
        }
        table.schoolNo = schoolNo;
        table.classNo = target->classNo;
        const QList<ResultColumn> layout = ResultColumns(LevelCode(target->level));
        QHash<QString, ResultColumn> byField;
        for (const ResultColumn &c : layout)
            byField.insert(c.field, c);
        // The columns: by the hidden sheet's fields, else by the class level's layout.
        QList<std::pair<int, ResultColumn>> columns;
        if (keys) {
            const QStringList fields = keys->rows.value(1);
            for (int c = 1; c < fields.size(); ++c)
                if (byField.contains(fields.at(c)))
                    columns.append({c, byField.value(fields.at(c))});
        } else {
            for (int k = 0; k < layout.size(); ++k) {
                if (s.cell(XlsxExport::HeadingRow, k + 1).trimmed() != layout.at(k).heading) {
                    plan->refusals.append({s.name, XlsxExport::HeadingRow + 1, XlsxReader::ColumnName(k + 1),
                                           QStringLiteral("la colonne devrait être « %1 » (%2) : les colonnes ne "
                                                          "sont pas celles d'une classe de %3.")
                                               .arg(layout.at(k).heading, layout.at(k).label, target->level)});
                    break;
                }
                columns.append({k + 1, layout.at(k)});
            }
        }
        for (int r = XlsxExport::FirstPupilRow; r < s.rows.size(); ++r) {
            Table::Row row;
            row.fileRow = r + 1;
            row.name = s.cell(r, 0).trimmed();
            if (keys) {
                row.key = keys->cell(r, 0).toLongLong();
                row.keyName = keys->cell(r, 1);
            }
            for (const auto &[c, column] : columns)
                if (column.kind == ResultColumn::Kind::Item)
                    row.cells.append({column, QStringLiteral("%1 (%2)").arg(XlsxReader::ColumnName(c), column.label),
                                      s.cell(r, c).trimmed()});
            if (row.name.isEmpty() && s.rows.at(r).join(QString()).trimmed().isEmpty())
                continue;
            table.rows.append(row);
        }
        tables->append(table);
    }
    return true;
}

bool tableOfCsv(const Connection &connection, const QString &path, int schoolNo, int classNo, Table *table, Plan *plan,
                QString *error)
{
    const QString shown = QFileInfo(path).fileName();
    QString text;
    QList<QStringList> rows;
    QList<int> lines;
    if (!CsvText::ReadFile(path, Limits::SpreadsheetBytes, &text, error) ||
        !CsvText::Parse(text, shown, Limits::SpreadsheetRows, &rows, &lines, error))
        return false;
    const Roster::ClassEntry klass = Roster::ClassOf(connection, schoolNo, classNo);
    const int level = LevelCode(klass.level);
    if (klass.classNo == 0 || level == 0) {
        *error = QStringLiteral("Choisissez d'abord une classe de GS, de CP ou de CE1.");
        return false;
    }
    const QStringList header = rows.value(0);
    const int nameColumn = int(header.indexOf(NameHeading));
    if (rows.isEmpty() || nameColumn < 0) {
        *error = QStringLiteral("Le fichier « %1 » est refusé : sa première ligne doit nommer les colonnes "
                                "(« Nom », « T1 Langage Q1 »…).")
                     .arg(shown);
        return false;
    }
    const int keyColumn = int(header.indexOf(KeyHeading));
    QHash<QString, ResultColumn> byLabel;
    for (const ResultColumn &c : ResultColumns(level))
        byLabel.insert(c.label, c);
    QList<std::pair<int, ResultColumn>> columns;
    QStringList unknown;
    for (int c = 0; c < header.size(); ++c) {
        if (byLabel.contains(header.at(c).trimmed()))
            columns.append({c, byLabel.value(header.at(c).trimmed())});
        else if (c != nameColumn && c != keyColumn && !header.at(c).trimmed().isEmpty())
            unknown.append(header.at(c).trimmed());
    }
    if (!unknown.isEmpty())
        plan->notes.append(QStringLiteral("Colonnes ignorées : « %1 ».").arg(unknown.join(QStringLiteral(" », « "))));
    table->sheet = shown;
    table->schoolNo = schoolNo;
    table->classNo = classNo;
    for (int r = 1; r < rows.size(); ++r) {
        Table::Row row;
        row.fileRow = lines.at(r);
        row.name = rows.at(r).value(nameColumn).trimmed();
        if (keyColumn >= 0) {
            row.key = rows.at(r).value(keyColumn).trimmed().toLongLong();
            row.keyName = row.name;
        }
        for (const auto &[c, column] : columns)
            if (column.kind == ResultColumn::Kind::Item)
                row.cells.append({column, column.label, rows.at(r).value(c).trimmed()});
        table->rows.append(row);
    }
    return true;
}

// Checks one table against the stored results through the class grid's
// checks, one trimester at a time; fills the plan.
void check(Connection &connection, const Table &table, Plan *plan)
{
    const Roster::ClassEntry klass = Roster::ClassOf(connection, table.schoolNo, table.classNo);
    const int level = LevelCode(klass.level);
    ClassPlan classPlan{table.schoolNo, table.classNo, level, klass.label, {}};
    const QList<Roster::PupilEntry> pupils = Roster::Pupils(connection, table.schoolNo, table.classNo);
    QHash<qint64, QString> nameOf;
    QMultiHash<QString, qint64> byName;
    for (const Roster::PupilEntry &p : pupils) {
        nameOf.insert(p.key, p.name);
        byName.insert(p.name.trimmed(), p.key);
    }
    // Each row's pupil.
    QList<qint64> keyOfRow;
    QHash<qint64, int> seen;
    for (const Table::Row &row : table.rows) {
        qint64 key = 0;
        QString why;
        if (row.key != 0 && nameOf.contains(row.key) && row.keyName.trimmed() == row.name &&
            nameOf.value(row.key).trimmed() == row.name) {
            key = row.key;
        } else if (row.name.isEmpty()) {
            why = QStringLiteral("la ligne a des valeurs mais pas de nom d'élève.");
        } else {
            const QList<qint64> keys = byName.values(row.name);
            if (keys.size() == 1)
                key = keys.constFirst();
            else if (keys.isEmpty())
                why = QStringLiteral("la classe « %1 » n'a pas d'élève « %2 ».").arg(klass.label, row.name);
            else
                why = QStringLiteral("la classe « %1 » a %2 élèves nommés « %3 » : la ligne ne dit pas lequel.")
                          .arg(klass.label)
                          .arg(keys.size())
                          .arg(row.name);
        }
        if (key != 0 && seen.contains(key)) {
            why = QStringLiteral("l'élève « %1 » figure déjà ligne %2.").arg(row.name).arg(seen.value(key));
            key = 0;
        }
        if (key != 0)
            seen.insert(key, row.fileRow);
        else
            plan->refusals.append({table.sheet, row.fileRow, QString(), why});
        keyOfRow.append(key);
    }
    // The stored rows, to leave aside the trimesters the file does not change.
    ClassResults stored;
    QString why;
    ReadClassResults(connection, table.schoolNo, table.classNo, &stored, &why);
    QHash<qint64, const QVariantMap *> storedFields;
    for (const PupilResults &p : stored.pupils)
        storedFields.insert(p.key, &p.fields);
    const auto differs = [&](int t) {
        for (int i = 0; i < table.rows.size(); ++i) {
            const QVariantMap *fields = storedFields.value(keyOfRow.at(i));
            for (const Table::Cell &cell : table.rows.at(i).cells) {
                if (cell.column.trimester != t || !fields)
                    continue;
                const QVariant v = fields->value(cell.column.field);
                // As the class grid shows a stored value.
                const QString before = IsScored(v) ? QString::number(v.toDouble()) : NoResult;
                if ((cell.value.isEmpty() ? NoResult : cell.value) != before)
                    return true;
            }
        }
        return false;
    };
    for (int t : EvaluatedTrimesters(level)) {
        if (!differs(t))
            continue;
        ClassGridModel model(connection, level, table.schoolNo, table.classNo);
        model.load(t);
        QHash<qint64, int> modelRow;
        for (int r = 0; r < model.rowCount(); ++r)
            modelRow.insert(model.pupilKey(r), r);
        QHash<int, int> columnOfBox;
        for (int c = 0; c < model.columnCount(); ++c)
            if (model.isItemColumn(c))
                columnOfBox.insert(model.boxOfColumn(c), c);
        QList<std::pair<int, int>> changedRows; // model row, file row
        for (int i = 0; i < table.rows.size(); ++i) {
            const qint64 key = keyOfRow.at(i);
            if (key == 0 || !modelRow.contains(key))
                continue;
            const int r = modelRow.value(key);
            bool changed = false;
            for (const Table::Cell &cell : table.rows.at(i).cells) {
                if (cell.column.trimester != t)
                    continue;
                const int box = BoxNumber(level, t, cell.column.exercise, cell.column.item);
                const QString value = cell.value.isEmpty() ? NoResult : cell.value;
                const QString before = model.texts(r, cell.column.exercise).value(cell.column.item - 1);
                if (value == before)
                    continue;
                const ClassGridModel::Outcome outcome = model.enter(r, columnOfBox.value(box), value);
                const QString after = model.texts(r, cell.column.exercise).value(cell.column.item - 1);
                QString reason = outcome.accepted ? QString() : outcome.refusal;
                // A value the check would shorten or round is not what the file says.
                if (reason.isEmpty() &&
                    (after != value || (value != NoResult && QString::number(BoxValue(value)) != value)))
                    reason = RangeHint(box) + QLatin1Char('.');
                if (!reason.isEmpty()) {
                    plan->refusals.append({table.sheet, table.rows.at(i).fileRow, cell.where,
                                           QStringLiteral("« %1 » : %2").arg(cell.value, reason)});
                    continue;
                }
                classPlan.values[key].insert(box, value);
                plan->changes.append({klass.label, nameOf.value(key), cell.column.label, before, value});
                changed = true;
            }
            if (changed)
                changedRows.append({r, table.rows.at(i).fileRow});
        }
        const QStringList incomplete = model.incompletePupils();
        for (const auto &[r, fileRow] : changedRows)
            if (incomplete.contains(model.pupilName(r)))
                plan->refusals.append(
                    {table.sheet, fileRow, TrimesterTabCaption(t),
                     IncompleteSeriesMessage + QStringLiteral(" (") + model.pupilName(r) + QLatin1Char(')')});
    }
    if (!classPlan.values.isEmpty())
        plan->classes.append(classPlan);
}

} // namespace

QString Refusal::text() const
{
    QString where = QStringLiteral("%1, ligne %2").arg(sheet).arg(row);
    if (!column.isEmpty())
        where += QStringLiteral(", colonne ") + column;
    return where + QStringLiteral(" : ") + reason;
}

int Plan::pupilCount() const
{
    int n = 0;
    for (const ClassPlan &c : classes)
        n += int(c.values.size());
    return n;
}

bool Prepare(Connection &connection, const QString &path, int schoolNo, int classNo, Plan *plan, QString *error)
{
    *plan = Plan();
    const QString problem = DataFiles::RegularFileProblem(path);
    if (!problem.isEmpty()) {
        *error = problem;
        return false;
    }
    QList<Table> tables;
    if (isXlsx(path)) {
        if (!tablesOfWorkbook(connection, path, schoolNo, &tables, plan, error))
            return false;
    } else {
        Table table;
        if (!tableOfCsv(connection, path, schoolNo, classNo, &table, plan, error))
            return false;
        tables.append(table);
    }
    for (const Table &table : tables)
        check(connection, table, plan);
    return true;
}

bool Apply(Connection &connection, const Plan &plan, QString *error)
{
    if (!plan.refusals.isEmpty()) {
        *error = QStringLiteral("des valeurs sont refusées.");
        return false;
    }
    Connection::Transaction transaction(connection);
    if (!transaction.active()) {
        *error = QStringLiteral("la base de données refuse d'écrire.");
        return false;
    }
    for (const ClassPlan &c : plan.classes) {
        for (int t : EvaluatedTrimesters(c.level)) {
            bool inTrimester = false;
            for (const QMap<int, QString> &values : c.values)
                for (auto it = values.cbegin(); it != values.cend() && !inTrimester; ++it)
                    inTrimester = DecodeBoxNumber(it.key()).trimester == t;
            if (!inTrimester)
                continue;
            ClassGridModel model(connection, c.level, c.schoolNo, c.classNo);
            model.load(t); // read inside the transaction: the trimesters stored before are there
            QHash<int, int> columnOfBox;
            for (int k = 0; k < model.columnCount(); ++k)
                if (model.isItemColumn(k))
                    columnOfBox.insert(model.boxOfColumn(k), k);
            bool any = false;
            for (int r = 0; r < model.rowCount(); ++r) {
                const QMap<int, QString> values = c.values.value(model.pupilKey(r));
                for (auto it = values.cbegin(); it != values.cend(); ++it) {
                    if (DecodeBoxNumber(it.key()).trimester != t)
                        continue;
                    if (!model.enter(r, columnOfBox.value(it.key()), it.value()).accepted) {
                        *error = QStringLiteral("une valeur de « %1 » n'est plus acceptée.").arg(model.pupilName(r));
                        return false;
                    }
                    any = true;
                }
            }
            QString why;
            if (any && !model.save(&why)) {
                *error = why;
                return false;
            }
        }
    }
    if (!transaction.commit()) {
        *error = QStringLiteral("la base de données n'a pas enregistré les résultats.");
        return false;
    }
    return true;
}

} // namespace ResultsImport
