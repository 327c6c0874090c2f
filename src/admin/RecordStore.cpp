#include "RecordStore.h"

#include "common/Session.h"
#include "data/Connection.h"

#include <QSqlQuery>

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
        return connection.ECOLE;
    case RecordKind::Class:
        return connection.CLASSE;
    case RecordKind::Pupil:
        break;
    }
    return connection.ELEVE;
}

} // namespace

RecordStore::RecordStore(Connection &connection, const Session &session) : m_connection(connection), m_session(session)
{}

QString RecordStore::ClassLabel(const QString &teacher, const QString &level)
{
    return teacher + QLatin1Char(' ') + level;
}

QVariant RecordStore::selectedRow(RecordKind kind)
{
    Recordset &rs = recordsetOf(m_connection, kind);
    bool found = false;
    switch (kind) {
    case RecordKind::School:
        found = m_session.schoolNo() != 0 && rs.findFirst(QStringLiteral("NOECOLE"), m_session.schoolNo());
        break;
    case RecordKind::Class:
        found = m_session.hasClass() && rs.findFirst({{QStringLiteral("NOECOLE"), m_session.schoolNo()},
                                                      {QStringLiteral("NOCLASSE"), m_session.classNo()}});
        break;
    case RecordKind::Pupil:
        found = m_session.hasPupil() && rs.findFirst(QStringLiteral("NOELEVE"), m_session.pupilKey());
        break;
    }
    return found ? rs.bookmark() : QVariant();
}

qint64 RecordStore::keyOf(RecordKind kind, const QVariant &row)
{
    const char *column = kind == RecordKind::School ? "NOECOLE" : kind == RecordKind::Class ? "NOCLASSE" : "NOELEVE";
    return value(kind, row, QLatin1String(column)).toLongLong();
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
        QSqlQuery q(m_connection.database());
        q.prepare(QStringLiteral("SELECT coalesce(max(NOCLASSE), 0) FROM CLASSE WHERE NOECOLE = ?"));
        q.addBindValue(m_session.schoolNo());
        if (!q.exec() || !q.next())
            return fail(error, QStringLiteral("La classe ne peut pas être ajoutée."));
        const int largest = q.value(0).toInt();
        if (largest + 1 > LargestNumber)
            return fail(error, QStringLiteral("Le numéro de la nouvelle classe dépasserait %1 : "
                                              "la classe ne peut pas être ajoutée.")
                                   .arg(LargestNumber));
        keys.append({QStringLiteral("NOCLASSE"), largest + 1});
        keys.append({QStringLiteral("NOECOLE"), m_session.schoolNo()});
    } else if (adding) {
        keys.append({QStringLiteral("NOCLASSE"), m_session.classNo()});
        keys.append({QStringLiteral("NOECOLE"), m_session.schoolNo()});
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
