// The generated data folders: content that follows the evaluation model and the scoring, coherent archives, and
// files that depend on the seed alone.
#include "Generator.h"
#include "TestSupport.h"

#include "data/Connection.h"
#include "data/Schema.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/ResultStore.h"
#include "evaluation/Scoring.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

class TestGenData : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temp;
    QString m_database = m_temp.filePath("small/donnees.mdb");
    Connection m_c; // on the generated folder
    // Schools, classes per school (GS, CP, CE1, GS), pupils per class, archived years, seed, today.
    GenData::Options m_options{2, 4, 6, 3, 7, QDate(2026, 3, 15)};

    // A query on the generated database, on its first row (there must be one).
    QSqlQuery query(const QString &sql)
    {
        QSqlQuery q(m_c.database());
        if (!q.exec(sql) || !q.next())
            qFatal("%s", qPrintable(sql));
        return q;
    }
    QString value(const QString &sql) { return query(sql).value(0).toString(); }

private slots:
    // The rows of each table, then rules of the archive and the names: each query counts the rows breaking one.
    // Then the folder's own rules, then the results.
    void generatedFolder()
    {
        const QString folder = m_temp.filePath("small");
        QString error;
        QVERIFY2(GenData::GenerateDataFolder(folder, m_options, false, nullptr, &error), qPrintable(error));
        QVERIFY(Schema::CheckDatabaseFile(m_database, true).sound());
        m_c.setDataFolder(folder);
        QVERIFY(m_c.OpenDatabase());
        QStringList counts;
        for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "PARCOURS", "CHANGEANNEE", "IMPORTE"})
            counts << value(QStringLiteral("SELECT count(*) FROM ") + table);
        QCOMPARE(counts.join(' '), QStringLiteral("2 8 48 144 6 0"));
        for (const char *faults :
             {"SELECT count(*) - count(DISTINCT NOECOLE || '/' || NOCLASSE || '/' || NOM) FROM ELEVE",
              "SELECT count(*) - count(DISTINCT ANNEE || NOECOLE || '/' || NOCLASSE || '/' || NOM) FROM PARCOURS",
              "SELECT count(*) FROM PARCOURS p LEFT JOIN CLASSE c USING (NOECOLE, NOCLASSE) WHERE c.NIVEAU IS NOT "
              "p.Niveau",
              "SELECT count(*) FROM CHANGEANNEE l WHERE nb_eleve <> "
              "(SELECT count(*) FROM PARCOURS p WHERE p.NOECOLE = l.NOECOLE AND p.ANNEE = l.ANNEE)",
              "SELECT count(*) FROM CHANGEANNEE WHERE substr(date, 1, 8) <> substr(ANNEE, 6, 4) || '-07-'",
              "SELECT count(*) FROM CHANGEANNEE a JOIN CHANGEANNEE b ON b.rowid = a.rowid + 1 "
              "WHERE b.NO_OPER <= a.NO_OPER OR b.date < a.date"})
            QVERIFY2(value(faults) == "0", faults);
        // The archived years are the ones before the school year in progress, which begins in September.
        QCOMPARE(value("SELECT group_concat(ANNEE, ' ') FROM (SELECT DISTINCT ANNEE FROM PARCOURS ORDER BY ANNEE)"),
                 QStringLiteral("2022-2023 2023-2024 2024-2025"));
        QCOMPARE(GenData::ArchivedSchoolYears(QDate(2026, 9, 1), 1), QStringList{"2025-2026"});

        // A database in the folder, whatever its letter case, is kept unless replacing is asked for; then the new
        // file alone remains. The same options and seed give the same file, another seed another one.
        const QString other = m_temp.filePath("other"), old = other + "/DONNEES.MDB";
        QVERIFY(QDir().mkpath(other));
        writeFile(old, "the teacher's data");
        QVERIFY(!GenData::GenerateDataFolder(other, m_options, false, nullptr, &error));
        QCOMPARE(fileBytes(old), QByteArray("the teacher's data"));
        QVERIFY2(GenData::GenerateDataFolder(other, m_options, true, nullptr, &error), qPrintable(error));
        QCOMPARE(fileNames(other), (QStringList{"Export.vid", "donnees.mdb"}));
        QCOMPARE(fileBytes(other + "/donnees.mdb"), fileBytes(m_database));
        const GenData::Options seed8{2, 4, 6, 3, 8, m_options.today};
        QVERIFY2(GenData::GenerateDatabase(m_temp.filePath("8.mdb"), seed8, nullptr, &error), qPrintable(error));
        QVERIFY(fileBytes(m_temp.filePath("8.mdb")) != fileBytes(m_database));

        // Every pupil, of this year or archived: the level's items hold 0..ItemMax, or 99 for a whole exercise, or Null
        // for a whole trimester never entered; the result columns of other levels stay Null; each exercise's total,
        // category and letter are what the scoring makes of the items. The profiles of this year's pupils and classes
        // are what the program computes: computing them again changes nothing.
        QString seen; // every item's state: a score, absent (99) or Null
        for (const char *sql : {"SELECT c.NIVEAU AS LEVEL, e.* FROM ELEVE e JOIN CLASSE c USING (NOECOLE, NOCLASSE)",
                                "SELECT Niveau AS LEVEL, * FROM PARCOURS"}) {
            for (QSqlQuery q = query(sql); q.isValid(); q.next()) {
                QVariantMap pupil;
                for (int i = 0; i < q.record().count(); ++i)
                    pupil.insert(q.record().fieldName(i), q.value(i));
                const int level = LevelCode(pupil["LEVEL"].toString());
                const QString who = pupil["NOM"].toString() + ' ' + pupil.value("ANNEE").toString();
                QVERIFY2(level != 0, qPrintable(who));
                for (const QString &column : PupilResultColumns())
                    QVERIFY2(PupilResultFields(level).contains(column) || pupil[column].isNull(),
                             qPrintable(who + ' ' + column));
                for (int t : EvaluatedTrimesters(level)) {
                    QString states; // a letter per item, a comma after each exercise
                    for (int e = 1; e <= 3; ++e) {
                        QStringList boxes;
                        for (int i = 1; i <= ItemCount(level, t, e); ++i) {
                            const QVariant v = pupil[ItemField(t, e, i)];
                            QVERIFY2(IsScored(v) ? v.toInt() >= 0 && v.toInt() <= ItemMax(level, t, e, i)
                                                 : v.isNull() || v.toInt() == AbsenceCode,
                                     qPrintable(who + ' ' + ItemField(t, e, i) + " = " + v.toString()));
                            states += QLatin1Char(v.isNull() ? 'n' : IsScored(v) ? 's' : 'a');
                            boxes.append(IsScored(v) ? v.toString() : NoResult);
                        }
                        states += ',';
                        const QVariantMap fields =
                            ExerciseFields(level, t, e, boxes, EvaluateExercise(level, t, e, boxes));
                        for (auto it = fields.cbegin(); it != fields.cend(); ++it) // Null in a trimester never entered
                            QVERIFY2(states.startsWith('n') ? pupil[it.key()].isNull()
                                                            : pupil[it.key()].toString() == it.value().toString(),
                                     qPrintable(who + ' ' + it.key()));
                    }
                    QVERIFY2(QRegularExpression("^(n+,)+$|^((a+|s+),)+$").match(states).hasMatch(),
                             qPrintable(who + ' ' + states));
                    seen += states;
                }
            }
        }
        QVERIFY(seen.contains('n') && seen.contains('a') && seen.contains('s'));
        const QStringList before = tableRows(m_c.database(), "ELEVE") + tableRows(m_c.database(), "CLASSE");
        ResultStore store(m_c);
        for (QSqlQuery q = query("SELECT NIVEAU, NOECOLE, NOCLASSE FROM CLASSE"); q.isValid(); q.next())
            QVERIFY(
                store.RefreshClassProfiles(LevelCode(q.value(0).toString()), q.value(1).toInt(), q.value(2).toInt()));
        QCOMPARE(tableRows(m_c.database(), "ELEVE") + tableRows(m_c.database(), "CLASSE"), before);
    }
};

QTEST_GUILESS_MAIN(TestGenData)
#include "tst_gendata.moc"
