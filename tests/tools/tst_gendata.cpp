#include "Generator.h"
#include "TestSupport.h"

#include "common/AppState.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/Schema.h"
#include "evaluation/EvaluationModel.h"
#include "mainwindow/Navigation.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Rows of a query on the database file at `path`, each as a list of values.
QList<QVariantList> rows(const QString &path, const QString &sql)
{
    static int counter = 0;
    const QString name = QStringLiteral("tst_gendata_%1").arg(++counter);
    QList<QVariantList> result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            result.append(row);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QVariant single(const QString &path, const QString &sql)
{
    const QList<QVariantList> r = rows(path, sql);
    return r.isEmpty() ? QVariant() : r.first().value(0);
}

// Every row of every table, in file order, as text.
QStringList dump(const QString &path)
{
    QStringList lines;
    for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "PARCOURS", "CHANGEANNEE"}) {
        for (const QVariantList &row : rows(path, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QLatin1String(table)))) {
            QStringList cells{QLatin1String(table)};
            for (const QVariant &v : row)
                cells.append(v.isNull() ? QStringLiteral("<null>") : v.toString());
            lines.append(cells.join(QLatin1Char('|')));
        }
    }
    return lines;
}

struct ItemCheck
{
    int exercises = 0;
    int absentExercises = 0;
    int trimesters = 0;
    int missingTrimesters = 0;
    double scoreShare = 0; // sum of score / maximum over the items scored
    int scored = 0;
    QStringList faults;
};

// Checks every result column of pupil rows against the evaluation model: the
// items of the level's exercises hold 0..ItemMax, or 99 for the whole
// exercise, or Null for the whole trimester; every other column is Null.
void checkResults(const QString &path, const QString &sql, ItemCheck *check)
{
    const QStringList columns = GenData::ResultRow::Columns();
    const QList<QVariantList> all = rows(path, sql);
    for (const QVariantList &row : all) {
        // Columns: the level, the pupil's name, then the result columns.
        const int level = LevelCode(row.at(0).toString());
        const QString who = row.at(1).toString();
        if (level == 0) {
            check->faults.append(QStringLiteral("%1: no level").arg(who));
            continue;
        }
        QSet<QString> items;
        for (int t : EvaluatedTrimesters(level)) {
            int nullItems = 0, trimesterItems = 0;
            for (int e = 1; e <= 3; ++e) {
                int absent = 0, count = ItemCount(level, t, e);
                for (int i = 1; i <= count; ++i) {
                    const QString field = ItemField(t, e, i);
                    items.insert(field);
                    const QVariant v = row.at(2 + columns.indexOf(field));
                    ++trimesterItems;
                    if (v.isNull()) {
                        ++nullItems;
                        continue;
                    }
                    const int score = v.toInt();
                    if (score == 99) {
                        ++absent;
                    } else if (score < 0 || score > ItemMax(level, t, e, i)) {
                        check->faults.append(QStringLiteral("%1: %2 = %3").arg(who, field).arg(score));
                    } else {
                        check->scoreShare += double(score) / ItemMax(level, t, e, i);
                        ++check->scored;
                    }
                }
                if (absent != 0 && absent != count)
                    check->faults.append(QStringLiteral("%1: T%2 E%3 partly absent").arg(who).arg(t).arg(e));
                if (absent == count)
                    ++check->absentExercises;
                ++check->exercises;
            }
            if (nullItems != 0 && nullItems != trimesterItems)
                check->faults.append(QStringLiteral("%1: T%2 partly missing").arg(who).arg(t));
            if (nullItems == trimesterItems)
                ++check->missingTrimesters;
            ++check->trimesters;
        }
        for (int c = 0; c < columns.size(); ++c)
            if (!items.contains(columns.at(c)) && !row.at(2 + c).isNull())
                check->faults.append(QStringLiteral("%1: %2 should be empty").arg(who, columns.at(c)));
    }
}

const QString PupilLevel = QStringLiteral(
    "(SELECT NIVEAU FROM CLASSE c WHERE c.NOECOLE = ELEVE.NOECOLE AND c.NOCLASSE = ELEVE.NOCLASSE)");

QString resultSelect(const QString &levelColumn, const QString &from)
{
    return QStringLiteral("SELECT %1, NOM, %2 FROM %3")
        .arg(levelColumn, GenData::ResultRow::Columns().join(QLatin1String(", ")), from);
}

} // namespace

class TestGenData : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_temp;
    QString m_folder;
    QString m_database;
    GenData::Options m_options;

    GenData::Options smallOptions() const
    {
        GenData::Options o;
        o.schools = 2;
        o.classesPerSchool = 4; // GS, CP, CE1, GS
        o.pupilsPerClass = 6;
        o.archivedYears = 3;
        o.seed = 7;
        o.today = QDate(2026, 3, 15);
        return o;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        m_folder = m_temp.filePath(QStringLiteral("small"));
        m_options = smallOptions();
        GenData::Summary summary;
        QString error;
        QVERIFY2(GenData::GenerateDataFolder(m_folder, m_options, false, &summary, &error), qPrintable(error));
        m_database = DataFiles::LiveDatabase(m_folder);
        QVERIFY(!m_database.isEmpty());
        QCOMPARE(summary.schools, 2);
        QCOMPARE(summary.classes, 8);
        QCOMPARE(summary.pupils, 48);
        QCOMPARE(summary.archivedRows, 3 * 48);
        QCOMPARE(summary.fileSize, QFileInfo(m_database).size());
    }

    void schoolYears_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("years");
        QTest::newRow("march") << QDate(2026, 3, 15) << QStringList{"2023-2024", "2024-2025"};
        QTest::newRow("31 august") << QDate(2026, 8, 31) << QStringList{"2023-2024", "2024-2025"};
        QTest::newRow("1 september") << QDate(2026, 9, 1) << QStringList{"2024-2025", "2025-2026"};
        QTest::newRow("december") << QDate(2026, 12, 31) << QStringList{"2024-2025", "2025-2026"};
    }

    // The last archived year is the one before the school year in progress.
    void schoolYears()
    {
        QFETCH(QDate, today);
        QFETCH(QStringList, years);
        QCOMPARE(GenData::ArchivedSchoolYears(today, 2), years);
        QVERIFY(GenData::ArchivedSchoolYears(today, 0).isEmpty());
    }

    void folderHoldsSoundDatabaseAndTemplate()
    {
        const Schema::FileCheck check = Schema::CheckDatabaseFile(m_database, true);
        QVERIFY2(check.sound(), qPrintable(check.detail));
        QCOMPARE(QFileInfo(m_database).fileName(), DataFiles::Database);
        QVERIFY(!DataFiles::Resolve(m_folder, DataFiles::ExportTemplate).isEmpty());
        // Nothing else is left behind (no temporary file).
        QCOMPARE(QDir(m_folder).entryList(QDir::Files, QDir::Name), (QStringList{"Export.vid", "donnees.mdb"}));
        QCOMPARE(single(m_database, "SELECT count(*) FROM ECOLE").toInt(), 2);
        QCOMPARE(single(m_database, "SELECT count(*) FROM CLASSE").toInt(), 8);
        QCOMPARE(single(m_database, "SELECT count(*) FROM ELEVE").toInt(), 48);
        QCOMPARE(single(m_database, "SELECT count(*) FROM PARCOURS").toInt(), 3 * 48);
        QCOMPARE(single(m_database, "SELECT count(*) FROM CHANGEANNEE").toInt(), 3 * 2);
        QCOMPARE(single(m_database, "SELECT count(*) FROM IMPORTE").toInt(), 0);
    }

    void schoolsAndClasses()
    {
        const QList<QVariantList> schools =
            rows(m_database, "SELECT NOECOLE, NOM_ECOLE, NOM_COMM, NOM_COLL, NOM_COMC, ZEP, BCD, STAGE FROM ECOLE ORDER BY rowid");
        QSet<QString> names;
        for (int s = 0; s < schools.size(); ++s) {
            const QVariantList &r = schools.at(s);
            QCOMPARE(r.at(0).toInt(), s + 1);
            names.insert(r.at(1).toString());
            for (int c = 1; c <= 4; ++c)
                QVERIFY(!r.at(c).toString().trimmed().isEmpty());
            QVERIFY(r.at(5).toInt() >= 1 && r.at(5).toInt() <= 2);
            QVERIFY(r.at(6).toInt() >= 1 && r.at(6).toInt() <= 3);
            QVERIFY(r.at(7).toInt() >= 1 && r.at(7).toInt() <= 2);
        }
        QCOMPARE(names.size(), schools.size());

        const QList<QVariantList> classes = rows(
            m_database, "SELECT NOECOLE, NOCLASSE, LIBELLE, ENSEIGN, NIVEAU, FORMAT, EXPER, TEMP_UTIL FROM CLASSE ORDER BY rowid");
        QHash<int, QSet<QString>> labels;
        for (const QVariantList &r : classes) {
            const int classNo = r.at(1).toInt();
            const QString level = r.at(4).toString();
            QCOMPARE(level, LevelName((classNo - 1) % 3 + 1));
            // The class dialog's composition: teacher, blank, level.
            QCOMPARE(r.at(2).toString(), r.at(3).toString() + QLatin1Char(' ') + level);
            QVERIFY2(!labels[r.at(0).toInt()].contains(r.at(2).toString()), qPrintable(r.at(2).toString()));
            labels[r.at(0).toInt()].insert(r.at(2).toString());
            QVERIFY(r.at(5).toInt() >= 1 && r.at(5).toInt() <= 3);
            QVERIFY(r.at(6).toInt() >= 1 && r.at(6).toInt() <= 4);
            QVERIFY(r.at(7).toInt() >= 1 && r.at(7).toInt() <= 4);
        }
        QCOMPARE(labels.value(1).size(), 4);
        QCOMPARE(labels.value(2).size(), 4);
    }

    void pupilsHaveUniqueNamesInTheirClass()
    {
        QCOMPARE(single(m_database, "SELECT count(*) FROM (SELECT 1 FROM ELEVE GROUP BY NOECOLE, NOCLASSE, NOM HAVING count(*) > 1)").toInt(), 0);
        QCOMPARE(single(m_database, "SELECT count(*) FROM (SELECT 1 FROM PARCOURS GROUP BY ANNEE, NOECOLE, NOCLASSE, NOM "
                                    "HAVING count(*) > 1)").toInt(),
                 0);
        QCOMPARE(single(m_database, "SELECT count(*) FROM ELEVE WHERE CSP NOT BETWEEN 1 AND 7 OR trim(NOM) = ''").toInt(), 0);
        // Every pupil belongs to a class of its school.
        QCOMPARE(single(m_database, "SELECT count(*) FROM ELEVE LEFT JOIN CLASSE USING (NOECOLE, NOCLASSE) "
                                    "WHERE CLASSE.LIBELLE IS NULL").toInt(),
                 0);
        bool accented = false;
        for (const QVariantList &r : rows(m_database, "SELECT NOM FROM ELEVE"))
            accented = accented || r.at(0).toString().contains(QRegularExpression(QStringLiteral("[^\\x00-\\x7f]")));
        QVERIFY(accented);
    }

    void itemScoresFollowTheModel()
    {
        ItemCheck check;
        checkResults(m_database, resultSelect(PupilLevel, "ELEVE"), &check);
        checkResults(m_database, resultSelect("Niveau", "PARCOURS"), &check);
        QVERIFY2(check.faults.isEmpty(), qPrintable(check.faults.mid(0, 10).join(QLatin1String("\n"))));
        QVERIFY(check.scored > 0);
        // The class's derived columns are left for the scoring.
        QCOMPARE(single(m_database, "SELECT count(*) FROM CLASSE WHERE T1_E1CAT IS NOT NULL OR PROFIL_L IS NOT NULL").toInt(), 0);
    }

    // On a larger sample: absences and gaps are there, in realistic shares,
    // and the scores spread over their range.
    void absencesAndGapsAreRealistic()
    {
        GenData::Options o = smallOptions();
        o.schools = 3;
        o.classesPerSchool = 3;
        o.pupilsPerClass = 30;
        o.archivedYears = 2;
        const QString path = m_temp.filePath(QStringLiteral("sample.mdb"));
        QString error;
        QVERIFY2(GenData::GenerateDatabase(path, o, nullptr, &error), qPrintable(error));
        ItemCheck check;
        checkResults(path, resultSelect(PupilLevel, "ELEVE"), &check);
        checkResults(path, resultSelect("Niveau", "PARCOURS"), &check);
        QVERIFY2(check.faults.isEmpty(), qPrintable(check.faults.mid(0, 10).join(QLatin1String("\n"))));
        const double absent = double(check.absentExercises) / check.exercises;
        const double missing = double(check.missingTrimesters) / check.trimesters;
        QVERIFY2(absent > 0.02 && absent < 0.10, qPrintable(QString::number(absent)));
        QVERIFY2(missing > 0.005 && missing < 0.08, qPrintable(QString::number(missing)));
        const double mean = check.scoreShare / check.scored;
        QVERIFY2(mean > 0.4 && mean < 0.9, qPrintable(QString::number(mean)));
        QVERIFY(single(path, "SELECT count(*) FROM ELEVE WHERE T3_E1P1 = 0").toInt() > 0);
        QVERIFY(single(path, "SELECT count(*) FROM ELEVE WHERE T2_E3P1 = 6").toInt() > 0); // GS maximum
    }

    void archivedYearsAndTheirLog()
    {
        QCOMPARE(rows(m_database, "SELECT DISTINCT ANNEE FROM PARCOURS ORDER BY ANNEE"),
                 (QList<QVariantList>{{"2022-2023"}, {"2023-2024"}, {"2024-2025"}}));
        // Each archived year holds every class of every school, at its level.
        QCOMPARE(single(m_database, "SELECT count(*) FROM PARCOURS p JOIN CLASSE c USING (NOECOLE, NOCLASSE) "
                                    "WHERE p.Niveau = c.NIVEAU").toInt(),
                 3 * 48);

        const QList<QVariantList> log =
            rows(m_database, "SELECT NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE FROM CHANGEANNEE ORDER BY rowid");
        QCOMPARE(log.size(), 6);
        QString previousDate;
        for (int k = 0; k < log.size(); ++k) {
            const QVariantList &r = log.at(k);
            QCOMPARE(r.at(0).toInt(), k + 1);
            const QString year = r.at(2).toString();
            QCOMPARE(r.at(5).toString(), QStringLiteral("Année ") + year);
            QCOMPARE(r.at(3).toInt(), single(m_database, QStringLiteral("SELECT count(*) FROM PARCOURS WHERE NOECOLE = %1 "
                                                                        "AND ANNEE = '%2'")
                                                             .arg(r.at(1).toInt())
                                                             .arg(year))
                                          .toInt());
            const QDateTime when = QDateTime::fromString(r.at(4).toString(), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
            QVERIFY2(when.isValid(), qPrintable(r.at(4).toString()));
            QCOMPARE(when.date().year(), year.right(4).toInt());
            QCOMPARE(when.date().month(), 7);
            QVERIFY(when.date().day() <= 7);
            QVERIFY(r.at(4).toString() >= previousDate);
            previousDate = r.at(4).toString();
        }
        QCOMPARE(log.last().at(2).toString(), QStringLiteral("2024-2025"));
    }

    // Last year's GS pupils are this year's CP pupils, in the same school:
    // the refilling of classes from last year finds them.
    void pupilsMoveUpWithTheirClass()
    {
        const int cp = single(m_database, "SELECT count(*) FROM ELEVE e JOIN CLASSE c USING (NOECOLE, NOCLASSE) WHERE c.NIVEAU = 'CP'").toInt();
        const int movedUp = single(m_database, "SELECT count(DISTINCT e.rowid) FROM ELEVE e JOIN CLASSE c USING (NOECOLE, NOCLASSE) "
                                               "JOIN PARCOURS p ON p.NOECOLE = e.NOECOLE AND p.NOM = e.NOM AND p.CSP = e.CSP "
                                               "WHERE c.NIVEAU = 'CP' AND p.Niveau = 'GS' AND p.ANNEE = '2024-2025'")
                                .toInt();
        QVERIFY2(movedUp >= cp * 6 / 10 && movedUp <= cp, qPrintable(QStringLiteral("%1 of %2").arg(movedUp).arg(cp)));
    }

    void sameSeedGivesSameContent()
    {
        const QString again = m_temp.filePath(QStringLiteral("again"));
        const QString other = m_temp.filePath(QStringLiteral("other"));
        GenData::Options o = m_options;
        QString error;
        QVERIFY2(GenData::GenerateDataFolder(again, o, false, nullptr, &error), qPrintable(error));
        o.seed = 8;
        QVERIFY2(GenData::GenerateDataFolder(other, o, false, nullptr, &error), qPrintable(error));
        const QStringList first = dump(m_database);
        QCOMPARE(first.size(), 2 + 8 + 48 + 3 * 48 + 6);
        QCOMPARE(dump(DataFiles::LiveDatabase(again)), first);
        QVERIFY(dump(DataFiles::LiveDatabase(other)) != first);
    }

    // A database in the folder, whatever its letter case, is kept unless
    // replacing is asked for; then the new file alone remains.
    void existingDatabaseIsRefusedUnlessReplaced()
    {
        const QString folder = m_temp.filePath(QStringLiteral("existing"));
        QVERIFY(QDir().mkpath(folder));
        const QString old = QDir(folder).filePath(QStringLiteral("DONNEES.MDB"));
        {
            QFile f(old);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the teacher's data");
        }
        GenData::Options o = m_options;
        o.schools = 1;
        QString error;
        QVERIFY(!GenData::GenerateDataFolder(folder, o, false, nullptr, &error));
        QVERIFY2(error.contains(QLatin1String("DONNEES.MDB")) && error.contains(QLatin1String("--force")), qPrintable(error));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"DONNEES.MDB"});
        QCOMPARE(QFile(old).size(), qint64(18));

        QVERIFY2(GenData::GenerateDataFolder(folder, o, true, nullptr, &error), qPrintable(error));
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), (QStringList{"Export.vid", "donnees.mdb"}));
        QVERIFY(Schema::CheckDatabaseFile(DataFiles::LiveDatabase(folder), true).sound());
        QCOMPARE(single(DataFiles::LiveDatabase(folder), "SELECT count(*) FROM ECOLE").toInt(), 1);

        // The library never writes over a file.
        const QString live = DataFiles::LiveDatabase(folder);
        const QByteArray before = TestSupport::fileBytes(live);
        QVERIFY(!GenData::GenerateDatabase(live, o, nullptr, &error));
        QCOMPARE(TestSupport::fileBytes(live), before);
    }

    void badOptionsAreRefused()
    {
        GenData::Options o = m_options;
        o.classesPerSchool = GenData::MaxClassesPerSchool + 1;
        QString error;
        const QString path = m_temp.filePath(QStringLiteral("refused.mdb"));
        QVERIFY(!GenData::GenerateDatabase(path, o, nullptr, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    // The program's own start-up path reads the file: schools, classes of
    // every level, pupils found by name.
    void programNavigatesTheFile()
    {
        Connection connection;
        connection.setDataFolder(m_folder);
        QString error;
        QVERIFY2(connection.OpenDatabase(&error), qPrintable(error));
        AppState state;
        Navigation navigation(connection, state);
        const QStringList schools = navigation.schoolNames();
        QCOMPARE(schools.size(), 2);
        const QList<Navigation::ClassEntry> classes = navigation.selectSchool(schools.at(1));
        QCOMPARE(state.CurrentSchoolNo, qint16(2));
        QList<int> levels;
        for (const Navigation::ClassEntry &c : classes)
            levels.append(c.levelCode);
        std::sort(levels.begin(), levels.end());
        QCOMPARE(levels, (QList<int>{1, 1, 2, 3}));
        for (const Navigation::ClassEntry &c : classes) {
            QCOMPARE(LevelCode(navigation.selectClass(c.label)), c.levelCode);
            const QStringList pupils = navigation.pupilNames();
            QCOMPARE(pupils.size(), 6);
            for (const QString &p : pupils)
                QVERIFY2(navigation.selectPupil(p), qPrintable(p));
        }
    }
};

QTEST_GUILESS_MAIN(TestGenData)
#include "tst_gendata.moc"
