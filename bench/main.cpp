// velorin-bench [--scale small|district|large] [--keep DIR]
//
// Generates a data folder, then times the real code paths against references
// measured in the same run, page cache warm, reporting medians:
//   copy_ms                  plain copy of donnees.mdb (reference)
//   sqlite3_vacuum_into_ms   the sqlite3 CLI's VACUUM INTO on a file with pages to reclaim (reference)
//   copy_over_ms             the same copy replacing an older copy (for comparison)
//   startup_ms               folder checks, compaction, opening, first selections, ratio to copy_ms
//   startup_reclaim_ms       the same on a file with ~20% free pages, ratio to sqlite3_vacuum_into_ms
//   select_*_ms              the navigation cascades, ratio to a 16 ms frame
// One line per figure: "name value unit[ ratio R]"; lines starting with "#" are notes.

#include "Generator.h"

#include "common/AppState.h"
#include "common/ScriptedDialogs.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/SqliteSupport.h"
#include "data/StartupSequence.h"
#include "mainwindow/Navigation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace {

constexpr double FrameMs = 16.0;

struct Scale
{
    const char *name;
    GenData::Options options;
    int repetitions;
    int sampledSchools; // schools whose selections are timed
};

Scale scaleNamed(const QString &name)
{
    GenData::Options o;
    o.seed = 1;
    o.classesPerSchool = 6;
    o.pupilsPerClass = 25;
    o.archivedYears = 10;
    if (name == QLatin1String("small")) {
        // Enough archived rows for whole pages to be freed.
        o.schools = 8;
        o.classesPerSchool = 3;
        o.pupilsPerClass = 10;
        o.archivedYears = 5;
        return {"small", o, 3, 8};
    }
    if (name == QLatin1String("large")) {
        o.schools = 400;
        return {"large", o, 5, 100};
    }
    o.schools = 40;
    return {"district", o, 7, 40};
}

[[noreturn]] void die(const QString &what)
{
    std::fprintf(stderr, "velorin-bench: %s\n", qPrintable(what));
    std::exit(1);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void figure(const char *name, double value, const char *unit, std::optional<double> reference = {})
{
    std::printf(value < 10 ? "%s %.3f %s" : "%s %.1f %s", name, value, unit);
    if (reference && *reference > 0)
        std::printf(" ratio %.2f", value / *reference);
    std::printf("\n");
    std::fflush(stdout);
}

void note(const QString &text)
{
    std::printf("# %s\n", qPrintable(text));
    std::fflush(stdout);
}

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Runs `prepare` (untimed) then `work` (timed) once to warm up, then
// `repetitions` times; returns the median of the timed parts.
double measure(int repetitions, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int r = 0; r <= repetitions; ++r) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        if (r > 0)
            times.push_back(elapsedMs(timer));
    }
    return median(times);
}

void copyFile(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        die(QStringLiteral("cannot copy %1 to %2").arg(from, to));
}

void emptyFolder(const QString &folder)
{
    QDir dir(folder);
    if (dir.exists() && !dir.removeRecursively())
        die(QStringLiteral("cannot empty %1").arg(folder));
    if (!QDir().mkpath(folder))
        die(QStringLiteral("cannot create %1").arg(folder));
}

// Frees pages as deletions do over a school's life: the oldest archived rows
// go, without a VACUUM. Returns the share of free pages.
double freeSomePages(const QString &path, double share)
{
    SqliteSupport::RawDatabase db;
    qint64 rows = 0, freePages = 0, pages = 0;
    if (!db.open(path, false) || !db.queryInt(QStringLiteral("SELECT count(*) FROM PARCOURS"), &rows) ||
        !db.exec(QStringLiteral("DELETE FROM PARCOURS WHERE rowid <= (SELECT min(rowid) FROM PARCOURS) + %1")
                     .arg(qint64(double(rows) * share))) ||
        !db.queryInt(QStringLiteral("PRAGMA freelist_count"), &freePages) ||
        !db.queryInt(QStringLiteral("PRAGMA page_count"), &pages))
        die(QStringLiteral("cannot free pages in %1: %2").arg(path, db.error()));
    return pages ? double(freePages) / double(pages) : 0;
}

// The school-list click as the main window runs it: the school, then its
// first class and that class's first pupil, the year-change label and the
// toolbar states.
void schoolCascade(Navigation &navigation, const QString &school)
{
    const QList<Navigation::ClassEntry> classes = navigation.selectSchool(school);
    if (!classes.isEmpty()) {
        navigation.selectClass(classes.first().label);
        const QStringList pupils = navigation.pupilNames();
        if (!pupils.isEmpty())
            navigation.selectPupil(pupils.first());
    }
    navigation.lastChangeYear();
    navigation.toolbarStates();
}

// The class-list click: the class, its pupils, the first pupil.
QStringList classCascade(Navigation &navigation, const QString &label)
{
    navigation.selectClass(label);
    const QStringList pupils = navigation.pupilNames();
    if (!pupils.isEmpty())
        navigation.selectPupil(pupils.first());
    navigation.toolbarStates();
    return pupils;
}

// The start-up of the main window: the database side of the sequence
// (folder checks, compaction, opening), the school list, the first school.
void startUp(const QString &folder)
{
    Connection connection;
    connection.setDataFolder(folder);
    ScriptedDialogs dialogs;
    if (!StartDatabase(connection, dialogs, QDateTime::currentDateTime()) || !dialogs.shown().isEmpty())
        die(QStringLiteral("start-up failed: %1")
                .arg(dialogs.shown().isEmpty() ? QString() : dialogs.shown().constFirst().text));
    AppState state;
    Navigation navigation(connection, state);
    const QStringList schools = navigation.schoolNames();
    if (schools.isEmpty())
        die(QStringLiteral("no school in the database"));
    schoolCascade(navigation, schools.first());
    // Closing is not part of the start-up: the connection goes with this scope.
}

// Whether the last start-up rebuilt the file (smaller than the one it replaced)
// or copied it, as expected for the file.
void checkCompaction(const QString &folder, bool expectRebuild)
{
    const qint64 live = QFileInfo(DataFiles::LiveDatabase(folder)).size();
    const qint64 previous = QFileInfo(DataFiles::Resolve(folder, DataFiles::PreviousDatabase)).size();
    if ((live < previous) != expectRebuild)
        note(QStringLiteral("the compaction did not %1 the file (%2 bytes before, %3 after)")
                 .arg(expectRebuild ? QStringLiteral("rebuild") : QStringLiteral("copy"))
                 .arg(previous)
                 .arg(live));
}

struct Selections
{
    std::vector<double> schools;
    std::vector<double> classes;
    std::vector<double> pupils;
};

// The cascades of the main window's lists, over schools spread through the file.
Selections timeSelections(const QString &folder, int sampledSchools)
{
    Selections times;
    Connection connection;
    connection.setDataFolder(folder);
    QString error;
    if (!connection.OpenDatabase(&error))
        die(QStringLiteral("cannot open the database: %1").arg(error));
    AppState state;
    Navigation navigation(connection, state);
    const QStringList schools = navigation.schoolNames();
    const int step = std::max(1, int(schools.size()) / std::max(1, sampledSchools));
    int pupilsSelected = 0;
    for (int s = 0; s < schools.size(); s += step) {
        QElapsedTimer timer;
        timer.start();
        schoolCascade(navigation, schools.at(s));
        times.schools.push_back(elapsedMs(timer));

        const QList<Navigation::ClassEntry> classes = navigation.selectSchool(schools.at(s));
        for (const Navigation::ClassEntry &entry : classes) {
            timer.restart();
            const QStringList pupils = classCascade(navigation, entry.label);
            times.classes.push_back(elapsedMs(timer));

            for (const QString &pupil : pupils) {
                timer.restart();
                if (!navigation.selectPupil(pupil))
                    die(QStringLiteral("pupil %1 not found").arg(pupil));
                times.pupils.push_back(elapsedMs(timer));
                ++pupilsSelected;
            }
        }
    }
    if (pupilsSelected == 0)
        die(QStringLiteral("no pupil selected"));
    return times;
}

void runScale(const Scale &scale, const QString &workFolder)
{
    const GenData::Options &o = scale.options;
    note(QStringLiteral("scale %1: %2 schools x %3 classes x %4 pupils, %5 archived years, %6 repetitions")
             .arg(QLatin1String(scale.name))
             .arg(o.schools)
             .arg(o.classesPerSchool)
             .arg(o.pupilsPerClass)
             .arg(o.archivedYears)
             .arg(scale.repetitions));
    const QDir work(workFolder);
    const QString source = work.filePath(QStringLiteral("source"));
    emptyFolder(source);
    GenData::Summary summary;
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (!GenData::GenerateDataFolder(source, o, false, &summary, &error))
        die(error);
    note(GenData::SummaryLine(summary));
    figure("generate_ms", elapsedMs(timer), "ms");
    const QString sourceDb = DataFiles::LiveDatabase(source);
    figure("file_size", double(QFileInfo(sourceDb).size()) / (1024.0 * 1024.0), "MB");

    // Reference: a plain copy of the file.
    const QString copyTarget = work.filePath(QStringLiteral("copy.mdb"));
    const double copyMs = measure(
        scale.repetitions, [&] { QFile::remove(copyTarget); }, [&] { copyFile(sourceDb, copyTarget); });
    figure("copy_ms", copyMs, "ms");
    // For comparison: the same copy when an older copy must go first, as the
    // start-up drops the previous donnees.BAK.
    const auto copyOver = [&] { copyFile(sourceDb, copyTarget); };
    figure("copy_over_ms", measure(scale.repetitions, copyOver, copyOver), "ms");
    QFile::remove(copyTarget);

    // A file with pages to reclaim, and the CLI's VACUUM INTO on it.
    const QString reclaimSource = work.filePath(QStringLiteral("reclaim-source.mdb"));
    copyFile(sourceDb, reclaimSource);
    const double freeShare = freeSomePages(reclaimSource, 0.22);
    figure("reclaim_free_pages", freeShare * 100, "%");
    std::optional<double> vacuumMs;
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty()) {
        note(QStringLiteral("sqlite3 not installed: sqlite3_vacuum_into_ms skipped"));
    } else {
        const QString vacuumTarget = work.filePath(QStringLiteral("vacuum-into.mdb"));
        vacuumMs = measure(
            scale.repetitions, [&] { QFile::remove(vacuumTarget); },
            [&] {
                const int rc =
                    QProcess::execute(sqlite3, {reclaimSource, QStringLiteral("VACUUM INTO '%1'").arg(vacuumTarget)});
                if (rc != 0)
                    die(QStringLiteral("sqlite3 VACUUM INTO failed (%1)").arg(rc));
            });
        figure("sqlite3_vacuum_into_ms", *vacuumMs, "ms");
        QFile::remove(vacuumTarget);
    }

    // The start-up, each repetition on the result of the previous one.
    const QString startup = work.filePath(QStringLiteral("startup"));
    const QString exportTemplate = DataFiles::Resolve(source, DataFiles::ExportTemplate);
    emptyFolder(startup);
    copyFile(sourceDb, QDir(startup).filePath(DataFiles::Database));
    copyFile(exportTemplate, QDir(startup).filePath(DataFiles::ExportTemplate));
    figure("startup_ms",
           measure(
               scale.repetitions, [] {}, [&] { startUp(startup); }),
           "ms", copyMs);
    checkCompaction(startup, false);

    // The start-up on a fresh copy of the file with pages to reclaim.
    const QString reclaim = work.filePath(QStringLiteral("reclaim"));
    const double reclaimMs = measure(
        scale.repetitions,
        [&] {
            emptyFolder(reclaim);
            copyFile(reclaimSource, QDir(reclaim).filePath(DataFiles::Database));
            copyFile(exportTemplate, QDir(reclaim).filePath(DataFiles::ExportTemplate));
        },
        [&] { startUp(reclaim); });
    figure("startup_reclaim_ms", reclaimMs, "ms", vacuumMs);
    checkCompaction(reclaim, true);

    const Selections s = timeSelections(startup, scale.sampledSchools);
    note(QStringLiteral("selections timed: %1 schools, %2 classes, %3 pupils")
             .arg(s.schools.size())
             .arg(s.classes.size())
             .arg(s.pupils.size()));
    figure("select_school_ms", median(s.schools), "ms", FrameMs);
    figure("select_class_ms", median(s.classes), "ms", FrameMs);
    figure("select_pupil_ms", median(s.pupils), "ms", FrameMs);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times the start-up and the navigation on generated data."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("scale"), QStringLiteral("small, district (default) or large."), QStringLiteral("SCALE"),
         QStringLiteral("district")},
        {QStringLiteral("keep"), QStringLiteral("Work in DIR and keep the files there."), QStringLiteral("DIR")},
    });
    parser.process(app);

    const QString scaleName = parser.value(QStringLiteral("scale"));
    if (!QStringList{QStringLiteral("small"), QStringLiteral("district"), QStringLiteral("large")}.contains(scaleName))
        die(QStringLiteral("unknown scale %1 (small, district or large)").arg(scaleName));
    const Scale scale = scaleNamed(scaleName);

    QTemporaryDir temp;
    QString workFolder;
    if (parser.isSet(QStringLiteral("keep"))) {
        workFolder = QDir(parser.value(QStringLiteral("keep"))).filePath(QLatin1String(scale.name));
        if (!QDir().mkpath(workFolder))
            die(QStringLiteral("cannot create %1").arg(workFolder));
    } else {
        if (!temp.isValid())
            die(QStringLiteral("no temporary folder"));
        workFolder = temp.path();
    }
    runScale(scale, workFolder);
    return 0;
}
