#include "ResultColumns.h"

#include "data/Connection.h"
#include "data/Roster.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString oneLine(QString heading)
{
    heading.replace(QStringLiteral("-\n"), QStringLiteral("-"));
    heading.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return heading;
}

} // namespace

QList<ResultColumn> ResultColumns(int level)
{
    using Kind = ResultColumn::Kind;
    QList<ResultColumn> columns;
    for (int t : EvaluatedTrimesters(level)) {
        for (int e = 1; e <= 3; ++e) {
            const int n = ItemCount(level, t, e);
            if (n == 0)
                continue;
            const QString group = oneLine(ExerciseHeading(level, t, e));
            const QString prefix = QStringLiteral("T%1 %2 ").arg(t).arg(group);
            auto add = [&](Kind kind, int item, const QString &field, const QString &heading) {
                columns.append({kind, t, e, item, 0, field, group, heading, prefix + heading});
            };
            for (int i = 1; i <= n; ++i)
                add(Kind::Item, i, ItemField(t, e, i), QStringLiteral("Q%1").arg(i));
            if (HasTotalField(level, t, e))
                add(Kind::Total, 0, ExerciseField(t, e, QStringLiteral("TOT")), QStringLiteral("Total"));
            add(Kind::Category, 0, ExerciseField(t, e, QStringLiteral("CAT")), QStringLiteral("Cat."));
            add(Kind::Profile, 0, ExerciseField(t, e, QStringLiteral("PRO")), QStringLiteral("Profil"));
        }
    }
    for (int slot : PanelSlotOrder(level)) {
        const QString title = DomainTitle(level, slot);
        columns.append({Kind::DomainProfile, 0, 0, 0, slot, QStringLiteral("PROFIL_") + DomainSuffix(slot),
                        QStringLiteral("Profils"), title, QStringLiteral("Profil ") + title});
    }
    return columns;
}

QVariant CellValue(const ResultColumn &column, const QVariantMap &fields)
{
    const QVariant v = fields.value(column.field);
    if (column.kind == ResultColumn::Kind::Profile || column.kind == ResultColumn::Kind::DomainProfile) {
        const QString text = v.toString().trimmed();
        return text.isEmpty() || text == NoResult ? QVariant() : QVariant(text);
    }
    return IsScored(v) ? QVariant(v.toInt()) : QVariant();
}

QString TrimesterHeading(int trimester)
{
    return TrimesterTabCaption(trimester);
}

bool ReadClassResults(const Connection &connection, int schoolNo, int classNo, ClassResults *out, QString *error)
{
    const Roster::ClassEntry entry = Roster::ClassOf(connection, schoolNo, classNo);
    if (entry.classNo == 0) {
        *error = QStringLiteral("La classe est introuvable.");
        return false;
    }
    out->schoolNo = schoolNo;
    out->classNo = classNo;
    out->label = entry.label;
    out->level = LevelCode(entry.level);
    if (out->level == 0) {
        *error = QStringLiteral("Le niveau « %1 » de la classe « %2 » n'est pas évalué.").arg(entry.level, entry.label);
        return false;
    }
    QSqlQuery q(connection.database());
    q.prepare(QStringLiteral("SELECT e.NOM_ECOLE, c.ENSEIGN FROM CLASSE c LEFT JOIN ECOLE e ON e.NOECOLE = c.NOECOLE "
                             "WHERE c.NOECOLE = ? AND c.NOCLASSE = ?"));
    q.addBindValue(schoolNo);
    q.addBindValue(classNo);
    if (!q.exec() || !q.next()) {
        *error = QStringLiteral("La classe « %1 » ne peut pas être lue.").arg(entry.label);
        return false;
    }
    out->school = q.value(0).toString();
    out->teacher = q.value(1).toString();
    q.finish();
    QString why;
    const QList<Roster::PupilEntry> pupils = Roster::Pupils(connection, schoolNo, classNo, &why);
    if (!why.isEmpty()) {
        *error = why;
        return false;
    }
    QHash<qint64, QVariantMap> rows;
    QSqlQuery p(connection.database());
    p.prepare(QStringLiteral("SELECT * FROM ELEVE WHERE NOECOLE = ? AND NOCLASSE = ?"));
    p.addBindValue(schoolNo);
    p.addBindValue(classNo);
    if (!p.exec()) {
        *error = QStringLiteral("Les élèves de la classe « %1 » ne peuvent pas être lus.").arg(entry.label);
        return false;
    }
    while (p.next()) {
        const QSqlRecord r = p.record();
        QVariantMap fields;
        for (int i = 0; i < r.count(); ++i)
            fields.insert(r.fieldName(i), r.value(i));
        rows.insert(fields.value(QStringLiteral("NOELEVE")).toLongLong(), fields);
    }
    out->pupils.clear();
    for (const Roster::PupilEntry &pupil : pupils)
        out->pupils.append({pupil.key, pupil.name, rows.value(pupil.key)});
    return true;
}

bool ReadSchoolResults(const Connection &connection, int schoolNo, QList<ClassResults> *out, QString *error)
{
    QString why;
    const QList<Roster::ClassEntry> classes = Roster::Classes(connection, schoolNo, &why);
    if (!why.isEmpty()) {
        *error = why;
        return false;
    }
    out->clear();
    for (const Roster::ClassEntry &c : classes) {
        if (LevelCode(c.level) == 0)
            continue;
        ClassResults results;
        if (!ReadClassResults(connection, schoolNo, c.classNo, &results, error))
            return false;
        out->append(results);
    }
    return true;
}
