#include "RecordStore.h"

#include "common/AppState.h"
#include "data/Connection.h"
#include "evaluation/EvaluationModel.h"

#include <limits>

namespace {

constexpr int LargestNumber = std::numeric_limits<qint16>::max();

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

Recordset &recordsetOf(Connection &connection, RecordKind kind)
{
    switch (kind) {
    case RecordKind::School:
        return connection.Data1;
    case RecordKind::Class:
        return connection.Data2;
    case RecordKind::Pupil:
        break;
    }
    return connection.ELEVE;
}

} // namespace

RecordStore::RecordStore(Connection &connection, AppState &state) : m_connection(connection), m_state(state) {}

QString RecordStore::ClassLabel(const QString &teacher, const QString &level)
{
    return teacher + QLatin1Char(' ') + level;
}

QVariant RecordStore::currentRow(RecordKind kind, const QString &pupilName)
{
    if (kind == RecordKind::Pupil) {
        if (pupilName.isNull() ||
            !m_connection.ELEVE.findFirst({{QStringLiteral("NOECOLE"), int(m_state.CurrentSchoolNo)},
                                           {QStringLiteral("NOCLASSE"), int(m_state.CurrentClassNo)},
                                           {QStringLiteral("NOM"), pupilName}}))
            return {};
    }
    return recordsetOf(m_connection, kind).bookmark();
}

QVariant RecordStore::value(RecordKind kind, const QVariant &row, const QString &column)
{
    Recordset &rs = recordsetOf(m_connection, kind);
    if (!row.isValid() || !rs.setBookmark(row))
        return {};
    return rs.value(column);
}

bool RecordStore::write(RecordKind kind, QVariant &row, const Values &values, QString *error)
{
    Recordset &rs = recordsetOf(m_connection, kind);
    const bool adding = !row.isValid();
    Values keys;
    if (adding && kind == RecordKind::School) {
        int number = 1;
        if (rs.recordCount() > 0 && rs.moveLast())
            number = rs.value(QStringLiteral("NOECOLE")).toInt() + 1;
        if (number > LargestNumber)
            return fail(error, QStringLiteral("Le numéro de la nouvelle école dépasserait %1 : "
                                              "l'école ne peut pas être ajoutée.")
                                   .arg(LargestNumber));
        keys.append({QStringLiteral("NOECOLE"), number});
    } else if (adding && kind == RecordKind::Class) {
        int largest = 0;
        Recordset &classes = m_connection.VIEW_CLASSE;
        for (classes.moveFirst(); !classes.eof(); classes.moveNext())
            largest = qMax(largest, classes.value(QStringLiteral("NOCLASSE")).toInt());
        if (largest + 1 > LargestNumber)
            return fail(error, QStringLiteral("Le numéro de la nouvelle classe dépasserait %1 : "
                                              "la classe ne peut pas être ajoutée.")
                                   .arg(LargestNumber));
        keys.append({QStringLiteral("NOCLASSE"), largest + 1});
        keys.append({QStringLiteral("NOECOLE"), int(m_state.CurrentSchoolNo)});
    } else if (adding) {
        keys.append({QStringLiteral("NOCLASSE"), int(m_state.CurrentClassNo)});
        keys.append({QStringLiteral("NOECOLE"), int(m_state.CurrentSchoolNo)});
    }

    if (adding) {
        rs.addNew();
    } else if (!rs.setBookmark(row) || !rs.edit()) {
        return fail(error, QStringLiteral("L'enregistrement à modifier est introuvable."));
    }
    for (const auto &[column, v] : std::as_const(keys))
        rs.setValue(column, v);
    for (const auto &[column, v] : values) {
        rs.setValue(column, v);
        if (kind == RecordKind::Class && column == QLatin1String("NIVEAU"))
            rs.setValue(QStringLiteral("LIBELLE"),
                        ClassLabel(rs.value(QStringLiteral("ENSEIGN")).toString(), v.toString()));
    }
    if (!rs.update())
        return fail(error, QStringLiteral("L'enregistrement n'a pas pu être fait :\n") + rs.lastError());
    if (adding) {
        row = rs.lastInsertedRowid();
        rs.setBookmark(row);
    }
    return true;
}

QStringList RecordStore::schoolNames()
{
    QStringList names;
    Recordset &schools = m_connection.Data1;
    if (schools.recordCount() == 0)
        return names;
    for (schools.moveFirst(); !schools.eof(); schools.moveNext())
        names.append(schools.value(QStringLiteral("NOM_ECOLE")).toString());
    return names;
}

QList<Navigation::ClassEntry> RecordStore::classEntries()
{
    QList<Navigation::ClassEntry> entries;
    Recordset &classes = m_connection.VIEW_CLASSE;
    classes.requery();
    for (classes.moveFirst(); !classes.eof(); classes.moveNext())
        entries.append({classes.value(QStringLiteral("LIBELLE")).toString(),
                        LevelCode(classes.value(QStringLiteral("Niveau")).toString())});
    return entries;
}

QStringList RecordStore::pupilNames()
{
    QStringList names;
    Recordset &pupils = m_connection.VIEW_ELEVE;
    pupils.requery();
    for (pupils.moveFirst(); !pupils.eof(); pupils.moveNext())
        names.append(pupils.value(QStringLiteral("NOM")).toString());
    pupils.moveFirst();
    return names;
}
