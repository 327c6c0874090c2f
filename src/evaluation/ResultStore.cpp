#include "ResultStore.h"

#include "EvaluationModel.h"
#include "Scoring.h"
#include "common/AppState.h"
#include "data/Connection.h"

#include <QList>

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

// The pupil's row made current in ELEVE, through the (NOECOLE, NOCLASSE, NOM) index.
bool findPupil(Connection &connection, const AppState &state, const QString &pupilName)
{
    return connection.ELEVE.findFirst({{QStringLiteral("NOM"), pupilName},
                                       {QStringLiteral("NOECOLE"), int(state.CurrentSchoolNo)},
                                       {QStringLiteral("NOCLASSE"), int(state.CurrentClassNo)}});
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

// Reloads the class's pupils after a write, keeping the same pupil current.
void requeryPupils(Connection &connection, const QVariant &rid)
{
    Recordset &pupils = connection.VIEW_ELEVE;
    if (!pupils.isOpen())
        return;
    pupils.requery();
    if (rid.isValid())
        pupils.setBookmark(rid);
}

} // namespace

ResultStore::ResultStore(Connection &connection, AppState &state) : m_connection(connection), m_state(state) {}

std::optional<QVariantMap> ResultStore::pupilFields(const QString &pupilName)
{
    if (!findPupil(m_connection, m_state, pupilName))
        return std::nullopt;
    Recordset &rs = m_connection.ELEVE;
    QVariantMap fields;
    for (const QString &column : rs.columnNames())
        fields.insert(column, rs.value(column));
    return fields;
}

bool ResultStore::SaveResults(const QString &pupilName, const QVariantMap &fields, QString *error)
{
    if (!findPupil(m_connection, m_state, pupilName))
        return fail(error, QStringLiteral("pupil %1 not found in the current class").arg(pupilName));
    Recordset &rs = m_connection.ELEVE;
    const QVariant rid = rs.bookmark();
    Changes wanted;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        wanted.append({it.key(), it.value()});
    if (!writeRow(m_connection, rs, changedValues(rs, wanted), error))
        return false;
    requeryPupils(m_connection, rid);
    return true;
}

QStringList ResultStore::ComputePupilProfile(int level, const QString &pupilName)
{
    if (LevelName(level).isEmpty() || !findPupil(m_connection, m_state, pupilName))
        return {};
    Recordset &rs = m_connection.ELEVE;
    const PupilProfile profile = ComputePupilProfileValues(level, [&rs](const QString &f) { return rs.value(f); });
    Changes wanted;
    for (int slot = 1; slot <= 4; ++slot) {
        const QString suffix = DomainSuffix(slot);
        wanted.append({QStringLiteral("PROFIL_") + suffix, profile.profile[size_t(slot - 1)]});
        wanted.append({QStringLiteral("MOYCAT_") + suffix, profile.moycat[size_t(slot - 1)]});
    }
    const Changes changes = changedValues(rs, wanted);
    if (!changes.isEmpty()) {
        // The class's loaded pupils are reloaded to show the new profiles. The
        // panel shows the computed values even when the file refuses them.
        if (writeRow(m_connection, rs, changes, nullptr))
            requeryPupils(m_connection, m_connection.VIEW_ELEVE.bookmark());
    }
    return PanelTexts(level, profile.profile);
}

QStringList ResultStore::ComputeClassProfile(int level)
{
    Recordset &pupils = m_connection.VIEW_ELEVE;
    if (LevelName(level).isEmpty() || m_state.CurrentClassNo == 0 || pupils.recordCount() == 0)
        return {};

    // Every pupil's categories, read from the loaded rows; the current pupil stays current.
    QStringList categoryFields;
    for (int t = 1; t <= 3; ++t)
        for (int e = 1; e <= 3; ++e)
            categoryFields.append(ExerciseField(t, e, QStringLiteral("CAT")));
    const QVariant current = pupils.bookmark();
    QList<QVariantMap> categories;
    for (pupils.moveFirst(); !pupils.eof(); pupils.moveNext()) {
        QVariantMap row;
        for (const QString &f : std::as_const(categoryFields))
            row.insert(f, pupils.value(f));
        categories.append(row);
    }
    if (!current.isValid() || !pupils.setBookmark(current))
        pupils.moveFirst();
    QList<FieldReader> readers;
    for (const QVariantMap &row : std::as_const(categories))
        readers.append([&row](const QString &f) { return row.value(f); });
    const ClassProfile profile = ComputeClassProfileValues(level, readers);

    Recordset &classes = m_connection.Data2;
    const int school = m_state.CurrentSchoolNo;
    const int classNo = m_state.CurrentClassNo;
    if (classes.eof() || classes.value(QStringLiteral("NOECOLE")).toInt() != school ||
        classes.value(QStringLiteral("NOCLASSE")).toInt() != classNo) {
        if (!classes.findFirst({{QStringLiteral("NOECOLE"), school}, {QStringLiteral("NOCLASSE"), classNo}}))
            return {};
    }
    Changes wanted;
    for (int t = 1; t <= 3; ++t)
        for (int e = 1; e <= 3; ++e)
            wanted.append({ExerciseField(t, e, QStringLiteral("CAT")), profile.averages[size_t(t - 1)][size_t(e - 1)]});
    for (int slot = 1; slot <= 4; ++slot)
        wanted.append({QStringLiteral("PROFIL_") + DomainSuffix(slot), profile.profile[size_t(slot - 1)]});
    writeRow(m_connection, classes, changedValues(classes, wanted), nullptr);
    return PanelTexts(level, profile.profile);
}
