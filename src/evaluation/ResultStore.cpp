#include "ResultStore.h"

#include "EvaluationModel.h"
#include "Scoring.h"
#include "data/Connection.h"
#include "data/Roster.h"

#include <QList>
#include <QSqlError>
#include <QSqlQuery>

#include <utility>

namespace {

using Changes = QList<std::pair<QString, QVariant>>;

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// Whether writing `wanted` would leave the stored value as it is. The column
// affinities turn numeric text into numbers and numbers into text, so a
// number and a text holding the same number are the same stored value.
bool sameValue(const QVariant &stored, const QVariant &wanted)
{
    if (wanted.isNull() || stored.isNull())
        return wanted.isNull() && stored.isNull();
    if (isNumber(stored) && isNumber(wanted))
        return stored.toDouble() == wanted.toDouble();
    if (isNumber(stored) != isNumber(wanted)) {
        bool ok = false;
        const double text = (isNumber(stored) ? wanted : stored).toString().toDouble(&ok);
        return ok && text == (isNumber(stored) ? stored : wanted).toDouble();
    }
    return stored.toString() == wanted.toString();
}

// The values of `wanted` that differ from the current row of `rs`.
Changes changedValues(Recordset &rs, const Changes &wanted)
{
    Changes changes;
    for (const auto &[column, value] : wanted)
        if (!sameValue(rs.value(column), value))
            changes.append({column, value});
    return changes;
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// The pupil's row made current in ELEVE, by its key.
bool findPupil(Connection &connection, qint64 key)
{
    return key != 0 && connection.ELEVE.findFirst(QStringLiteral("NOELEVE"), key);
}

// Writes `changes` into the current row of `rs` in one transaction. Nothing
// to write opens no transaction: a computation that finds everything up to
// date costs no commit.
bool writeRow(Connection &connection, Recordset &rs, const Changes &changes, QString *error)
{
    if (changes.isEmpty())
        return true;
    Connection::Transaction transaction(connection);
    if (!transaction.active())
        return fail(error, QStringLiteral("cannot begin a transaction"));
    if (!rs.edit())
        return fail(error, rs.lastError());
    for (const auto &[column, value] : changes)
        rs.setValue(column, value);
    if (!rs.update()) {
        const QString why = rs.lastError();
        rs.cancelUpdate();
        return fail(error, why);
    }
    if (!transaction.commit())
        return fail(error, QStringLiteral("cannot commit the transaction"));
    return true;
}

} // namespace

ResultStore::ResultStore(Connection &connection) : m_connection(connection) {}

std::optional<QVariantMap> ResultStore::pupilFields(qint64 key)
{
    if (!findPupil(m_connection, key))
        return std::nullopt;
    Recordset &rs = m_connection.ELEVE;
    QVariantMap fields;
    for (const QString &column : rs.columnNames())
        fields.insert(column, rs.value(column));
    return fields;
}

bool ResultStore::SaveResults(qint64 key, const QVariantMap &fields, QString *error)
{
    if (!findPupil(m_connection, key))
        return fail(error, QStringLiteral("élève introuvable (n° %1)").arg(key));
    Recordset &rs = m_connection.ELEVE;
    Changes wanted;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        wanted.append({it.key(), it.value()});
    return writeRow(m_connection, rs, changedValues(rs, wanted), error);
}

bool ResultStore::SaveResultsOfPupils(const QList<std::pair<qint64, QVariantMap>> &pupils, QString *error)
{
    if (pupils.isEmpty())
        return true;
    const QStringList columns = pupils.first().second.keys();
    QStringList sets;
    for (const QString &column : columns)
        sets.append(QLatin1Char('"') + column + QStringLiteral("\" = ?"));
    Connection::Transaction transaction(m_connection);
    QSqlQuery q(m_connection.database());
    if (!transaction.active() ||
        !q.prepare(QStringLiteral("UPDATE ELEVE SET %1 WHERE NOELEVE = ?").arg(sets.join(QStringLiteral(", ")))))
        return fail(error, q.lastError().text());
    for (const auto &[key, fields] : pupils) {
        if (fields.keys() != columns)
            return fail(error, QStringLiteral("colonnes différentes d'un élève à l'autre"));
        for (const QVariant &value : fields)
            q.addBindValue(value);
        q.addBindValue(key);
        if (!q.exec())
            return fail(error, q.lastError().text());
        if (q.numRowsAffected() != 1)
            return fail(error, QStringLiteral("élève introuvable (n° %1)").arg(key));
    }
    q.finish();
    if (!transaction.commit())
        return fail(error, QStringLiteral("cannot commit the transaction"));
    // The pupils' recordset reads the stored row again the next time it is asked.
    findPupil(m_connection, pupils.last().first);
    return true;
}

QStringList ResultStore::ComputePupilProfile(int level, qint64 key, QString *error)
{
    if (LevelName(level).isEmpty() || !findPupil(m_connection, key))
        return {};
    Recordset &rs = m_connection.ELEVE;
    const PupilProfile profile = ComputePupilProfileValues(level, [&rs](const QString &f) { return rs.value(f); });
    Changes wanted;
    for (int slot = 1; slot <= 4; ++slot) {
        const QString suffix = DomainSuffix(slot);
        wanted.append({QStringLiteral("PROFIL_") + suffix, profile.profile[size_t(slot - 1)]});
        wanted.append({QStringLiteral("MOYCAT_") + suffix, profile.moycat[size_t(slot - 1)]});
    }
    // The panel shows the computed values even when the file refuses them.
    writeRow(m_connection, rs, changedValues(rs, wanted), error);
    return PanelTexts(level, profile.profile);
}

QStringList ResultStore::ComputeClassProfile(int level, int schoolNo, int classNo, QString *error)
{
    if (LevelName(level).isEmpty() || schoolNo == 0 || classNo == 0)
        return {};

    // Every pupil's categories, in one indexed read.
    QStringList categoryFields;
    for (int t = 1; t <= 3; ++t)
        for (int e = 1; e <= 3; ++e)
            categoryFields.append(ExerciseField(t, e, QStringLiteral("CAT")));
    QSqlQuery q(m_connection.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ?")
                  .arg(categoryFields.join(QStringLiteral(", "))));
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    if (!q.exec()) {
        fail(error, q.lastError().text());
        return {};
    }
    QList<QVariantMap> categories;
    while (q.next()) {
        QVariantMap row;
        for (int i = 0; i < categoryFields.size(); ++i)
            row.insert(categoryFields.at(i), q.value(i));
        categories.append(row);
    }
    if (categories.isEmpty())
        return {};
    QList<FieldReader> readers;
    for (const QVariantMap &row : std::as_const(categories))
        readers.append([&row](const QString &f) { return row.value(f); });
    const ClassProfile profile = ComputeClassProfileValues(level, readers);

    Recordset &classes = m_connection.CLASSE;
    if (classes.eof() || classes.value(QStringLiteral("NOECOLE")).toInt() != schoolNo ||
        classes.value(QStringLiteral("NOCLASSE")).toInt() != classNo) {
        if (!classes.findFirst({{QStringLiteral("NOECOLE"), schoolNo}, {QStringLiteral("NOCLASSE"), classNo}})) {
            fail(error, QStringLiteral("classe introuvable (n° %1)").arg(classNo));
            return {};
        }
    }
    Changes wanted;
    for (int t = 1; t <= 3; ++t)
        for (int e = 1; e <= 3; ++e)
            wanted.append({ExerciseField(t, e, QStringLiteral("CAT")), profile.averages[size_t(t - 1)][size_t(e - 1)]});
    for (int slot = 1; slot <= 4; ++slot)
        wanted.append({QStringLiteral("PROFIL_") + DomainSuffix(slot), profile.profile[size_t(slot - 1)]});
    writeRow(m_connection, classes, changedValues(classes, wanted), error);
    return PanelTexts(level, profile.profile);
}

bool ResultStore::RefreshClassProfiles(int level, int schoolNo, int classNo, QString *error)
{
    if (LevelName(level).isEmpty())
        return true;
    QString why;
    const QList<Roster::PupilEntry> pupils = Roster::Pupils(m_connection, schoolNo, classNo, &why);
    if (!why.isEmpty())
        return fail(error, why);
    Connection::Transaction transaction(m_connection);
    if (!transaction.active())
        return fail(error, QStringLiteral("cannot begin a transaction"));
    for (const Roster::PupilEntry &pupil : pupils) {
        ComputePupilProfile(level, pupil.key, &why);
        if (!why.isEmpty())
            return fail(error, why);
    }
    ComputeClassProfile(level, schoolNo, classNo, &why);
    if (!why.isEmpty())
        return fail(error, why);
    return transaction.commit() || fail(error, QStringLiteral("cannot commit the transaction"));
}
