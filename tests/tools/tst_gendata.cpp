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

// A query run on the database file at `path` (opened read-only once), on its first row.
QSqlQuery query(const QString &path, const QString &sql)
{
    if (!QSqlDatabase::contains(path)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
    }
    QSqlQuery q(QSqlDatabase::database(path));
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    q.next();
    return q;
}

QString value(const QString &path, const QString &sql) { return query(path, sql).value(0).toString(); }

} // namespace

class TestGenData : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temp;
    QString m_database;
    GenData::Options m_options{.schools = 2, .classesPerSchool = 4, // GS, CP, CE1, GS
                               .pupilsPerClass = 6, .archivedYears = 3, .seed = 7, .today = QDate(2026, 3, 15)};

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
        QStringList counts;
        for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "PARCOURS", "CHANGEANNEE", "IMPORTE"})
            counts.append(value(m_database, QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table)));
        QCOMPARE(counts.join(' '), QStringLiteral("2 8 48 144 6 0"));
    }

    // The level's items hold 0..ItemMax, or 99 for the whole exercise, or Null
    // for the whole trimester; the result columns of other levels stay Null.
    void itemScoresFollowTheModel()
    {
        const QStringList columns = GenData::ResultRow::Columns();
        QString seen; // every item's state: a score, absent (99) or Null
        for (const QString &source : {QStringLiteral("(SELECT NIVEAU FROM CLASSE c WHERE c.NOECOLE = ELEVE.NOECOLE AND "
                                                     "c.NOCLASSE = ELEVE.NOCLASSE), NOM, %1 FROM ELEVE"),
                                      QStringLiteral("Niveau, NOM, %1 FROM PARCOURS")}) {
            for (QSqlQuery row = query(m_database, "SELECT " + source.arg(columns.join(QLatin1String(", ")))); row.isValid();
                 row.next()) {
                const int level = LevelCode(row.value(0).toString());
                QVERIFY2(level != 0, qPrintable(row.value(1).toString()));
                for (int t : EvaluatedTrimesters(level)) {
                    const QString where = row.value(1).toString() + " T" + QString::number(t);
                    QString trimester;
                    for (int e = 1; e <= 3; ++e) {
                        QString exercise;
                        for (int i = 1; i <= ItemCount(level, t, e); ++i) {
                            const QVariant v = row.value(2 + columns.indexOf(ItemField(t, e, i)));
                            const int score = v.toInt();
                            QVERIFY2(v.isNull() || score == 99 || (score >= 0 && score <= ItemMax(level, t, e, i)),
                                     qPrintable(where + ' ' + ItemField(t, e, i) + " = " + v.toString()));
                            exercise += QLatin1Char(v.isNull() ? 'n' : score == 99 ? 'a' : 's');
                        }
                        QVERIFY2(exercise.count(exercise.at(0)) == exercise.size(), qPrintable(where));
                        trimester += exercise;
                    }
                    QVERIFY2(trimester.count('n') == 0 || trimester.count('n') == trimester.size(), qPrintable(where));
                    seen += trimester;
                }
                const QStringList fields = PupilResultFields(level);
                for (const QString &column : PupilResultColumns())
                    QVERIFY2(fields.contains(column) || row.isNull(2 + columns.indexOf(column)), qPrintable(column));
            }
        }
        QVERIFY(seen.contains('n') && seen.contains('a') && seen.contains('s'));
    }

    // Each query counts the rows breaking a rule of the generated content.
    void archiveAndNamesAreCoherent()
    {
        for (const char *faults : {
                 "SELECT count(*) FROM (SELECT 1 FROM ELEVE GROUP BY NOECOLE, NOCLASSE, NOM HAVING count(*) > 1)",
                 "SELECT count(*) FROM (SELECT 1 FROM PARCOURS GROUP BY ANNEE, NOECOLE, NOCLASSE, NOM HAVING count(*) > 1)",
                 "SELECT count(*) FROM PARCOURS p LEFT JOIN CLASSE c USING (NOECOLE, NOCLASSE) WHERE c.NIVEAU IS NOT p.Niveau",
                 "SELECT count(*) FROM CHANGEANNEE l WHERE nb_eleve <> "
                 "(SELECT count(*) FROM PARCOURS p WHERE p.NOECOLE = l.NOECOLE AND p.ANNEE = l.ANNEE)",
                 "SELECT count(*) FROM CHANGEANNEE WHERE LIBELLE <> 'Année ' || ANNEE "
                 "OR substr(date, 1, 8) <> substr(ANNEE, 6, 4) || '-07-' OR substr(date, 9, 2) > '07'",
                 "SELECT count(*) FROM CHANGEANNEE a JOIN CHANGEANNEE b ON b.rowid = a.rowid + 1 "
                 "WHERE b.NO_OPER <= a.NO_OPER OR b.date < a.date"})
            QVERIFY2(value(m_database, QString::fromUtf8(faults)) == "0", faults);
        // The archived years are the ones before the school year in progress, which begins in September.
        QCOMPARE(value(m_database, "SELECT group_concat(ANNEE, ' ') FROM (SELECT DISTINCT ANNEE FROM PARCOURS ORDER BY ANNEE)"),
                 QStringLiteral("2022-2023 2023-2024 2024-2025"));
        QCOMPARE(GenData::ArchivedSchoolYears(QDate(2026, 8, 31), 2) + GenData::ArchivedSchoolYears(QDate(2026, 9, 1), 1),
                 (QStringList{"2023-2024", "2024-2025", "2025-2026"}));
    }

    // Another seed, another content; the same one gives the same file (see the replaced database below).
    void seedDecidesTheContent()
    {
        GenData::Options o = m_options;
        o.seed = 8;
        QString error;
        QVERIFY2(GenData::GenerateDatabase(m_temp.filePath("other.mdb"), o, nullptr, &error), qPrintable(error));
        QVERIFY(TestSupport::fileBytes(m_temp.filePath("other.mdb")) != TestSupport::fileBytes(m_database));
    }

    // A database in the folder, whatever its letter case, is kept unless
    // replacing is asked for; then the new file alone remains.
    void existingDatabaseIsRefusedUnlessReplaced()
    {
        const QString folder = m_temp.filePath("existing"), old = folder + "/DONNEES.MDB";
        QVERIFY(QDir().mkpath(folder));
        TestSupport::writeFile(old, "the teacher's data");
        QString error;
        QVERIFY(!GenData::GenerateDataFolder(folder, m_options, false, nullptr, &error));
        QVERIFY2(error.contains(QLatin1String("DONNEES.MDB")) && error.contains(QLatin1String("--force")), qPrintable(error));
        QCOMPARE(TestSupport::fileBytes(old), QByteArray("the teacher's data"));
        QCOMPARE(TestSupport::fileNames(folder), QStringList{"DONNEES.MDB"});

        QVERIFY2(GenData::GenerateDataFolder(folder, m_options, true, nullptr, &error), qPrintable(error));
        QCOMPARE(TestSupport::fileNames(folder), (QStringList{"Export.vid", "donnees.mdb"}));
        // The same options and seed give the same file; the library never writes over one.
        const QString live = DataFiles::LiveDatabase(folder);
        QCOMPARE(TestSupport::fileBytes(live), TestSupport::fileBytes(m_database));
        QVERIFY(!GenData::GenerateDatabase(live, m_options, nullptr, &error));
        QCOMPARE(TestSupport::fileBytes(live), TestSupport::fileBytes(m_database));
    }

    // The derived fields are what the scoring makes of the stored items: each
    // entered exercise's total, category and letter (Null for a trimester never
    // entered), the pupils' profiles, the classes' averages and profiles.
    void derivedFieldsFollowTheScoring()
    {
        auto same = [](const QVariant &a, const QVariant &b) {
            return a.isNull() == b.isNull() && a.toString() == b.toString();
        };
        QHash<QString, QList<QVariantMap>> classes; // by "school/class"
        int absent = 0;
        const QString pupils = "SELECT c.NIVEAU, e.* FROM ELEVE e JOIN CLASSE c USING (NOECOLE, NOCLASSE)";
        for (QSqlQuery q = query(m_database, pupils); q.isValid(); q.next()) {
            QVariantMap pupil, expected;
            for (int i = 1; i < q.record().count(); ++i)
                pupil.insert(q.record().fieldName(i), q.value(i));
            const int level = LevelCode(q.value(0).toString());
            for (int t : EvaluatedTrimesters(level)) {
                for (int e = 1; e <= 3; ++e) {
                    QStringList boxes;
                    for (int i = 1; i <= ItemCount(level, t, e); ++i)
                        boxes.append(IsScored(pupil[ItemField(t, e, i)]) ? pupil[ItemField(t, e, i)].toString() : "_");
                    const QVariantMap fields = ExerciseFields(level, t, e, boxes, EvaluateExercise(level, t, e, boxes));
                    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
                        expected.insert(it.key(), pupil[ItemField(t, 1, 1)].isNull() ? QVariant() : it.value());
                    absent += expected.value(ExerciseField(t, e, "CAT")) == QVariant(99);
                }
            }
            const PupilProfile p = ComputePupilProfileValues(level, [&](const QString &f) { return pupil.value(f); });
            for (int slot = 1; slot <= 4; ++slot) {
                expected.insert("PROFIL_" + DomainSuffix(slot), p.profile[size_t(slot - 1)]);
                expected.insert("MOYCAT_" + DomainSuffix(slot), p.moycat[size_t(slot - 1)]);
            }
            for (auto it = expected.cbegin(); it != expected.cend(); ++it)
                QVERIFY2(same(pupil[it.key()], it.value()), qPrintable(pupil["NOM"].toString() + ' ' + it.key()));
            classes[pupil["NOECOLE"].toString() + '/' + pupil["NOCLASSE"].toString()].append(pupil);
        }
        QVERIFY(absent > 0);
        const QString classRows = "SELECT NOECOLE || '/' || NOCLASSE, NIVEAU, * FROM CLASSE";
        for (QSqlQuery q = query(m_database, classRows); q.isValid(); q.next()) {
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
};

QTEST_GUILESS_MAIN(TestGenData)
#include "tst_gendata.moc"
