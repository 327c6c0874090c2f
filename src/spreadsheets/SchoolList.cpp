#include "SchoolList.h"

#include "CsvText.h"
#include "common/Limits.h"
#include "data/Connection.h"
#include "evaluation/EvaluationModel.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include <limits>

namespace SchoolList {

namespace {

// A header as compared: without accents, blanks and letter case, the
// apostrophe of any kind dropped.
QString headerKey(const QString &text)
{
    QString key;
    for (const QChar c : text.normalized(QString::NormalizationForm_D))
        if (c.isLetterOrNumber() && c.category() != QChar::Mark_NonSpacing)
            key += c.toLower();
    return key;
}

bool fail(QString *error, const QString &text)
{
    *error = text;
    return false;
}

} // namespace

int LevelOfText(const QString &text)
{
    const QString key = headerKey(text);
    if (key == QLatin1String("gs") || key == QLatin1String("grandesection"))
        return 1;
    if (key == QLatin1String("cp"))
        return 2;
    if (key == QLatin1String("ce1"))
        return 3;
    return 0;
}

bool Parse(const QString &text, const QString &shown, QList<Group> *groups, QString *error)
{
    groups->clear();
    QList<QStringList> rows;
    QList<int> lines;
    if (!CsvText::Parse(text, shown, Limits::SchoolListPupils + 1, &rows, &lines, error))
        return false;
    const QStringList header = rows.value(0);
    const auto column = [&](const char *name) {
        const QString wanted = headerKey(QString::fromUtf8(name));
        for (int c = 0; c < header.size(); ++c)
            if (headerKey(header.at(c)) == wanted)
                return c;
        return -1;
    };
    const int surname = column("Nom élève");
    const int usage = column("Nom d'usage élève");
    const int first = column("Prénom élève");
    const int birth = column("Date naissance");
    const int levelColumn = column("Niveau");
    const int classColumn = column("Libellé classe");
    QStringList missing;
    if (surname < 0 && usage < 0)
        missing.append(QStringLiteral("« Nom élève »"));
    if (first < 0)
        missing.append(QStringLiteral("« Prénom élève »"));
    if (levelColumn < 0)
        missing.append(QStringLiteral("« Niveau »"));
    if (classColumn < 0)
        missing.append(QStringLiteral("« Libellé classe »"));
    if (!missing.isEmpty())
        return fail(error, QStringLiteral("Le fichier « %1 » est refusé : sa première ligne doit nommer les colonnes "
                                          "de la liste de l'école ; il y manque %2.")
                               .arg(shown, missing.join(QStringLiteral(", "))));
    QHash<QString, int> groupOf;
    for (int r = 1; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        QString family = usage >= 0 ? row.value(usage).simplified() : QString();
        if (family.isEmpty() && surname >= 0)
            family = row.value(surname).simplified();
        const QString given = row.value(first).simplified();
        const QString name = (family.toUpper() + QLatin1Char(' ') + given).trimmed();
        if (family.isEmpty() && given.isEmpty())
            return fail(error, QStringLiteral("Le fichier « %1 » est refusé : ligne %2, l'élève n'a pas de nom.")
                                   .arg(shown)
                                   .arg(lines.at(r)));
        if (name.size() > Limits::NameLength)
            return fail(error, QStringLiteral("Le fichier « %1 » est refusé : ligne %2, le nom compte %3 caractères "
                                              "(au plus %4).")
                                   .arg(shown)
                                   .arg(lines.at(r))
                                   .arg(name.size())
                                   .arg(Limits::NameLength));
        const QString label = row.value(classColumn).simplified();
        const QString levelText = row.value(levelColumn).simplified();
        if (label.size() > Limits::NameLength)
            return fail(error, QStringLiteral("Le fichier « %1 » est refusé : ligne %2, le libellé de classe est trop "
                                              "long.")
                                   .arg(shown)
                                   .arg(lines.at(r)));
        const int level = LevelOfText(levelText);
        const QString key = label + QLatin1Char('\n') + (level ? LevelName(level) : levelText.toUpper());
        if (!groupOf.contains(key)) {
            groupOf.insert(key, int(groups->size()));
            groups->append({label, levelText, level, {}});
        }
        (*groups)[groupOf.value(key)].pupils.append(
            {name, birth >= 0 ? row.value(birth).trimmed() : QString(), lines.at(r)});
    }
    if (rows.size() - 1 > Limits::SchoolListPupils)
        return fail(error, QStringLiteral("Le fichier « %1 » est refusé : il compte plus de %2 élèves.")
                               .arg(shown)
                               .arg(Limits::SchoolListPupils));
    return true;
}

bool Read(const QString &path, QList<Group> *groups, QString *error)
{
    QString text;
    return CsvText::ReadFile(path, Limits::ListBytes * 8, &text, error) &&
           Parse(text, QFileInfo(path).fileName(), groups, error);
}

bool Apply(Connection &connection, int schoolNo, const QList<Group> &groups, const QList<Target> &targets,
           Outcome *outcome, QString *error)
{
    *outcome = Outcome();
    const QString refused = QStringLiteral("La base de données a refusé la liste : aucun élève n'a été ajouté.");
    if (targets.size() != groups.size())
        return fail(error, refused);
    Connection::Transaction transaction(connection);
    if (!transaction.active())
        return fail(error, refused);
    QSqlQuery q(connection.database());
    int next = 0;
    q.prepare(QStringLiteral("SELECT coalesce(max(NOCLASSE), 0) FROM CLASSE WHERE NOECOLE = ?"));
    q.addBindValue(schoolNo);
    if (!q.exec() || !q.next())
        return fail(error, refused);
    next = q.value(0).toInt() + 1;
    q.finish();
    QSqlQuery insert(connection.database());
    if (!insert.prepare(QStringLiteral("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) SELECT :NO_ECOLE, :NO_CLASSE, "
                                       ":NOM, 0 WHERE NOT EXISTS (SELECT 1 FROM ELEVE WHERE NOECOLE = :NO_ECOLE AND "
                                       "NOCLASSE = :NO_CLASSE AND NOM = :NOM)")))
        return fail(error, refused);
    QSet<int> filled;
    for (int g = 0; g < groups.size(); ++g) {
        const Group &group = groups.at(g);
        const Target &target = targets.at(g);
        if (target.kind == Target::Kind::Skip || group.level == 0) {
            outcome->skipped += int(group.pupils.size());
            continue;
        }
        int classNo = target.classNo;
        if (target.kind == Target::Kind::New) {
            const QString teacher = target.teacher.simplified();
            if (teacher.isEmpty() || teacher.size() > Limits::NameLength)
                return fail(error, QStringLiteral("Le nom de l'enseignant de la nouvelle classe « %1 » manque ou est "
                                                  "trop long : aucun élève n'a été ajouté.")
                                       .arg(group.classLabel));
            if (next > std::numeric_limits<qint16>::max())
                return fail(error, QStringLiteral("Le numéro de la nouvelle classe dépasserait %1 : aucun élève n'a "
                                                  "été ajouté.")
                                       .arg(std::numeric_limits<qint16>::max()));
            classNo = next++;
            const QString level = LevelName(group.level);
            if (!connection.execute(QStringLiteral("INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, ENSEIGN, NIVEAU) "
                                                   "VALUES (:NOCLASSE, :NOECOLE, :LIBELLE, :ENSEIGN, :NIVEAU)"),
                                    {{QStringLiteral("NOCLASSE"), classNo},
                                     {QStringLiteral("NOECOLE"), schoolNo},
                                     {QStringLiteral("LIBELLE"), teacher + QLatin1Char(' ') + level},
                                     {QStringLiteral("ENSEIGN"), teacher},
                                     {QStringLiteral("NIVEAU"), level}}))
                return fail(error, refused);
            ++outcome->classesCreated;
        } else {
            QSqlQuery exists(connection.database());
            exists.prepare(QStringLiteral("SELECT NIVEAU FROM CLASSE WHERE NOECOLE = ? AND NOCLASSE = ?"));
            exists.addBindValue(schoolNo);
            exists.addBindValue(classNo);
            if (!exists.exec() || !exists.next())
                return fail(error, QStringLiteral("La classe choisie pour « %1 » n'existe plus : aucun élève n'a été "
                                                  "ajouté.")
                                       .arg(group.classLabel));
        }
        filled.insert(classNo);
        for (const Pupil &pupil : group.pupils) {
            insert.bindValue(QStringLiteral(":NO_ECOLE"), schoolNo);
            insert.bindValue(QStringLiteral(":NO_CLASSE"), classNo);
            insert.bindValue(QStringLiteral(":NOM"), pupil.name);
            if (!insert.exec())
                return fail(error, refused);
            if (insert.numRowsAffected() == 1)
                ++outcome->added;
            else
                ++outcome->skipped;
        }
    }
    insert.finish();
    for (int classNo : filled) {
        QSqlQuery count(connection.database());
        count.prepare(QStringLiteral("SELECT COUNT(*) FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ?"));
        count.addBindValue(schoolNo);
        count.addBindValue(classNo);
        if (!count.exec() || !count.next())
            return fail(error, refused);
        if (count.value(0).toInt() > Limits::PupilsPerClass)
            return fail(error, QStringLiteral("Une classe compterait %1 élèves, et une classe en compte au plus %2 : "
                                              "aucun élève n'a été ajouté.")
                                   .arg(count.value(0).toInt())
                                   .arg(Limits::PupilsPerClass));
    }
    if (!transaction.commit())
        return fail(error, refused);
    return true;
}

} // namespace SchoolList
