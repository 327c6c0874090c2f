#include "RecordDeletion.h"

#include "data/Connection.h"

#include <functional>

namespace {

// Runs `steps` in one transaction; a failure rolls everything back.
bool inTransaction(Connection &connection, const std::function<bool(QString *)> &steps, QString *error)
{
    bool done = false;
    {
        Connection::Transaction transaction(connection);
        if (!transaction.active()) {
            if (error)
                *error = QStringLiteral("la base de données n'a pas pu ouvrir une transaction");
            return false;
        }
        done = steps(error);
        if (done && !transaction.commit()) {
            if (error)
                *error = QStringLiteral("la base de données a refusé d'enregistrer la suppression");
            done = false;
        }
    }
    return done;
}

bool deleteRow(Recordset &rs, QString *error)
{
    if (rs.deleteCurrent())
        return true;
    if (error)
        *error = rs.lastError();
    return false;
}

bool findRow(Recordset &rs, const Recordset::Criteria &key, QString *why)
{
    if (rs.findFirst(key))
        return true;
    if (why)
        *why = QStringLiteral("l'enregistrement à supprimer est introuvable");
    return false;
}

} // namespace

bool DeleteSchool(Connection &connection, qint16 school, QString *error)
{
    return inTransaction(
        connection,
        [&](QString *why) {
            const QVariantMap params{{QStringLiteral("NO_ECOLE"), int(school)}};
            if (!connection.executeStored(QStringLiteral("SUP_ELEVE_ECOLE"), params, why))
                return false;
            if (!connection.executeStored(QStringLiteral("SUP_CLASSE_ECOLE"), params, why))
                return false;
            return findRow(connection.ECOLE, {{QStringLiteral("NOECOLE"), int(school)}}, why) &&
                   deleteRow(connection.ECOLE, why);
        },
        error);
}

bool DeleteClass(Connection &connection, qint16 school, qint16 klass, QString *error)
{
    return inTransaction(
        connection,
        [&](QString *why) {
            const QVariantMap params{{QStringLiteral("NO_ECOLE"), int(school)},
                                     {QStringLiteral("NO_CLASSE"), int(klass)}};
            if (!connection.executeStored(QStringLiteral("SUP_ELEVE_CLASSE"), params, why))
                return false;
            return findRow(connection.CLASSE,
                           {{QStringLiteral("NOECOLE"), int(school)}, {QStringLiteral("NOCLASSE"), int(klass)}}, why) &&
                   deleteRow(connection.CLASSE, why);
        },
        error);
}

bool DeletePupil(Connection &connection, qint64 pupilKey, QString *error)
{
    return inTransaction(
        connection,
        [&](QString *why) {
            return findRow(connection.ELEVE, {{QStringLiteral("NOELEVE"), pupilKey}}, why) &&
                   deleteRow(connection.ELEVE, why);
        },
        error);
}
