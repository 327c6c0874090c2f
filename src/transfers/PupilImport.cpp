#include "PupilImport.h"

#include "TransferFile.h"

#include "common/Limits.h"
#include "common/TextUtil.h"
#include "data/Connection.h"
#include "data/DataFiles.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace PupilImport {

namespace {

QStringList columnsOf(QSqlQuery &q, const QString &schema, const QString &table)
{
    QStringList columns;
    if (!q.exec(QStringLiteral("PRAGMA %1.table_info(%2)").arg(schema, table)))
        return columns;
    while (q.next())
        columns.append(q.value(1).toString());
    q.finish();
    return columns;
}

bool isDatabaseFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3", 16);
}

// The SET list that remaps the staged results. SQLite reads every right-hand
// side from the row as it was, so copying trimester 3 into trimester 1 and
// clearing trimester 3 fit in one UPDATE.
QString remapping(const QStringList &columns, bool movingUp)
{
    static const QRegularExpression result(QStringLiteral("^T([123])_E([123])(P\\d+|TOT|CAT|PRO)$"));
    QStringList sets;
    for (const QString &column : columns) {
        const auto m = result.match(column.toUpper());
        if (!m.hasMatch())
            continue;
        const int trimester = m.captured(1).toInt();
        const QString kind = m.captured(3);
        const QString cleared = kind == QLatin1String("PRO") ? QStringLiteral("''") : QStringLiteral("99");
        if (movingUp && trimester == 1) {
            const QString source = QStringLiteral("T3_E") + m.captured(2) + kind;
            if (columns.contains(source, Qt::CaseInsensitive))
                sets.append(column + QStringLiteral(" = ") + source);
            else
                sets.append(column + QStringLiteral(" = ") + cleared);
        } else {
            sets.append(column + QStringLiteral(" = ") + cleared);
        }
    }
    return sets.join(QStringLiteral(", "));
}

// What in the one row of the transfer file's ELEVE lies outside what the
// program writes: a name too long, a CSP outside its list, a score, total or
// category outside 0-99, a text too long. In French, one line per value.
QStringList outOfRange(QSqlQuery &q, const QString &schema, const QStringList &columns)
{
    static const QRegularExpression score(QStringLiteral("^(T[123]_E[123](P\\d+|TOT|CAT)|MOYCAT_.*)$"));
    QStringList found;
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2.ELEVE").arg(columns.join(QStringLiteral(", ")), schema)) ||
        !q.next())
        return {QStringLiteral("la ligne de l'élève ne peut pas être lue")};
    const auto shown = [](const QVariant &v) {
        const QString text = v.toString();
        return text.size() > 20 ? text.left(20) + QStringLiteral("…") : text;
    };
    for (int i = 0; i < columns.size(); ++i) {
        const QString column = columns.at(i).toUpper();
        const QVariant value = q.value(i);
        if (value.isNull() || column == QLatin1String("NOECOLE") || column == QLatin1String("NOCLASSE"))
            continue;
        const int type = value.metaType().id();
        const bool number = type == QMetaType::LongLong || type == QMetaType::Int || type == QMetaType::Double;
        if (column == QLatin1String("NOM")) {
            const qsizetype length = value.toString().trimmed().size();
            if (length > Limits::NameLength)
                found.append(QStringLiteral("le nom compte %1 caractères, plus que les %2 acceptés")
                                 .arg(length)
                                 .arg(Limits::NameLength));
        } else if (column == QLatin1String("CSP")) {
            if (!number || value.toDouble() != value.toInt() || value.toInt() < 0 ||
                value.toInt() >= CspLabels().size())
                found.append(QStringLiteral("la C.S.P. vaut « %1 », qui n'est pas un code de la liste (0 à %2)")
                                 .arg(shown(value))
                                 .arg(CspLabels().size() - 1));
        } else if (score.match(column).hasMatch()) {
            const bool whole = !column.startsWith(QLatin1String("MOYCAT"));
            if (!number || (whole && value.toDouble() != value.toLongLong()) || value.toDouble() < Limits::ScoreMin ||
                value.toDouble() > Limits::ScoreMax)
                found.append(QStringLiteral("« %1 » vaut « %2 », hors de l'intervalle %3 à %4")
                                 .arg(column, shown(value))
                                 .arg(Limits::ScoreMin)
                                 .arg(Limits::ScoreMax));
        } else if (value.toString().size() > Limits::NameLength) {
            found.append(QStringLiteral("« %1 » compte %2 caractères").arg(column).arg(value.toString().size()));
        }
    }
    q.finish();
    return found;
}

} // namespace

bool LevelsAgree(const QString &from, const QString &to)
{
    return (from == QLatin1String("GS") && to == QLatin1String("CP")) ||
           (from == QLatin1String("CP") && to == QLatin1String("CE1")) || (!from.isEmpty() && from == to);
}

Result Import(Connection &connection, const QString &folder, qint16 school, qint16 klass, const QString &classLevel)
{
    Result r;
    // What the engine says stays out of the message: it is the system's, and English.
    const QString unreadable = QStringLiteral("le fichier de transfert ne peut pas être lu");
    const QString refused = QStringLiteral("la base de données a refusé l'élève : rien n'a été importé");
    const QString path = TransferFile::PathIn(TransferFile::WithoutTrailingSeparator(folder));
    if (!QFile::exists(path)) {
        r.error = QStringLiteral("aucun fichier de transfert dans ") + folder;
        return r;
    }
    if (const QString problem = DataFiles::RegularFileProblem(path); !problem.isEmpty()) {
        r.error = problem;
        return r;
    }
    if (!isDatabaseFile(path)) {
        r.error = QStringLiteral("ce fichier n'est pas une base de données : ") + path;
        return r;
    }
    TransferFile file(connection, path, true);
    if (!file.attached()) {
        r.error = QStringLiteral("le fichier de transfert ne peut pas être ouvert");
        return r;
    }
    const QString x = TransferFile::Schema;
    QString niveau;
    {
        QSqlQuery q(connection.database());
        // Only a real table named ELEVE is read: a view could run the sender's SQL.
        if (!q.exec(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'table' AND name = 'ELEVE' "
                                   "COLLATE NOCASE")
                        .arg(x)) ||
            !q.next()) {
            r.error = QStringLiteral("le fichier de transfert n'a pas de table ELEVE");
            return r;
        }
        q.finish();
        // The sender's file brings no code: a trigger or a view in it is refused.
        if (!q.exec(QStringLiteral("SELECT type, name FROM %1.sqlite_master WHERE type IN ('trigger', 'view') OR "
                                   "(type = 'table' AND sql NOT LIKE 'CREATE TABLE%')")
                        .arg(x))) {
            r.error = unreadable;
            return r;
        }
        if (q.next()) {
            r.error = QStringLiteral("le fichier de transfert contient « %1 » (%2), que le programme n'y met jamais : "
                                     "il est refusé")
                          .arg(q.value(1).toString(), q.value(0).toString());
            return r;
        }
        q.finish();
        const QStringList staged = columnsOf(q, QStringLiteral("main"), QStringLiteral("IMPORTE"));
        const QStringList sent = columnsOf(q, x, QStringLiteral("ELEVE"));
        for (const QString &column : staged) {
            if (!sent.contains(column, Qt::CaseInsensitive)) {
                r.error = QStringLiteral("il manque au fichier de transfert la colonne ") + column;
                return r;
            }
        }
        if (!q.exec(QStringLiteral("SELECT count(*) FROM %1.ELEVE").arg(x)) || !q.next()) {
            r.error = unreadable;
            return r;
        }
        const qint64 count = q.value(0).toLongLong();
        q.finish();
        if (count != 1) {
            r.error = QStringLiteral("le fichier de transfert contient %1 élèves au lieu d'un").arg(count);
            return r;
        }
        if (const QStringList wrong = outOfRange(q, x, staged); !wrong.isEmpty()) {
            r.error = QStringLiteral("le fichier de transfert est refusé : ") + wrong.mid(0, 5).join(QStringLiteral(" ; "));
            return r;
        }
        q.prepare(QStringLiteral("SELECT count(*) FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ?"));
        q.addBindValue(school);
        q.addBindValue(klass);
        if (!q.exec() || !q.next()) {
            r.error = unreadable;
            return r;
        }
        if (q.value(0).toInt() >= Limits::PupilsPerClass) {
            r.error = QStringLiteral("la classe compte déjà %1 élèves, le plus qu'une classe puisse compter")
                          .arg(q.value(0).toInt());
            return r;
        }
        q.finish();

        Connection::Transaction transaction(connection);
        QString error;
        const QString list = staged.join(QStringLiteral(", "));
        if (!transaction.active() || !connection.executeStored(QStringLiteral("SUP_IMPORTE"), {}, &error) ||
            !connection.execute(QStringLiteral("INSERT INTO IMPORTE (%1) SELECT %1 FROM %2.ELEVE").arg(list, x), {},
                                &error) ||
            !connection.execute(QStringLiteral("UPDATE IMPORTE SET NOECOLE = :NO_ECOLE, NOCLASSE = :NO_CLASSE"),
                                {{QStringLiteral("NO_ECOLE"), school}, {QStringLiteral("NO_CLASSE"), klass}}, &error)) {
            r.error = refused;
            return r;
        }
        if (!q.exec(QStringLiteral("SELECT Niveau, NOM FROM IMPORTE")) || !q.next()) {
            r.error = unreadable;
            return r;
        }
        niveau = q.value(0).toString();
        r.name = q.value(1).toString();
        q.finish();
        if (!LevelsAgree(niveau, classLevel)) {
            r.outcome = Outcome::LevelMismatch;
            return r; // rolled back: nothing reaches ELEVE
        }
        const bool movingUp = niveau != classLevel;
        if (!connection.execute(QStringLiteral("UPDATE IMPORTE SET ") + remapping(staged, movingUp), {}, &error) ||
            !connection.execute(QStringLiteral("INSERT INTO ELEVE (%1) SELECT %1 FROM VIEW_IMPORTE")
                                    .arg(columnsOf(q, QStringLiteral("main"), QStringLiteral("VIEW_IMPORTE"))
                                             .join(QStringLiteral(", "))),
                                {}, &error)) {
            r.error = refused;
            return r;
        }
        if (!transaction.commit()) {
            r.error = refused;
            return r;
        }
    }
    file.detach();
    for (Recordset *rs : {&connection.IMPORTE, &connection.VIEW_IMPORTE, &connection.ELEVE})
        if (rs->isOpen())
            rs->requery();
    r.outcome = Outcome::Imported;
    return r;
}

} // namespace PupilImport
