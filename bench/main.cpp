// velorin-bench [--scale small|district|large] [--keep DIR]
//
// Generates a data folder, then times the real code paths against references
// measured in the same run, page cache warm, reporting medians:
//   copy_ms                  plain copy of donnees.mdb (reference)
//   sqlite3_vacuum_into_ms   the sqlite3 CLI's VACUUM INTO on a file with pages to reclaim (reference)
//   copy_over_ms             the same copy replacing an older copy (for comparison)
//   startup_ms               folder checks, compaction, opening, first selections, ratio to copy_ms
//   startup_reclaim_ms       the same on a file with ~20% free pages, ratio to sqlite3_vacuum_into_ms
//   schema_check_ms          the file's schema compared with the program's, ratio to 1 ms
//   select_*_ms              the navigation cascades, ratio to a 16 ms frame
//   select_*_scored_ms       the same with the pupil's and the class's scoring, on a
//                            30-pupil class; *_write_ms when the scoring has to write
//   analyse_refresh_ms       every pupil of that class selected in turn with its scoring,
//                            then the first again, ratio to 150 ms
//   valider_ms               storing an entry window's fields and the class profile
//   commit_ms                one row updated in one transaction on the same file: the
//                            disk's sync cost that each writing command pays (reference)
//   synthesis_compose_ms     the class synthesis of a 30-pupil class read and composed,
//                            ratio to its 50 ms aim
//   synthesis_pdf_ms         the same composed and written as a PDF file, ratio to 150 ms
//   sheet_pdf_ms             one pupil's results sheet of such a class read, composed and
//                            written as a PDF file, ratio to 40 ms
//   class_sheets_pdf_ms      the sheets of the whole 30-pupil class in one PDF file, ratio to 400 ms
//   grid_open_ms             the class grid of a 30-pupil CE1 class opened on trimester 3
//                            (read, built, shown and painted), ratio to 30 ms
//   grid_keystroke_ms        one accepted value in the grid with its row's re-evaluation
//                            and repaint, ratio to 2 ms
//   grid_paste_ms            a 30 x 21 block pasted into that grid, every value checked,
//                            ratio to 50 ms
//   grid_valider_ms          the grid's "Valider": 30 changed pupils and the class profile
//                            stored in one commit, ratio to 15 ms
//   xlsx_export_school_ms    a school of 6 classes of 30 pupils read and written as an XLSX
//                            workbook, ratio to 300 ms
//   results_import_class_ms  a 30-pupil CE1 class's sheet with a value changed per pupil and
//                            item of one trimester read, checked and stored, ratio to 100 ms
//   onde_import_ms           a 300-pupil administration CSV list read, parsed and stored
//                            into new classes, ratio to 50 ms
// One line per figure: "name value unit[ ratio R]"; lines starting with "#" are notes.

#include "Generator.h"

#include "common/ScriptedDialogs.h"
#include "data/AppContext.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/Roster.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"
#include "data/StartupSequence.h"
#include "evaluation/ClassGridModel.h"
#include "evaluation/ClassGridWindow.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/ResultStore.h"
#include "evaluation/Scoring.h"
#include "mainwindow/ToolbarStates.h"
#include "reports/ClassSynthesis.h"
#include "reports/PageComposer.h"
#include "reports/PupilSheet.h"
#include "spreadsheets/ResultColumns.h"
#include "spreadsheets/ResultsImport.h"
#include "spreadsheets/SchoolList.h"
#include "spreadsheets/XlsxExport.h"

#include <QApplication>
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
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr double FrameMs = 16.0;
// The aim of the "Analyse" refresh of a class.
constexpr double RefreshMs = 150.0;
constexpr int ScoredClassSize = 30;
const QString ScoredSchool = QStringLiteral("Ecole du banc d'essai");

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

// The school-list click as the main window runs it: the school's classes,
// its first class's pupils, the year-change label and the toolbar states.
void schoolCascade(Connection &connection, int schoolNo, int schoolCount)
{
    const QList<Roster::ClassEntry> classes = Roster::Classes(connection, schoolNo);
    int pupils = 0;
    if (!classes.isEmpty())
        pupils = int(Roster::Pupils(connection, schoolNo, classes.first().classNo).size());
    Roster::LastChangeYear(connection, schoolNo);
    UpdateToolbarStates(schoolCount, int(classes.size()), pupils);
}

// The class-list click: the class's pupils.
QList<Roster::PupilEntry> classCascade(Connection &connection, int schoolNo, int classNo)
{
    const QList<Roster::PupilEntry> pupils = Roster::Pupils(connection, schoolNo, classNo);
    UpdateToolbarStates(1, 1, int(pupils.size()));
    return pupils;
}

// The school of the given name.
int schoolNumber(Connection &connection, const QString &name)
{
    for (const Roster::SchoolEntry &school : Roster::Schools(connection))
        if (school.name == name)
            return school.schoolNo;
    die(QStringLiteral("no school %1").arg(name));
    return 0;
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
    const QList<Roster::SchoolEntry> schools = Roster::Schools(connection);
    if (schools.isEmpty())
        die(QStringLiteral("no school in the database"));
    schoolCascade(connection, schools.first().schoolNo, int(schools.size()));
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

// Opens the folder's database as the program does after its start-up checks.
void openOrDie(Connection &connection, const QString &folder)
{
    connection.setDataFolder(folder);
    QString error;
    if (!connection.OpenDatabase(&error))
        die(QStringLiteral("cannot open the database: %1").arg(error));
}

// The cascades of the main window's lists, over schools spread through the file.
Selections timeSelections(const QString &folder, int sampledSchools)
{
    Selections times;
    Connection connection;
    openOrDie(connection, folder);
    const QList<Roster::SchoolEntry> schools = Roster::Schools(connection);
    const int step = std::max(1, int(schools.size()) / std::max(1, sampledSchools));
    int pupilsSelected = 0;
    for (int s = 0; s < schools.size(); s += step) {
        const int schoolNo = schools.at(s).schoolNo;
        QElapsedTimer timer;
        timer.start();
        schoolCascade(connection, schoolNo, int(schools.size()));
        times.schools.push_back(elapsedMs(timer));

        const QList<Roster::ClassEntry> classes = Roster::Classes(connection, schoolNo);
        for (const Roster::ClassEntry &entry : classes) {
            timer.restart();
            const QList<Roster::PupilEntry> pupils = classCascade(connection, schoolNo, entry.classNo);
            times.classes.push_back(elapsedMs(timer));

            for (const Roster::PupilEntry &pupil : pupils) {
                timer.restart();
                // What a pupil's selection reads before its scoring: its row, by key.
                if (!connection.ELEVE.findFirst(QStringLiteral("NOELEVE"), pupil.key))
                    die(QStringLiteral("pupil %1 not found").arg(pupil.name));
                times.pupils.push_back(elapsedMs(timer));
                ++pupilsSelected;
            }
        }
    }
    if (pupilsSelected == 0)
        die(QStringLiteral("no pupil selected"));
    return times;
}

// Adds to the database at `path` one school whose three classes (GS, CP, CE1)
// hold 30 pupils each, generated with their results and derived fields.
void addScoredSchool(const QString &path, const QString &workFolder, quint32 seed)
{
    GenData::Options o;
    o.schools = 1;
    o.classesPerSchool = 3;
    o.pupilsPerClass = ScoredClassSize;
    o.archivedYears = 0;
    o.seed = seed;
    const QString extra = QDir(workFolder).filePath(QStringLiteral("scored-school.mdb"));
    QFile::remove(extra);
    QString error;
    if (!GenData::GenerateDatabase(extra, o, nullptr, &error))
        die(error);
    SqliteSupport::RawDatabase db;
    qint64 school = 0, lastClass = 0, lastPupil = 0;
    QString sqlExtra = extra;
    sqlExtra.replace(QLatin1Char('\''), QLatin1String("''"));
    QString name = ScoredSchool;
    name.replace(QLatin1Char('\''), QLatin1String("''"));
    const SqliteSupport::AdministrativeStep merging;
    const bool ok =
        db.open(path, false) && db.queryInt(QStringLiteral("SELECT max(NOECOLE) + 1 FROM ECOLE"), &school) &&
        db.queryInt(QStringLiteral("SELECT coalesce(max(rowid), 0) FROM CLASSE"), &lastClass) &&
        db.queryInt(QStringLiteral("SELECT coalesce(max(rowid), 0) FROM ELEVE"), &lastPupil) &&
        db.exec(QStringLiteral("ATTACH '%1' AS extra").arg(sqlExtra)) && db.exec(QStringLiteral("BEGIN")) &&
        db.exec(QStringLiteral("INSERT INTO ECOLE SELECT * FROM extra.ECOLE")) &&
        db.exec(QStringLiteral("UPDATE ECOLE SET NOECOLE = %1, NOM_ECOLE = '%2' WHERE rowid = (SELECT max(rowid) FROM "
                               "ECOLE)")
                    .arg(school)
                    .arg(name)) &&
        db.exec(QStringLiteral("INSERT INTO CLASSE SELECT * FROM extra.CLASSE")) &&
        db.exec(QStringLiteral("UPDATE CLASSE SET NOECOLE = %1 WHERE rowid > %2").arg(school).arg(lastClass)) &&
        // The extra pupils' keys follow the file's.
        db.exec(QStringLiteral("UPDATE extra.ELEVE SET NOELEVE = NOELEVE + %1").arg(lastPupil)) &&
        db.exec(QStringLiteral("INSERT INTO ELEVE SELECT * FROM extra.ELEVE")) &&
        db.exec(QStringLiteral("UPDATE ELEVE SET NOECOLE = %1 WHERE rowid > %2").arg(school).arg(lastPupil)) &&
        db.exec(QStringLiteral("COMMIT")) && db.exec(QStringLiteral("DETACH extra"));
    if (!ok)
        die(QStringLiteral("cannot add the 30-pupil school: %1").arg(db.error()));
    db.close();
    QFile::remove(extra);
}

// The pupil-list click with the scoring, as the main window runs it.
void selectScoredPupil(Connection &connection, ResultStore &store, int level, int schoolNo, int classNo,
                       const Roster::PupilEntry &pupil)
{
    // One commit for both, as the window's selection handler does.
    Connection::Transaction transaction(connection);
    if (store.ComputePupilProfile(level, pupil.key).isEmpty() ||
        store.ComputeClassProfile(level, schoolNo, classNo).isEmpty())
        die(QStringLiteral("no profile for %1").arg(pupil.name));
    transaction.commit();
}

// Changes one category of the pupil (1 <-> 4) so that its profile and the
// class's average change.
void flipCategory(ResultStore &store, qint64 pupil, const QString &field)
{
    const std::optional<QVariantMap> fields = store.pupilFields(pupil);
    if (!fields)
        die(QStringLiteral("pupil %1 not found").arg(pupil));
    const int category = fields->value(field).toInt() == 1 ? 4 : 1;
    if (!store.SaveResults(pupil, {{field, category}, {ProfileFieldOfCategoryField(field), category < 3 ? "A" : "F"}}))
        die(QStringLiteral("cannot change %1 of %2").arg(field).arg(pupil));
}

// Every field an entry window stores, from the pupil's stored items, with one
// item changed so that the validation writes.
QVariantMap windowFields(ResultStore &store, int level, qint64 pupil, int round)
{
    const std::optional<QVariantMap> stored = store.pupilFields(pupil);
    if (!stored)
        die(QStringLiteral("pupil %1 not found").arg(pupil));
    QVariantMap fields;
    for (int t : EvaluatedTrimesters(level)) {
        for (int e = 1; e <= 3; ++e) {
            QStringList boxes;
            for (int i = 1; i <= ItemCount(level, t, e); ++i) {
                const QVariant v = stored->value(ItemField(t, e, i));
                boxes.append(IsScored(v) ? QString::number(v.toInt()) : NoResult);
            }
            if (t == EvaluatedTrimesters(level).constLast() && e == 1)
                boxes.first() = QString::number(round % 2 ? ItemMax(level, t, e, 1) : 0);
            fields.insert(ExerciseFields(level, t, e, boxes, EvaluateExercise(level, t, e, boxes)));
        }
    }
    return fields;
}

struct SynthesisTimes
{
    std::vector<double> compose, pdf, sheet, classSheets;
};

// The class synthesis of each 30-pupil class, as the viewer composes it on
// opening and as its PDF button writes it.
SynthesisTimes timeSynthesis(const QString &folder, int repetitions)
{
    SynthesisTimes times;
    Connection connection;
    openOrDie(connection, folder);
    QString error;
    const int schoolNo = schoolNumber(connection, ScoredSchool);
    const QList<Roster::ClassEntry> classes = Roster::Classes(connection, schoolNo);
    const QString pdf = QDir(folder).filePath(QStringLiteral("synthese.pdf"));
    QElapsedTimer timer;
    for (const Roster::ClassEntry &entry : classes) {
        const auto compose = [&](PageComposer &document) {
            SynthesisInput input = ReadSynthesisInput(connection, schoolNo, entry.classNo);
            if (input.pupils.size() != ScoredClassSize)
                die(QStringLiteral("%1 pupils in the synthesis of %2").arg(input.pupils.size()).arg(entry.label));
            input.schoolYear = QStringLiteral("2026-2027");
            input.programTitle = QStringLiteral("Rozodivo Velorin");
            input.printedAt = QDateTime::currentDateTime();
            PrepareSynthesisDocument(document);
            visu_rapport2(document, input);
        };
        for (int r = 0; r <= repetitions; ++r) {
            timer.start();
            PageComposer document;
            compose(document);
            if (r > 0)
                times.compose.push_back(elapsedMs(timer));
        }
        for (int r = 0; r <= repetitions; ++r) {
            timer.start();
            PageComposer document;
            compose(document);
            if (!WriteSynthesisPdf(document, pdf, &error))
                die(error);
            if (r > 0)
                times.pdf.push_back(elapsedMs(timer));
        }
    }
    // The results sheets: the first pupil's, then the whole class's.
    for (const Roster::ClassEntry &entry : classes) {
        const auto write = [&](qint64 pupil) {
            SheetInput input = ReadSheetInput(connection, schoolNo, entry.classNo, pupil);
            if (input.pupils.size() != (pupil ? 1 : ScoredClassSize))
                die(QStringLiteral("%1 pupils in the sheets of %2").arg(input.pupils.size()).arg(entry.label));
            input.schoolYear = QStringLiteral("2026-2027");
            input.programTitle = QStringLiteral("Rozodivo Velorin");
            input.printedAt = QDateTime::currentDateTime();
            PageComposer document;
            PrepareSheetDocument(document);
            ComposePupilSheets(document, input);
            if (document.pageCount() != input.pupils.size() || !WriteSynthesisPdf(document, pdf, &error))
                die(QStringLiteral("sheets of %1: %2").arg(entry.label, error));
            return input.pupils.first().value(QStringLiteral("NOELEVE")).toLongLong();
        };
        const qint64 first = write(0);
        for (int r = 0; r <= repetitions; ++r) {
            timer.start();
            write(first);
            if (r > 0)
                times.sheet.push_back(elapsedMs(timer));
        }
        for (int r = 0; r <= repetitions; ++r) {
            timer.start();
            write(0);
            if (r > 0)
                times.classSheets.push_back(elapsedMs(timer));
        }
    }
    QFile::remove(pdf);
    return times;
}

struct ScoredTimes
{
    std::vector<double> pupils, pupilsWrite, classes, refresh, valider, commits;
};

// The selections with their scoring, the "Analyse" refresh and "Valider" on
// the 30-pupil classes of the school added by addScoredSchool.
ScoredTimes timeScoring(const QString &folder, int repetitions)
{
    ScoredTimes times;
    Connection connection;
    openOrDie(connection, folder);
    QString error;
    ResultStore store(connection);
    const int schoolNo = schoolNumber(connection, ScoredSchool);
    const QList<Roster::ClassEntry> classes = Roster::Classes(connection, schoolNo);
    if (classes.size() < 2)
        die(QStringLiteral("the 30-pupil school has no classes"));
    QElapsedTimer timer;
    for (int r = 0; r <= 5 * repetitions; ++r) {
        timer.start();
        Connection::Transaction transaction(connection);
        if (!connection.execute(QStringLiteral("UPDATE ECOLE SET STAGE = 3 - STAGE WHERE rowid = 1")) ||
            !transaction.commit())
            die(QStringLiteral("cannot update a school"));
        if (r > 0)
            times.commits.push_back(elapsedMs(timer));
    }
    for (int c = 0; c < classes.size(); ++c) {
        const Roster::ClassEntry &entry = classes.at(c);
        const int level = LevelCode(entry.level);
        const int classNo = entry.classNo;
        // The class-list click: its pupils, the first one selected with its scoring.
        for (int r = 0; r <= repetitions; ++r) {
            timer.start();
            const QList<Roster::PupilEntry> pupils = classCascade(connection, schoolNo, classNo);
            selectScoredPupil(connection, store, level, schoolNo, classNo, pupils.first());
            if (r > 0)
                times.classes.push_back(elapsedMs(timer));
        }
        const QList<Roster::PupilEntry> pupils = Roster::Pupils(connection, schoolNo, classNo);
        if (pupils.size() != ScoredClassSize)
            die(QStringLiteral("%1 pupils in %2").arg(pupils.size()).arg(entry.label));
        // The pupil-list click with everything up to date, then after a change.
        const QString latest = CategoryField(level, PanelSlotOrder(level).constLast(), 2);
        for (int r = 0; r <= repetitions; ++r) {
            for (const Roster::PupilEntry &pupil : pupils) {
                timer.start();
                selectScoredPupil(connection, store, level, schoolNo, classNo, pupil);
                if (r > 0)
                    times.pupils.push_back(elapsedMs(timer));
            }
            for (int k = 0; k < 5; ++k) {
                const Roster::PupilEntry &pupil = pupils.at((r * 5 + k) % pupils.size());
                flipCategory(store, pupil.key, latest.isEmpty() ? QStringLiteral("T3_E3CAT") : latest);
                timer.start();
                selectScoredPupil(connection, store, level, schoolNo, classNo, pupil);
                if (r > 0)
                    times.pupilsWrite.push_back(elapsedMs(timer));
            }
        }
        // "Synthèse": every pupil's profile then the class's, by key, in one transaction.
        for (int r = 0; r <= repetitions; ++r) {
            timer.start();
            if (!store.RefreshClassProfiles(level, schoolNo, classNo, &error))
                die(QStringLiteral("cannot refresh %1: %2").arg(entry.label, error));
            if (r > 0)
                times.refresh.push_back(elapsedMs(timer));
        }
        // "Valider" of an entry window: its fields, then the class profile.
        for (int r = 0; r <= repetitions; ++r) {
            const Roster::PupilEntry &pupil = pupils.at(r % pupils.size());
            const QVariantMap fields = windowFields(store, level, pupil.key, r);
            timer.start();
            Connection::Transaction transaction(connection); // one commit, as the window does
            if (!store.SaveResults(pupil.key, fields, &error) ||
                store.ComputeClassProfile(level, schoolNo, classNo).isEmpty() || !transaction.commit())
                die(QStringLiteral("cannot store the results of %1: %2").arg(pupil.name, error));
            if (r > 0)
                times.valider.push_back(elapsedMs(timer));
        }
    }
    return times;
}

struct GridTimes
{
    double open = 0, keystroke = 0, paste = 0, valider = 0;
};

// A block of `rows` lines of `columns` scores, tab-separated as a spreadsheet
// copies it; `round` alternates the scores so that every paste changes them.
QString scoreBlock(int rows, int columns, int round)
{
    QString block;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            block += QLatin1Char((r + c + round) % 2 ? '1' : '0');
            block += QLatin1Char(c + 1 < columns ? '\t' : '\n');
        }
    }
    return block.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

// The class grid on the 30-pupil CE1 class, trimester 3 (21 items).
GridTimes timeGrid(const QString &folder, int repetitions)
{
    GridTimes times;
    ScriptedDialogs dialogs;
    SystemClock clock;
    AppContext context(dialogs, clock);
    openOrDie(context.connection, folder);
    const int schoolNo = schoolNumber(context.connection, ScoredSchool);
    int classNo = 0;
    for (const Roster::ClassEntry &entry : Roster::Classes(context.connection, schoolNo))
        if (LevelCode(entry.level) == 3)
            classNo = entry.classNo;
    if (classNo == 0)
        die(QStringLiteral("no CE1 class in the 30-pupil school"));
    context.session.selectSchool(schoolNo);
    context.session.selectClass(classNo, 3);

    std::unique_ptr<ClassGridWindow> window;
    times.open = measure(
        repetitions, [&window] { window.reset(); },
        [&window, &context] {
            window = std::make_unique<ClassGridWindow>(context, 3);
            window->show();
            QCoreApplication::processEvents();
        });
    ClassGridModel &model = *window->model();
    if (model.rowCount() != ScoredClassSize || model.firstItemColumn(3) < 0)
        die(QStringLiteral("the grid shows %1 pupils").arg(model.rowCount()));
    int items = 0;
    for (int c = 0; c < model.columnCount(); ++c)
        items += model.isItemColumn(c) ? 1 : 0;

    // A value into each cell of the first pupil's first exercise in turn, alternating 0 and 1.
    int round = 0;
    std::vector<double> keys;
    for (int r = 0; r <= 10 * repetitions; ++r) {
        const int column = r % 7;
        const QString value = (r / 7) % 2 ? QStringLiteral("0") : QStringLiteral("1");
        QElapsedTimer timer;
        timer.start();
        if (!model.enter(0, column, value).accepted)
            die(QStringLiteral("a value refused in the grid"));
        QCoreApplication::processEvents();
        if (r > 0)
            keys.push_back(elapsedMs(timer));
    }
    times.keystroke = median(keys);
    times.paste = measure(
        repetitions, [&round] { ++round; },
        [&model, &round, items] {
            if (!model.paste(0, 0, scoreBlock(ScoredClassSize, items, round)).isEmpty())
                die(QStringLiteral("pasted values refused"));
            QCoreApplication::processEvents();
        });
    times.valider = measure(
        repetitions,
        [&model, &round, items] {
            model.paste(0, 0, scoreBlock(ScoredClassSize, items, ++round));
            if (model.changedCount() != ScoredClassSize)
                die(QStringLiteral("%1 pupils changed in the grid").arg(model.changedCount()));
        },
        [&model] {
            QString error;
            if (!model.save(&error))
                die(QStringLiteral("the grid's results not stored: %1").arg(error));
        });
    return times;
}

struct SpreadsheetTimes
{
    double exportSchool = 0, importClass = 0, schoolList = 0;
};

// Spreadsheets on a school of 6 classes of 30 pupils: the school's workbook
// written; a CE1 class's sheet, with a value changed for every pupil, read,
// checked and stored (in turn with the sheet as exported, so that every run
// changes something); a 300-pupil administration list parsed and stored into
// new classes of a fresh copy.
SpreadsheetTimes timeSpreadsheets(const QString &workFolder, int repetitions)
{
    SpreadsheetTimes times;
    const QString folder = QDir(workFolder).filePath(QStringLiteral("spreadsheets"));
    emptyFolder(folder);
    GenData::Options o;
    o.classesPerSchool = 6;
    o.pupilsPerClass = ScoredClassSize;
    o.archivedYears = 0;
    QString error;
    if (!GenData::GenerateDataFolder(folder, o, true, nullptr, &error))
        die(error);
    const QString db = DataFiles::LiveDatabase(folder);
    const QString pristine = QDir(workFolder).filePath(QStringLiteral("spreadsheets-pristine.mdb"));
    QFile::remove(pristine);
    copyFile(db, pristine);
    Connection connection;
    openOrDie(connection, folder);
    const int schoolNo = Roster::Schools(connection).constFirst().schoolNo;
    QList<ClassResults> classes;
    if (!ReadSchoolResults(connection, schoolNo, &classes, &error) || classes.size() != 6)
        die(QStringLiteral("cannot read the 6-class school: %1").arg(error));
    const QString workbook = QDir(workFolder).filePath(QStringLiteral("school.xlsx"));
    times.exportSchool = measure(
        repetitions, [] {},
        [&] {
            QList<ClassResults> read;
            if (!ReadSchoolResults(connection, schoolNo, &read, &error) ||
                !XlsxExport::Write(workbook, read, QStringLiteral("2026-2027"), QDate::currentDate(), &error))
                die(error);
        });

    ClassResults ce1;
    for (const ClassResults &c : classes)
        if (c.level == 3)
            ce1 = c;
    const QList<ResultColumn> columns = ResultColumns(3);
    ClassResults changed = ce1;
    for (PupilResults &p : changed.pupils)
        for (const ResultColumn &c : columns)
            if (c.kind == ResultColumn::Kind::Item && c.trimester == 2 && IsScored(p.fields.value(c.field)))
                p.fields[c.field] = (p.fields.value(c.field).toInt() + 1) % (ItemMax(3, 2, c.exercise, c.item) + 1);
    const QString sheets[2] = {QDir(workFolder).filePath(QStringLiteral("ce1-changed.xlsx")),
                               QDir(workFolder).filePath(QStringLiteral("ce1.xlsx"))};
    if (!XlsxExport::Write(sheets[0], {changed}, QString(), QDate::currentDate(), &error) ||
        !XlsxExport::Write(sheets[1], {ce1}, QString(), QDate::currentDate(), &error))
        die(error);
    int run = 0;
    int cells = 0;
    times.importClass = measure(
        repetitions, [] {},
        [&] {
            ResultsImport::Plan plan;
            if (!ResultsImport::Prepare(connection, sheets[run++ % 2], schoolNo, ce1.classNo, &plan, &error) ||
                !plan.refusals.isEmpty() || plan.changes.isEmpty() || !ResultsImport::Apply(connection, plan, &error))
                die(QStringLiteral("results import: %1 %2")
                        .arg(error, plan.refusals.isEmpty() ? QString() : plan.refusals.constFirst().text()));
            cells = int(plan.changes.size());
        });
    note(QStringLiteral("results import: %1 values of a %2-pupil CE1 class changed per run")
             .arg(cells)
             .arg(ce1.pupils.size()));
    connection.CloseDatabase();

    // The administration's list: 12 classes of 25, one of them of a level not evaluated.
    QString text =
        QStringLiteral("Nom élève;Nom d'usage élève;Prénom élève;Date naissance;Sexe;Niveau;Libellé classe\r\n");
    const char *levels[] = {"GS", "CP", "CE1", "CM1"};
    for (int k = 0; k < 300; ++k)
        text += QStringLiteral("NOM%1;;Prénom%2;01/01/2019;F;%3;Classe %4\r\n")
                    .arg(k)
                    .arg(k)
                    .arg(QLatin1String(levels[k / 25 == 11 ? 3 : (k / 25) % 3]))
                    .arg(k / 25);
    const QString list = QDir(workFolder).filePath(QStringLiteral("liste.csv"));
    QFile file(list);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        die(QStringLiteral("cannot write the list"));
    file.close();
    int added = 0;
    times.schoolList = measure(
        repetitions, [&] { copyFile(pristine, db); },
        [&] {
            Connection fresh;
            openOrDie(fresh, folder);
            QList<SchoolList::Group> groups;
            if (!SchoolList::Read(list, &groups, &error))
                die(error);
            const QList<SchoolList::Target> targets(
                groups.size(), SchoolList::Target{SchoolList::Target::Kind::New, 0, QStringLiteral("M. Martin")});
            SchoolList::Outcome outcome;
            if (!SchoolList::Apply(fresh, schoolNo, groups, targets, &outcome, &error))
                die(error);
            added = outcome.added;
        });
    note(QStringLiteral("administration list: %1 of 300 pupils added into new classes per run").arg(added));
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

    // The comparison of the file's schema with the program's, part of every start-up check.
    {
        SqliteSupport::RawDatabase db;
        if (!db.open(DataFiles::LiveDatabase(startup), false, true))
            die(QStringLiteral("cannot open the start-up file"));
        Schema::SchemaDifferences(db.handle(), Schema::Version); // the program's side is built once
        figure("schema_check_ms",
               measure(
                   scale.repetitions * 20, [] {},
                   [&] {
                       if (!Schema::SchemaDifferences(db.handle(), Schema::Version).isEmpty())
                           die(QStringLiteral("the generated file's schema differs from the program's"));
                   }),
               "ms", 1.0);
    }

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

    // The scoring on a copy of the file with a school of 30-pupil classes.
    const QString scored = work.filePath(QStringLiteral("scored"));
    emptyFolder(scored);
    const QString scoredDb = QDir(scored).filePath(DataFiles::Database);
    copyFile(DataFiles::LiveDatabase(startup), scoredDb);
    addScoredSchool(scoredDb, workFolder, o.seed + 1);
    const ScoredTimes t = timeScoring(scored, scale.repetitions);
    note(QStringLiteral("scoring timed on %1 classes of %2 pupils: %3 pupil selections, %4 with writes")
             .arg(t.refresh.size() / size_t(scale.repetitions))
             .arg(ScoredClassSize)
             .arg(t.pupils.size())
             .arg(t.pupilsWrite.size()));
    figure("select_pupil_scored_ms", median(t.pupils), "ms", FrameMs);
    figure("select_pupil_scored_write_ms", median(t.pupilsWrite), "ms", FrameMs);
    figure("select_class_scored_ms", median(t.classes), "ms", FrameMs);
    figure("analyse_refresh_ms", median(t.refresh), "ms", RefreshMs);
    figure("valider_ms", median(t.valider), "ms", FrameMs);
    figure("commit_ms", median(t.commits), "ms");
    const SynthesisTimes synthesis = timeSynthesis(scored, scale.repetitions);
    figure("synthesis_compose_ms", median(synthesis.compose), "ms", 50.0);
    figure("synthesis_pdf_ms", median(synthesis.pdf), "ms", 150.0);
    figure("sheet_pdf_ms", median(synthesis.sheet), "ms", 40.0);
    figure("class_sheets_pdf_ms", median(synthesis.classSheets), "ms", 400.0);
    const GridTimes grid = timeGrid(scored, scale.repetitions);
    figure("grid_open_ms", grid.open, "ms", 30.0);
    figure("grid_keystroke_ms", grid.keystroke, "ms", 2.0);
    figure("grid_paste_ms", grid.paste, "ms", 50.0);
    figure("grid_valider_ms", grid.valider, "ms", 15.0);
    const SpreadsheetTimes sheets = timeSpreadsheets(workFolder, scale.repetitions);
    figure("xlsx_export_school_ms", sheets.exportSchool, "ms", 300.0);
    figure("results_import_class_ms", sheets.importClass, "ms", 100.0);
    figure("onde_import_ms", sheets.schoolList, "ms", 50.0);
}

} // namespace

int main(int argc, char *argv[])
{
    // The report composition measures text: it needs the GUI side of Qt (offscreen is enough).
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times the start-up, the navigation and the scoring on generated data."));
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
