#include "Generator.h"

#include "FrenchNames.h"
#include "data/DataFiles.h"
#include "data/InstanceLock.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace GenData {

namespace {

// How often an item series is missing: a whole exercise marked absent (99),
// a whole trimester never entered (Null).
constexpr double AbsentExerciseChance = 0.05;
constexpr double MissingTrimesterChance = 0.03;
// Share of a class that moves up with it to the next level the next year.
constexpr double StayingChance = 0.92;

const QString TempSuffix = QStringLiteral(".gendata-tmp");

// Draws from std::mt19937, whose output the standard fixes, with our own
// reductions: the std distributions differ between libraries, and the same
// seed must give the same file everywhere.
class Random
{
public:
    explicit Random(quint32 seed) : m_engine(seed) {}

    int below(int n) { return int((quint64(m_engine()) * quint64(n)) >> 32); }
    int between(int low, int high) { return low + below(high - low + 1); }
    double uniform() { return double(m_engine()) / 4294967296.0; }
    bool chance(double probability) { return uniform() < probability; }
    const QString &pick(const QStringList &list) { return list.at(below(int(list.size()))); }
    // A 1-based position drawn with the given relative weights.
    template <size_t N> int weighted(const std::array<int, N> &weights)
    {
        int total = 0;
        for (int w : weights)
            total += w;
        int draw = below(total);
        for (size_t i = 0; i < N; ++i) {
            if (draw < weights[i])
                return int(i) + 1;
            draw -= weights[i];
        }
        return int(N);
    }

private:
    std::mt19937 m_engine;
};

struct Pupil
{
    QString name;
    int csp = 0;
    double ability = 0; // 0..1: how well the pupil tends to score
};

struct ClassPlan
{
    int number = 0;
    QString level;
    QString teacher;
    int format = 0;
    int exper = 0;
    int tempUtil = 0;
};

struct SchoolPlan
{
    int number = 0;
    QString name;
    QString commune;
    QString college;
    QString collegeCommune;
    int zep = 0;
    int bcd = 0;
    int stage = 0;
    std::vector<ClassPlan> classes;
};

// The item columns and maxima of one exercise.
struct ExerciseLayout
{
    std::vector<int> columns;
    std::vector<int> maxima;
};

using TrimesterLayout = std::vector<ExerciseLayout>;

const std::vector<TrimesterLayout> &layoutOf(int level)
{
    static const std::array<std::vector<TrimesterLayout>, 3> layouts = [] {
        std::array<std::vector<TrimesterLayout>, 3> all;
        for (int lv = 1; lv <= 3; ++lv) {
            for (int t : EvaluatedTrimesters(lv)) {
                TrimesterLayout trimester;
                for (int e = 1; e <= 3; ++e) {
                    ExerciseLayout exercise;
                    for (int i = 1; i <= ItemCount(lv, t, e); ++i) {
                        exercise.columns.push_back(ResultRow::IndexOf(ItemField(t, e, i)));
                        exercise.maxima.push_back(ItemMax(lv, t, e, i));
                    }
                    trimester.push_back(exercise);
                }
                all[size_t(lv - 1)].push_back(trimester);
            }
        }
        return all;
    }();
    return layouts[size_t(level - 1)];
}

QStringList classResultColumns()
{
    QStringList columns;
    for (int t = 1; t <= 3; ++t)
        for (int e = 1; e <= 3; ++e)
            columns.append(ExerciseField(t, e, QStringLiteral("CAT")));
    for (int slot = 1; slot <= 4; ++slot)
        columns.append(QStringLiteral("PROFIL_") + DomainSuffix(slot));
    return columns;
}

QString placeholders(qsizetype count)
{
    QStringList marks(count, QStringLiteral("?"));
    return marks.join(QLatin1String(", "));
}

// A prepared statement, reset after every step.
class Statement
{
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool prepare(sqlite3 *db, const QString &sql, QString *error)
    {
        m_db = db;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &m_stmt, nullptr) == SQLITE_OK)
            return true;
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }

    void bindInt(int index, qint64 value) { sqlite3_bind_int64(m_stmt, index, value); }
    void bindText(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, const QVariant &value)
    {
        if (value.isNull()) {
            sqlite3_bind_null(m_stmt, index);
            return;
        }
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Bool:
            sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        default:
            bindText(index, value.toString());
        }
    }

    bool run(QString *error)
    {
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        if (rc == SQLITE_DONE)
            return true;
        *error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};

class Generator
{
public:
    Generator(const Options &options, sqlite3 *db) : m_options(options), m_random(options.seed), m_db(db) {}

    bool run(Summary *summary, QString *error);

private:
    bool prepareStatements(QString *error);
    void planSchools();
    bool writeSchools(QString *error);
    std::vector<Pupil> classPupils(const std::vector<Pupil> *movingUp);
    Pupil newcomer(QSet<QString> &taken);
    void drawResults(int level, const Pupil &pupil, ResultRow &row);
    bool writeClass(const ClassPlan &plan, const GeneratedClass &generated, const QString &year, QString *error);
    bool writeYearChanges(const QString &year, int pupilsPerSchool, QString *error);

    Options m_options;
    Random m_random;
    sqlite3 *m_db;
    std::vector<SchoolPlan> m_schools;
    Statement m_insertSchool;
    Statement m_insertClass;
    Statement m_insertPupil;
    Statement m_insertArchived;
    Statement m_insertYearChange;
    QStringList m_classResultColumns = classResultColumns();
    int m_lastOperation = 0;
    Summary m_summary;
};

bool Generator::prepareStatements(QString *error)
{
    const QStringList results = ResultRow::Columns();
    const QString resultList = results.join(QLatin1String(", "));
    return m_insertSchool.prepare(
               m_db,
               QStringLiteral("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE, NOM_COMM, NOM_COLL, NOM_COMC, ZEP, BCD, STAGE) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
               error) &&
           m_insertClass.prepare(
               m_db,
               QStringLiteral("INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, ENSEIGN, NIVEAU, FORMAT, "
                              "EXPER, TEMP_UTIL, %1) VALUES (%2)")
                   .arg(m_classResultColumns.join(QLatin1String(", ")), placeholders(8 + m_classResultColumns.size())),
               error) &&
           m_insertPupil.prepare(m_db,
                                 QStringLiteral("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, %1) VALUES (%2)")
                                     .arg(resultList, placeholders(4 + results.size())),
                                 error) &&
           m_insertArchived.prepare(
               m_db,
               QStringLiteral("INSERT INTO PARCOURS (ANNEE, Niveau, NOECOLE, NOCLASSE, NOM, CSP, %1) "
                              "VALUES (%2)")
                   .arg(resultList, placeholders(6 + results.size())),
               error) &&
           m_insertYearChange.prepare(
               m_db,
               QStringLiteral("INSERT INTO CHANGEANNEE (NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE) "
                              "VALUES (?, ?, ?, ?, ?, ?)"),
               error);
}

void Generator::planSchools()
{
    using namespace FrenchNames;
    QSet<QString> schoolNames;
    for (int s = 1; s <= m_options.schools; ++s) {
        SchoolPlan school;
        school.number = s;
        school.commune = m_random.pick(Communes());
        // Common names come back in many communes: the commune, then a
        // number, tells them apart in one file.
        QString name = m_random.pick(SchoolPrefixes()) + QLatin1Char(' ') + m_random.pick(SchoolPatrons());
        if (schoolNames.contains(name))
            name += QStringLiteral(" (%1)").arg(school.commune);
        for (int n = 2; schoolNames.contains(name); ++n)
            name = name.section(QStringLiteral(" n°"), 0, 0) + QStringLiteral(" n°%1").arg(n);
        schoolNames.insert(name);
        school.name = name;
        school.college = m_random.pick(Colleges());
        school.collegeCommune = m_random.chance(0.6) ? school.commune : m_random.pick(Communes());
        school.zep = m_random.weighted(std::array<int, 2>{80, 20});
        school.bcd = m_random.between(1, 3);
        school.stage = m_random.between(1, 2);

        QSet<QString> teachers;
        for (int c = 1; c <= m_options.classesPerSchool; ++c) {
            ClassPlan plan;
            plan.number = c;
            plan.level = LevelName((c - 1) % 3 + 1);
            QString surname;
            do
                surname = m_random.pick(LastNames());
            while (teachers.contains(surname) && teachers.size() < LastNames().size());
            teachers.insert(surname);
            plan.teacher = (m_random.chance(0.75) ? QStringLiteral("Mme ") : QStringLiteral("M. ")) + surname;
            plan.format = m_random.between(1, 3);
            plan.exper = m_random.between(1, 4);
            plan.tempUtil = m_random.between(1, 4);
            school.classes.push_back(plan);
        }
        m_schools.push_back(school);
    }
}

bool Generator::writeSchools(QString *error)
{
    for (const SchoolPlan &school : m_schools) {
        Statement &st = m_insertSchool;
        st.bindInt(1, school.number);
        st.bindText(2, school.name);
        st.bindText(3, school.commune);
        st.bindText(4, school.college);
        st.bindText(5, school.collegeCommune);
        st.bindInt(6, school.zep);
        st.bindInt(7, school.bcd);
        st.bindInt(8, school.stage);
        if (!st.run(error))
            return false;
    }
    return true;
}

Pupil Generator::newcomer(QSet<QString> &taken)
{
    Pupil pupil;
    for (int attempt = 0;; ++attempt) {
        pupil.name =
            m_random.pick(FrenchNames::FirstNames()) + QLatin1Char(' ') + m_random.pick(FrenchNames::LastNames());
        if (attempt >= 1000) // only for classes far larger than real ones
            pupil.name += QStringLiteral(" %1").arg(attempt);
        if (!taken.contains(pupil.name))
            break;
    }
    taken.insert(pupil.name);
    // Ouvrier / Employé and Cadre moyen are the most frequent occupations.
    pupil.csp = m_random.weighted(std::array<int, 7>{8, 3, 38, 22, 14, 10, 5});
    pupil.ability = 0.3 + 0.7 * (m_random.uniform() + m_random.uniform() + m_random.uniform()) / 3;
    return pupil;
}

// Most of last year's class of the level below moves up together; the others
// left, and newcomers take their places.
std::vector<Pupil> Generator::classPupils(const std::vector<Pupil> *movingUp)
{
    std::vector<Pupil> pupils;
    QSet<QString> taken;
    if (movingUp) {
        for (const Pupil &previous : *movingUp) {
            if (int(pupils.size()) >= m_options.pupilsPerClass || !m_random.chance(StayingChance))
                continue;
            Pupil pupil = previous;
            pupil.ability = std::clamp(pupil.ability + (m_random.uniform() - 0.5) * 0.1, 0.2, 1.0);
            taken.insert(pupil.name);
            pupils.push_back(pupil);
        }
    }
    while (int(pupils.size()) < m_options.pupilsPerClass)
        pupils.push_back(newcomer(taken));
    return pupils;
}

void Generator::drawResults(int level, const Pupil &pupil, ResultRow &row)
{
    row.clear();
    for (const TrimesterLayout &trimester : layoutOf(level)) {
        if (m_random.chance(MissingTrimesterChance))
            continue;
        for (const ExerciseLayout &exercise : trimester) {
            const bool absent = m_random.chance(AbsentExerciseChance);
            for (size_t k = 0; k < exercise.columns.size(); ++k) {
                const int max = exercise.maxima[k];
                int score = 99;
                if (!absent) {
                    const double x = pupil.ability + (m_random.uniform() - 0.5) * 0.6;
                    score = std::clamp(int(std::floor(x * (max + 1))), 0, max);
                }
                row.set(exercise.columns[k], score);
            }
        }
    }
}

bool Generator::writeClass(const ClassPlan &plan, const GeneratedClass &generated, const QString &year, QString *error)
{
    const qsizetype resultCount = ResultRow::Columns().size();
    const bool archived = !year.isEmpty();
    Statement &st = archived ? m_insertArchived : m_insertPupil;
    for (const GeneratedPupil &pupil : generated.pupils) {
        int p = 1;
        if (archived) {
            st.bindText(p++, year);
            st.bindText(p++, generated.level);
        }
        st.bindInt(p++, generated.schoolNo);
        st.bindInt(p++, generated.classNo);
        st.bindText(p++, pupil.name);
        st.bindInt(p++, pupil.csp);
        for (int i = 0; i < resultCount; ++i)
            st.bind(p++, pupil.results.at(i));
        if (!st.run(error))
            return false;
    }
    if (archived)
        return true;

    Statement &cs = m_insertClass;
    cs.bindInt(1, plan.number);
    cs.bindInt(2, generated.schoolNo);
    // As the class dialog composes it: teacher, a blank, the level.
    cs.bindText(3, plan.teacher + QLatin1Char(' ') + plan.level);
    cs.bindText(4, plan.teacher);
    cs.bindText(5, plan.level);
    cs.bindInt(6, plan.format);
    cs.bindInt(7, plan.exper);
    cs.bindInt(8, plan.tempUtil);
    int p = 9;
    for (const QString &column : std::as_const(m_classResultColumns))
        cs.bind(p++, generated.classResults.value(column));
    return cs.run(error);
}

// The year changes of one school year, school after school, in the first
// days of July of the year's end; operation numbers run on across years.
bool Generator::writeYearChanges(const QString &year, int pupilsPerSchool, QString *error)
{
    const QDateTime start(QDate(year.right(4).toInt(), 7, 1), QTime(8, 0));
    std::vector<int> offsets;
    for (size_t s = 0; s < m_schools.size(); ++s)
        offsets.push_back(m_random.below(6 * 24 * 3600));
    std::sort(offsets.begin(), offsets.end());
    for (size_t s = 0; s < m_schools.size(); ++s) {
        Statement &st = m_insertYearChange;
        st.bindInt(1, ++m_lastOperation);
        st.bindInt(2, m_schools[s].number);
        st.bindText(3, year);
        st.bindInt(4, pupilsPerSchool);
        st.bindText(5, start.addSecs(offsets[s]).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        st.bindText(6, QStringLiteral("Année ") + year);
        if (!st.run(error))
            return false;
        ++m_summary.yearChanges;
    }
    return true;
}

bool Generator::run(Summary *summary, QString *error)
{
    if (!prepareStatements(error))
        return false;
    planSchools();
    if (!writeSchools(error))
        return false;

    const QStringList archivedYears = ArchivedSchoolYears(m_options.today, m_options.archivedYears);
    const int classCount = m_options.classesPerSchool;
    // Last year's pupils of every class of every school.
    std::vector<std::vector<std::vector<Pupil>>> lastYear;
    GeneratedClass generated;
    for (int y = 0; y <= archivedYears.size(); ++y) {
        const bool current = y == archivedYears.size();
        const QString year = current ? QString() : archivedYears.at(y);
        std::vector<std::vector<std::vector<Pupil>>> thisYear(m_schools.size());
        for (size_t s = 0; s < m_schools.size(); ++s) {
            const SchoolPlan &school = m_schools[s];
            for (int c = 0; c < classCount; ++c) {
                const ClassPlan &plan = school.classes[size_t(c)];
                const int level = LevelCode(plan.level);
                // Classes cycle GS, CP, CE1: the class before this one is of the level below.
                const bool movesUp = y > 0 && level > 1 && c > 0;
                thisYear[s].push_back(classPupils(movesUp ? &lastYear[s][size_t(c - 1)] : nullptr));

                generated.schoolNo = school.number;
                generated.classNo = plan.number;
                generated.level = plan.level;
                generated.classResults.clear();
                generated.pupils.resize(thisYear[s].back().size());
                for (size_t k = 0; k < generated.pupils.size(); ++k) {
                    const Pupil &pupil = thisYear[s].back()[k];
                    GeneratedPupil &row = generated.pupils[k];
                    row.name = pupil.name;
                    row.csp = pupil.csp;
                    drawResults(level, pupil, row.results);
                }
                FillDerivedFields(generated);
                if (!writeClass(plan, generated, year, error))
                    return false;
                if (current) {
                    ++m_summary.classes;
                    m_summary.pupils += int(generated.pupils.size());
                } else {
                    m_summary.archivedRows += qint64(generated.pupils.size());
                }
            }
        }
        if (!current && !writeYearChanges(year, classCount * m_options.pupilsPerClass, error))
            return false;
        lastYear = std::move(thisYear);
    }
    m_summary.schools = int(m_schools.size());
    m_summary.archivedYears = int(archivedYears.size());
    *summary = m_summary;
    return true;
}

bool checkOptions(const Options &o, QString *error)
{
    auto outside = [&](int value, int max, const char *what) {
        if (value >= 0 && value <= max)
            return false;
        *error = QStringLiteral("%1 must be between 0 and %2").arg(QLatin1String(what)).arg(max);
        return true;
    };
    if (outside(o.schools, MaxSchools, "the number of schools") ||
        outside(o.classesPerSchool, MaxClassesPerSchool, "the number of classes per school") ||
        outside(o.pupilsPerClass, MaxPupilsPerClass, "the number of pupils per class") ||
        outside(o.archivedYears, MaxArchivedYears, "the number of archived years"))
        return false;
    if (!o.today.isValid()) {
        *error = QStringLiteral("invalid date");
        return false;
    }
    return true;
}

void removeDatabaseFile(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

} // namespace

QString SchoolYearText(int firstYear)
{
    return QStringLiteral("%1-%2").arg(firstYear).arg(firstYear + 1);
}

int CurrentSchoolYearStart(const QDate &today)
{
    return today.month() > 8 ? today.year() : today.year() - 1;
}

QStringList ArchivedSchoolYears(const QDate &today, int count)
{
    const int current = CurrentSchoolYearStart(today);
    QStringList years;
    for (int k = count; k >= 1; --k)
        years.append(SchoolYearText(current - k));
    return years;
}

const QStringList &ResultRow::Columns()
{
    static const QStringList columns = [] {
        QStringList c = PupilResultColumns();
        for (const char *prefix : {"PROFIL_", "MOYCAT_"})
            for (int slot = 1; slot <= 4; ++slot)
                c.append(QLatin1String(prefix) + DomainSuffix(slot));
        return c;
    }();
    return columns;
}

int ResultRow::IndexOf(const QString &column)
{
    static const QHash<QString, int> positions = [] {
        QHash<QString, int> h;
        for (int i = 0; i < Columns().size(); ++i)
            h.insert(Columns().at(i).toUpper(), i);
        return h;
    }();
    return positions.value(column.toUpper(), -1);
}

ResultRow::ResultRow() : m_values(size_t(Columns().size())) {}

void ResultRow::clear()
{
    std::fill(m_values.begin(), m_values.end(), QVariant());
}

QVariant ResultRow::value(const QString &column) const
{
    const int index = IndexOf(column);
    return index < 0 ? QVariant() : m_values[size_t(index)];
}

bool ResultRow::setValue(const QString &column, const QVariant &value)
{
    const int index = IndexOf(column);
    if (index < 0)
        return false;
    m_values[size_t(index)] = value;
    return true;
}

namespace {

// Position of a result column named exactly as the model names it.
int columnIndex(const QString &column)
{
    static const QHash<QString, int> positions = [] {
        QHash<QString, int> h;
        for (int i = 0; i < ResultRow::Columns().size(); ++i)
            h.insert(ResultRow::Columns().at(i), i);
        return h;
    }();
    return positions.value(column, -1);
}

FieldReader readerOf(const ResultRow &row)
{
    return [&row](const QString &column) {
        const int index = columnIndex(column);
        return index < 0 ? QVariant() : row.at(index);
    };
}

// The item columns of one exercise, and the fields its validation stores for
// every combination of item boxes (a score 0..max, or "_" coded max + 1),
// computed by the scoring the first time a combination is met: the classes of
// a large file repeat the same few hundred combinations.
struct ExerciseScoring
{
    int level = 0, trimester = 0, exercise = 0;
    std::vector<int> items; // column indices
    std::vector<int> radix; // max + 2 per item
    std::vector<std::vector<std::pair<int, QVariant>>> stored;
    std::vector<bool> known;

    const std::vector<std::pair<int, QVariant>> &fieldsFor(const ResultRow &row)
    {
        size_t code = 0;
        QStringList boxes;
        for (size_t k = 0; k < items.size(); ++k) {
            const QVariant score = row.at(items[k]);
            const int box = IsScored(score) ? std::clamp(score.toInt(), 0, radix[k] - 2) : radix[k] - 1;
            code = code * size_t(radix[k]) + size_t(box);
        }
        if (!known[code]) {
            size_t rest = code;
            QStringList texts(qsizetype(items.size()));
            for (size_t k = items.size(); k-- > 0;) {
                const int box = int(rest % size_t(radix[k]));
                rest /= size_t(radix[k]);
                texts[qsizetype(k)] = box == radix[k] - 1 ? QStringLiteral("_") : QString::number(box);
            }
            const QVariantMap fields =
                ExerciseFields(level, trimester, exercise, texts, EvaluateExercise(level, trimester, exercise, texts));
            for (auto it = fields.cbegin(); it != fields.cend(); ++it)
                stored[code].push_back({columnIndex(it.key()), it.value()});
            known[code] = true;
        }
        return stored[code];
    }
};

// The exercises of each level's evaluated trimesters, in order.
std::vector<ExerciseScoring> &exercisesOf(int level)
{
    static std::array<std::vector<ExerciseScoring>, 3> all = [] {
        std::array<std::vector<ExerciseScoring>, 3> levels;
        for (int lv = 1; lv <= 3; ++lv) {
            for (int t : EvaluatedTrimesters(lv)) {
                for (int e = 1; e <= 3; ++e) {
                    ExerciseScoring x{lv, t, e, {}, {}, {}, {}};
                    size_t combinations = 1;
                    for (int i = 1; i <= ItemCount(lv, t, e); ++i) {
                        x.items.push_back(columnIndex(ItemField(t, e, i)));
                        x.radix.push_back(ItemMax(lv, t, e, i) + 2);
                        combinations *= size_t(x.radix.back());
                    }
                    x.stored.resize(combinations);
                    x.known.resize(combinations);
                    levels[size_t(lv - 1)].push_back(std::move(x));
                }
            }
        }
        return levels;
    }();
    return all[size_t(level - 1)];
}

} // namespace

// What validating the entry window with the drawn scores, then selecting each
// pupil and the class, would store: each entered trimester's exercises
// evaluated from their item boxes ("_" for the absence code), the pupils'
// domain profiles, the class's averages and profiles.
void FillDerivedFields(GeneratedClass &generatedClass)
{
    const int level = LevelCode(generatedClass.level);
    if (level == 0)
        return;
    QList<FieldReader> readers;
    for (GeneratedPupil &pupil : generatedClass.pupils) {
        ResultRow &row = pupil.results;
        for (ExerciseScoring &exercise : exercisesOf(level)) {
            // A trimester never entered has every item Null and keeps its fields Null.
            if (row.at(exercise.items.front()).isNull())
                continue;
            for (const auto &[column, value] : exercise.fieldsFor(row))
                row.set(column, value);
        }
        const PupilProfile profile = ComputePupilProfileValues(level, readerOf(row));
        for (int slot = 1; slot <= 4; ++slot) {
            row.set(columnIndex(QStringLiteral("PROFIL_") + DomainSuffix(slot)), profile.profile[size_t(slot - 1)]);
            row.set(columnIndex(QStringLiteral("MOYCAT_") + DomainSuffix(slot)), profile.moycat[size_t(slot - 1)]);
        }
        readers.append(readerOf(row));
    }
    // A class without pupils keeps its class results unset, as the program leaves them.
    if (readers.isEmpty())
        return;
    const ClassProfile profile = ComputeClassProfileValues(level, readers);
    for (int t = 1; t <= 3; ++t)
        for (int e = 1; e <= 3; ++e)
            generatedClass.classResults.insert(ExerciseField(t, e, QStringLiteral("CAT")),
                                               profile.averages[size_t(t - 1)][size_t(e - 1)]);
    for (int slot = 1; slot <= 4; ++slot)
        generatedClass.classResults.insert(QStringLiteral("PROFIL_") + DomainSuffix(slot),
                                           profile.profile[size_t(slot - 1)]);
}

bool GenerateDatabase(const QString &path, const Options &options, Summary *summary, QString *error)
{
    QString why;
    Summary result;
    if (!checkOptions(options, &why)) {
        if (error)
            *error = why;
        return false;
    }
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 already exists").arg(path);
        return false;
    }
    if (!Schema::CreateDatabase(path, &why)) {
        if (error)
            *error = why;
        return false;
    }
    bool ok = false;
    {
        SqliteSupport::RawDatabase db;
        // The file is new and is removed on failure: no need to sync before the end.
        const SqliteSupport::AdministrativeStep generating;
        ok = db.open(path, false) && db.exec(QStringLiteral("PRAGMA synchronous = OFF")) &&
             db.exec(QStringLiteral("PRAGMA cache_size = -65536")) && db.exec(QStringLiteral("BEGIN"));
        if (ok) {
            Generator generator(options, db.handle());
            ok = generator.run(&result, &why);
        } else {
            why = db.error();
        }
        if (ok && !db.exec(QStringLiteral("COMMIT"))) {
            ok = false;
            why = db.error();
        }
    }
    if (!ok) {
        removeDatabaseFile(path);
        if (error)
            *error = why;
        return false;
    }
    DataFiles::SyncPath(path);
    result.fileSize = QFileInfo(path).size();
    if (summary)
        *summary = result;
    return true;
}

bool GenerateDataFolder(const QString &folder, const Options &options, bool replace, Summary *summary, QString *error)
{
    QString why;
    auto failed = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    const QDir dir(folder);
    if (!QDir().mkpath(folder))
        return failed(QStringLiteral("cannot create the folder %1").arg(folder));
    // A running program keeps its database open: neither it nor its folder is touched, --force or not.
    InstanceLock lock;
    if (!lock.acquire(folder))
        return failed(QStringLiteral("le dossier %1 est ouvert par Rozodivo Velorin : fermez le programme avant "
                                     "d'y générer des données")
                          .arg(QDir::toNativeSeparators(folder)));
    const QString existing = DataFiles::Resolve(folder, DataFiles::Database);
    if (!existing.isEmpty() && !replace)
        return failed(QStringLiteral("%1 already holds a database (%2); use --force to replace it")
                          .arg(QDir::toNativeSeparators(folder), QFileInfo(existing).fileName()));

    const QString target = dir.filePath(DataFiles::Database);
    const QString temp = target + TempSuffix;
    removeDatabaseFile(temp);
    if (!GenerateDatabase(temp, options, summary, &why))
        return failed(why);
    if (!DataFiles::RenameReplacing(temp, target, &why)) {
        removeDatabaseFile(temp);
        return failed(why);
    }
    // The old file under another letter case would still be found first.
    for (const QString &name : dir.entryList({DataFiles::Database}, QDir::Files | QDir::Hidden)) {
        const QString path = dir.filePath(name);
        if (name.compare(DataFiles::Database, Qt::CaseInsensitive) == 0 && QFileInfo(path) != QFileInfo(target))
            removeDatabaseFile(path);
    }

    QString templatePath = DataFiles::Resolve(folder, DataFiles::ExportTemplate);
    if (templatePath.isEmpty())
        templatePath = dir.filePath(DataFiles::ExportTemplate);
    if (!Schema::CreateExportTemplate(templatePath, &why))
        return failed(why);
    return true;
}

QString SummaryLine(const Summary &s)
{
    return QStringLiteral("%1: %2 schools, %3 classes, %4 pupils, %5 archived rows over %6 years (%7 year changes), "
                          "%8 MB (%9 bytes)")
        .arg(DataFiles::Database)
        .arg(s.schools)
        .arg(s.classes)
        .arg(s.pupils)
        .arg(s.archivedRows)
        .arg(s.archivedYears)
        .arg(s.yearChanges)
        .arg(double(s.fileSize) / (1024.0 * 1024.0), 0, 'f', 1)
        .arg(s.fileSize);
}

} // namespace GenData
