// The generated data folders: content that follows the evaluation model and the scoring, coherent archives, and
// files that depend on the seed alone.
#include "Generator.h"
#include "TestSupport.h"

#include "data/DataFiles.h"
#include "data/Schema.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A query on the generated database, on its first row.
QSqlQuery query(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("generated")));
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    q.next();
    return q;
}

QString value(const QString &sql)
{
    return query(sql).value(0).toString();
}

} // namespace

class TestGenData : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temp;
    QString m_database;
    // Schools, classes per school (GS, CP, CE1, GS), pupils per class, archived years, seed, today.
    GenData::Options m_options{2, 4, 6, 3, 7, QDate(2026, 3, 15)};

private slots:
    void initTestCase()
    {
        const QString folder = m_temp.filePath("small");
        GenData::Summary s;
        QString error;
        QVERIFY2(GenData::GenerateDataFolder(folder, m_options, false, &s, &error), qPrintable(error));
        m_database = DataFiles::LiveDatabase(folder);
        QCOMPARE(QList<qint64>({s.schools, s.classes, s.pupils, s.archivedRows, s.fileSize}),
                 QList<qint64>({2, 8, 48, 3 * 48, QFileInfo(m_database).size()}));
        const Schema::FileCheck check = Schema::CheckDatabaseFile(m_database, true);
        QVERIFY2(check.sound(), qPrintable(check.detail));
        QCOMPARE(TestSupport::fileNames(folder), (QStringList{"Export.vid", "donnees.mdb"})); // no temporary file left
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("generated"));
        db.setDatabaseName(m_database);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QVERIFY(db.open());
        QCOMPARE(value("SELECT (SELECT count(*) FROM ECOLE) || ' ' || (SELECT count(*) FROM CLASSE) || ' ' || (SELECT "
                       "count(*) FROM ELEVE) || ' ' || (SELECT count(*) FROM PARCOURS) || ' ' || (SELECT count(*) FROM "
                       "CHANGEANNEE) || ' ' || (SELECT count(*) FROM IMPORTE)"),
                 QStringLiteral("2 8 48 144 6 0"));
    }

    // Every pupil, of this year or archived: the level's items hold 0..ItemMax, or 99 for a whole exercise, or Null
    // for a whole trimester never entered; the result columns of other levels stay Null; the derived fields are what
    // the scoring makes of the items (each exercise's total, category and letter, the profiles). The classes hold
    // the averages and profiles of their pupils.
    void resultsFollowTheModelAndTheScoring()
    {
        QHash<QString, QList<QVariantMap>> classes; // this year's pupils by "school/class"
        QString seen;                               // every item's state: a score, absent (99) or Null
        int absent = 0;
        for (const char *sql : {"SELECT c.NIVEAU AS LEVEL, e.* FROM ELEVE e JOIN CLASSE c USING (NOECOLE, NOCLASSE)",
                                "SELECT Niveau AS LEVEL, * FROM PARCOURS"}) {
            for (QSqlQuery q = query(sql); q.isValid(); q.next()) {
                QVariantMap pupil, expected;
                for (int i = 0; i < q.record().count(); ++i)
                    pupil.insert(q.record().fieldName(i), q.value(i));
                const int level = LevelCode(pupil["LEVEL"].toString());
                const QString who = pupil.value("NOM").toString() + ' ' + pupil.value("ANNEE").toString();
                QVERIFY2(level != 0, qPrintable(who));
                for (int t : EvaluatedTrimesters(level)) {
                    QString trimester;
                    for (int e = 1; e <= 3; ++e) {
                        QString exercise;
                        QStringList boxes;
                        for (int i = 1; i <= ItemCount(level, t, e); ++i) {
                            const QVariant v = pupil[ItemField(t, e, i)];
                            QVERIFY2(v.isNull() || v.toInt() == 99 ||
                                         (v.toInt() >= 0 && v.toInt() <= ItemMax(level, t, e, i)),
                                     qPrintable(who + ' ' + ItemField(t, e, i) + " = " + v.toString()));
                            exercise += QLatin1Char(v.isNull() ? 'n' : v.toInt() == 99 ? 'a' : 's');
                            boxes.append(IsScored(v) ? v.toString() : NoResult);
                        }
                        QVERIFY2(exercise.count(exercise.at(0)) == exercise.size(), qPrintable(who));
                        trimester += exercise;
                        const QVariantMap fields =
                            ExerciseFields(level, t, e, boxes, EvaluateExercise(level, t, e, boxes));
                        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
                            expected.insert(it.key(), exercise.startsWith('n') ? QVariant() : it.value());
                        absent += expected.value(ExerciseField(t, e, "CAT")) == QVariant(AbsenceCode);
                    }
                    QVERIFY2(trimester.count('n') == 0 || trimester.count('n') == trimester.size(), qPrintable(who));
                    seen += trimester;
                }
                const QStringList fields = PupilResultFields(level);
                for (const QString &column : PupilResultColumns())
                    QVERIFY2(fields.contains(column) || pupil[column].isNull(), qPrintable(who + ' ' + column));
                const PupilProfile p =
                    ComputePupilProfileValues(level, [&](const QString &f) { return pupil.value(f); });
                for (int slot = 1; slot <= 4; ++slot) {
                    expected.insert("PROFIL_" + DomainSuffix(slot), p.profile[size_t(slot - 1)]);
                    expected.insert("MOYCAT_" + DomainSuffix(slot), p.moycat[size_t(slot - 1)]);
                }
                for (auto it = expected.cbegin(); it != expected.cend(); ++it)
                    QVERIFY2(pupil[it.key()].isNull() == it.value().isNull() &&
                                 pupil[it.key()].toString() == it.value().toString(),
                             qPrintable(who + ' ' + it.key()));
                if (!pupil.contains("ANNEE"))
                    classes[pupil["NOECOLE"].toString() + '/' + pupil["NOCLASSE"].toString()].append(pupil);
            }
        }
        QVERIFY(seen.contains('n') && seen.contains('a') && seen.contains('s') && absent > 0);
        for (QSqlQuery q = query("SELECT NOECOLE || '/' || NOCLASSE, NIVEAU, * FROM CLASSE"); q.isValid(); q.next()) {
            QList<FieldReader> readers;
            for (const QVariantMap &pupil : classes.value(q.value(0).toString()))
                readers.append([pupil](const QString &f) { return pupil.value(f); });
            const ClassProfile c = ComputeClassProfileValues(LevelCode(q.value(1).toString()), readers);
            for (int t = 1; t <= 3; ++t)
                for (int e = 1; e <= 3; ++e)
                    QCOMPARE(q.value(ExerciseField(t, e, "CAT")).toDouble(), c.averages[size_t(t - 1)][size_t(e - 1)]);
            for (int slot = 1; slot <= 4; ++slot)
                QCOMPARE(q.value("PROFIL_" + DomainSuffix(slot)).toString(), c.profile[size_t(slot - 1)]);
        }
    }

    // Each query counts the rows breaking a rule of the generated content.
    void archiveAndNamesAreCoherent()
    {
        for (const char *faults :
             {"SELECT count(*) FROM (SELECT 1 FROM ELEVE GROUP BY NOECOLE, NOCLASSE, NOM HAVING count(*) > 1)",
              "SELECT count(*) FROM (SELECT 1 FROM PARCOURS GROUP BY ANNEE, NOECOLE, NOCLASSE, NOM HAVING count(*) > "
              "1)",
              "SELECT count(*) FROM PARCOURS p LEFT JOIN CLASSE c USING (NOECOLE, NOCLASSE) WHERE c.NIVEAU IS NOT "
              "p.Niveau",
              "SELECT count(*) FROM CHANGEANNEE l WHERE nb_eleve <> "
              "(SELECT count(*) FROM PARCOURS p WHERE p.NOECOLE = l.NOECOLE AND p.ANNEE = l.ANNEE)",
              "SELECT count(*) FROM CHANGEANNEE WHERE LIBELLE <> 'Année ' || ANNEE "
              "OR substr(date, 1, 8) <> substr(ANNEE, 6, 4) || '-07-' OR substr(date, 9, 2) > '07'",
              "SELECT count(*) FROM CHANGEANNEE a JOIN CHANGEANNEE b ON b.rowid = a.rowid + 1 "
              "WHERE b.NO_OPER <= a.NO_OPER OR b.date < a.date"})
            QVERIFY2(value(QString::fromUtf8(faults)) == "0", faults);
        // The archived years are the ones before the school year in progress, which begins in September.
        QCOMPARE(value("SELECT group_concat(ANNEE, ' ') FROM (SELECT DISTINCT ANNEE FROM PARCOURS ORDER BY ANNEE)"),
                 QStringLiteral("2022-2023 2023-2024 2024-2025"));
        QCOMPARE(GenData::ArchivedSchoolYears(QDate(2026, 8, 31), 2) +
                     GenData::ArchivedSchoolYears(QDate(2026, 9, 1), 1),
                 (QStringList{"2023-2024", "2024-2025", "2025-2026"}));
    }

    // A database in the folder, whatever its letter case, is kept unless replacing is asked for; then the new file
    // alone remains. The same options and seed give the same file, another seed another one.
    void existingDatabaseAndSeed()
    {
        const QString folder = m_temp.filePath("existing"), old = folder + "/DONNEES.MDB";
        QVERIFY(QDir().mkpath(folder));
        TestSupport::writeFile(old, "the teacher's data");
        QString error;
        QVERIFY(!GenData::GenerateDataFolder(folder, m_options, false, nullptr, &error));
        QVERIFY2(error.contains(QLatin1String("DONNEES.MDB")) && error.contains(QLatin1String("--force")),
                 qPrintable(error));
        QCOMPARE(TestSupport::fileBytes(old), QByteArray("the teacher's data"));
        QCOMPARE(TestSupport::fileNames(folder), QStringList{"DONNEES.MDB"});

        QVERIFY2(GenData::GenerateDataFolder(folder, m_options, true, nullptr, &error), qPrintable(error));
        QCOMPARE(TestSupport::fileNames(folder), (QStringList{"Export.vid", "donnees.mdb"}));
        const QString live = DataFiles::LiveDatabase(folder);
        QCOMPARE(TestSupport::fileBytes(live), TestSupport::fileBytes(m_database));
        QVERIFY(!GenData::GenerateDatabase(live, m_options, nullptr, &error)); // never over an existing file
        QCOMPARE(TestSupport::fileBytes(live), TestSupport::fileBytes(m_database));
        GenData::Options other = m_options;
        other.seed = 8;
        QVERIFY2(GenData::GenerateDatabase(m_temp.filePath("other.mdb"), other, nullptr, &error), qPrintable(error));
        QVERIFY(TestSupport::fileBytes(m_temp.filePath("other.mdb")) != TestSupport::fileBytes(m_database));
    }
};

QTEST_GUILESS_MAIN(TestGenData)
#include "tst_gendata.moc"
