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

QList<Offer> Offers(Connection &connection, const QString &classLevel, const QString &previousYear, int school,
                    int klass, int *alreadyInClass)
{
    Recordset &ancien = connection.VIEW_ANCIEN;
    const QString below = LevelBelow(classLevel);
    const QVariantMap params{{QStringLiteral("ANNEE"), previousYear},
                             {QStringLiteral("BELOW"), below.isEmpty() ? QVariant() : QVariant(below)},
                             {QStringLiteral("LEVEL"), classLevel},
                             {QStringLiteral("REPEATING"), classLevel},
                             {QStringLiteral("NO_ECOLE"), school},
                             {QStringLiteral("NO_CLASSE"), klass}};
    // EXISTS, not IN: an archived pupil without a name is still offered.
    const QString inClass = QStringLiteral("EXISTS (SELECT 1 FROM ELEVE WHERE NOECOLE = :NO_ECOLE AND NOCLASSE = "
                                           ":NO_CLASSE AND ELEVE.NOM = VIEW_ANCIEN.NOM)");
    if (alreadyInClass) {
        QSqlQuery q(connection.database());
        q.prepare(QStringLiteral("SELECT count(*) FROM VIEW_ANCIEN WHERE ANNEE = :ANNEE AND Niveau IN (:BELOW, :LEVEL) "
                                 "AND ") +
                  inClass);
        for (const char *name : {"ANNEE", "BELOW", "LEVEL", "NO_ECOLE", "NO_CLASSE"})
            q.bindValue(QLatin1Char(':') + QLatin1String(name), params.value(QLatin1String(name)));
        *alreadyInClass = q.exec() && q.next() ? q.value(0).toInt() : 0;
    }
    ancien.openQuery(QStringLiteral("SELECT * FROM VIEW_ANCIEN WHERE ANNEE = :ANNEE AND Niveau IN (:BELOW, :LEVEL) "
                                    "AND NOT ") +
                         inClass + QStringLiteral(" ORDER BY Niveau = :REPEATING, NOM COLLATE FRANCAIS, RID"),
                     params, QString());
    QList<Offer> offers;
    for (ancien.moveFirst(); !ancien.eof(); ancien.moveNext())
        offers.append({FormatLevel(ancien.value(QStringLiteral("Niveau")).toString()) + QStringLiteral(" : ") +
                           ancien.value(QStringLiteral("NOM")).toString(),
                       ancien.bookmark()});
    return offers;
}

bool Add(Connection &connection, qint16 school, qint16 klass, const QList<QVariant> &bookmarks, QString *error,
         int *skipped)
{
    Connection::Transaction transaction(connection);
    QSqlQuery find(connection.database());
    find.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM ELEVE WHERE NOECOLE = :NO_ECOLE AND NOCLASSE = "
                                ":NO_CLASSE AND ELEVE.NOM = PARCOURS.NOM) FROM PARCOURS WHERE rowid = :RID"));
    QSqlQuery q(connection.database());
    q.prepare(QStringLiteral("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) "
                             "SELECT :NO_ECOLE, :NO_CLASSE, NOM, CSP FROM PARCOURS WHERE rowid = :RID"));
    int alreadyThere = 0;
    for (const QVariant &bookmark : bookmarks) {
        for (QSqlQuery *query : {&find, &q}) {
            query->bindValue(QStringLiteral(":NO_ECOLE"), school);
            query->bindValue(QStringLiteral(":NO_CLASSE"), klass);
            query->bindValue(QStringLiteral(":RID"), bookmark);
        }
        if (!find.exec() || !find.next()) {
            if (error)
                *error =
                    find.lastError().isValid() ? find.lastError().text() : QStringLiteral("élève archivé introuvable");
            return false;
        }
        const bool taken = find.value(0).toBool();
        find.finish();
        if (taken) {
            ++alreadyThere;
            continue;
        }
        if (!q.exec() || q.numRowsAffected() != 1) {
            if (error)
                *error = q.lastError().isValid() ? q.lastError().text() : QStringLiteral("élève archivé introuvable");
            return false;
        }
    }
    if (skipped)
        *skipped = alreadyThere;
    if (transaction.commit())
        return true;
    if (error)
        *error = connection.database().lastError().text();
    return false;
}

} // namespace LastYearPupils
