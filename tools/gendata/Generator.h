#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <vector>

// Generates realistic data folders: schools, classes of every level, pupils
// with their item scores for the current year, and archived past years with
// their year-change log. Used by the velorin-gendata tool, the benchmarks and
// the tests. The same options and seed always give the same content.
namespace GenData {

struct Options
{
    int schools = 1;
    int classesPerSchool = 3;
    int pupilsPerClass = 24;
    int archivedYears = 2;
    quint32 seed = 1;
    // The school years are counted back from this day.
    QDate today = QDate::currentDate();
};

// Upper limits of the options: school and class numbers are 16-bit, and the
// name lists give enough distinct pupils' names for these class sizes.
constexpr int MaxSchools = 9999;
constexpr int MaxClassesPerSchool = 99;
constexpr int MaxPupilsPerClass = 200;
constexpr int MaxArchivedYears = 40;

struct Summary
{
    int schools = 0;
    int classes = 0;
    int pupils = 0;
    qint64 archivedRows = 0;
    int archivedYears = 0;
    int yearChanges = 0;
    qint64 fileSize = 0;
};

// School years ------------------------------------------------------------------

// "2024-2025" for 2024.
QString SchoolYearText(int firstYear);
// First calendar year of the school year in progress on `today`: from
// September on, the school year that begins that month.
int CurrentSchoolYearStart(const QDate &today);
// The `count` school years before the one in progress, oldest first.
QStringList ArchivedSchoolYears(const QDate &today, int count);

// Pupils' result rows -------------------------------------------------------------

// The result columns of a pupil (every column of ELEVE after NOECOLE, NOCLASSE,
// NOM and CSP): items, totals, categories and profile letters of every
// trimester and exercise, then the PROFIL_ and MOYCAT_ columns. A value never
// set stays Null.
class ResultRow
{
public:
    static const QStringList &Columns();
    // Position of a column in Columns(), -1 when unknown (letter case ignored).
    static int IndexOf(const QString &column);

    ResultRow();
    void clear();
    const QVariant &at(int index) const { return m_values[size_t(index)]; }
    void set(int index, const QVariant &value) { m_values[size_t(index)] = value; }
    QVariant value(const QString &column) const;
    // False for an unknown column.
    bool setValue(const QString &column, const QVariant &value);

private:
    std::vector<QVariant> m_values;
};

struct GeneratedPupil
{
    QString name;
    int csp = 0;
    ResultRow results;
};

// One class in one school year, with its pupils' item scores.
struct GeneratedClass
{
    int schoolNo = 0;
    int classNo = 0;
    QString level; // "GS", "CP" or "CE1"
    // The class's derived columns of CLASSE (T1_E1CAT..T3_E3CAT, PROFIL_*),
    // by column name; absent columns stay Null.
    QVariantMap classResults;
    std::vector<GeneratedPupil> pupils;
};

// The derived results of a class and its pupils: exercise totals, categories
// and profile letters, the pupils' PROFIL_ and MOYCAT_ columns, the class's
// average categories and profiles. Called once per class and school year,
// after the item scores are drawn and before the rows are written, with the
// program's scoring, so that the file holds what entering the same scores
// would store. A trimester never entered keeps its columns Null; a class
// without pupils keeps its class results Null.
void FillDerivedFields(GeneratedClass &generatedClass);

// Generation --------------------------------------------------------------------

// Writes a new database of the program at `path` (which must not exist) and
// fills it, in one transaction.
bool GenerateDatabase(const QString &path, const Options &options, Summary *summary, QString *error);

// Fills `folder` (created when missing) with "donnees.mdb" and the transfer
// template "Export.vid". A folder that already holds a database (its name in
// any letter case) is refused unless `replace`; the new file then replaces it
// through a temporary file, the old one staying in place until the new one is
// complete. A folder the program has open (its lock is held) is refused,
// even with `replace`; the folder is held while the files are written.
bool GenerateDataFolder(const QString &folder, const Options &options, bool replace, Summary *summary, QString *error);

// One line describing a generated file.
QString SummaryLine(const Summary &summary);

} // namespace GenData
