#include "LastYearPupils.h"

#include "data/Connection.h"

#include <QSqlError>
#include <QSqlQuery>

namespace LastYearPupils {

QString LevelBelow(const QString &level)
{
    if (level == QLatin1String("GS"))
        return QStringLiteral("--");
    if (level == QLatin1String("CP"))
        return QStringLiteral("GS");
    if (level == QLatin1String("CE1"))
        return QStringLiteral("CP");
    return {};
}

QString FormatLevel(const QString &level)
{
    return level.rightJustified(3, QLatin1Char(' '));
}

bool AnyArchived(Connection &connection)
{
    QSqlQuery q(connection.database());
    return q.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM PARCOURS)")) && q.next() && q.value(0).toBool();
}

QList<Offer> Offers(Connection &connection, const QString &classLevel, const QString &previousYear)
{
    Recordset &ancien = connection.VIEW_ANCIEN;
    const QString below = LevelBelow(classLevel);
    ancien.openQuery(QStringLiteral("SELECT * FROM VIEW_ANCIEN WHERE ANNEE = :ANNEE AND Niveau IN (:BELOW, :LEVEL) "
                                    "ORDER BY Niveau = :REPEATING, NOM COLLATE FRANCAIS, RID"),
                     {{QStringLiteral("ANNEE"), previousYear},
                      {QStringLiteral("BELOW"), below.isEmpty() ? QVariant() : QVariant(below)},
                      {QStringLiteral("LEVEL"), classLevel},
                      {QStringLiteral("REPEATING"), classLevel}},
                     QString());
    QList<Offer> offers;
    for (ancien.moveFirst(); !ancien.eof(); ancien.moveNext())
        offers.append({FormatLevel(ancien.value(QStringLiteral("Niveau")).toString()) + QStringLiteral(" : ") +
                           ancien.value(QStringLiteral("NOM")).toString(),
                       ancien.bookmark()});
    return offers;
}

bool Add(Connection &connection, qint16 school, qint16 klass, const QList<QVariant> &bookmarks, QString *error)
{
    Connection::Transaction transaction(connection);
    QSqlQuery q(connection.database());
    q.prepare(QStringLiteral("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) "
                             "SELECT :NO_ECOLE, :NO_CLASSE, NOM, CSP FROM PARCOURS WHERE rowid = :RID"));
    for (const QVariant &bookmark : bookmarks) {
        q.bindValue(QStringLiteral(":NO_ECOLE"), school);
        q.bindValue(QStringLiteral(":NO_CLASSE"), klass);
        q.bindValue(QStringLiteral(":RID"), bookmark);
        if (!q.exec() || q.numRowsAffected() != 1) {
            if (error)
                *error = q.lastError().isValid() ? q.lastError().text() : QStringLiteral("élève archivé introuvable");
            return false;
        }
    }
    if (transaction.commit())
        return true;
    if (error)
        *error = connection.database().lastError().text();
    return false;
}

} // namespace LastYearPupils
