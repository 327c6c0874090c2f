#include "BatchSyntheses.h"

#include "common/AppState.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/InstanceLock.h"
#include "data/Roster.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/ResultStore.h"
#include "reports/ClassSynthesis.h"
#include "reports/PageComposer.h"
#include "reports/PupilSheet.h"
#include "spreadsheets/SpreadsheetCommands.h"
#include "spreadsheets/XlsxExport.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

namespace {

// The class's results sheets, one page per pupil, named as the viewer names them.
void WriteSheets(Connection &connection, const BatchOptions &options, const SynthesisInput &synthesis,
                 const Roster::SchoolEntry &school, const Roster::ClassEntry &entry, bool prefixed, const QDir &out,
                 BatchResult &result)
{
    SheetInput input = ReadSheetInput(connection, school.schoolNo, entry.classNo);
    if (input.pupils.isEmpty())
        return;
    input.className = entry.label;
    input.schoolYear = synthesis.schoolYear;
    input.programTitle = options.programTitle;
    input.printedAt = options.now;
    input.locale = synthesis.locale;
    PageComposer document;
    PrepareSheetDocument(document);
    ComposePupilSheets(document, input);
    const QString name =
        SheetsFileName(prefixed ? school.name + QStringLiteral(" - ") + entry.label.trimmed() : entry.label);
    const QString path = out.filePath(name);
    QString error;
    if (WriteSynthesisPdf(document, path, &error, QStringLiteral("Création : ") + name))
        result.written.append(path);
    else
        result.errors.append(error);
}

} // namespace

BatchResult WriteClassSyntheses(const BatchOptions &options)
{
    BatchResult result;
    const QString folder = DataFiles::WithTrailingSeparator(QDir(options.dataFolder).absolutePath());
    if (!QFileInfo::exists(DataFiles::LiveDatabase(folder))) {
        result.errors.append(QStringLiteral("Pas de base de données dans %1").arg(folder));
        return result;
    }
    if (!QDir().mkpath(options.outputFolder)) {
        result.errors.append(QStringLiteral("Impossible de créer le dossier %1").arg(options.outputFolder));
        return result;
    }
    // The refresh writes profiles: keep the program off the folder meanwhile.
    InstanceLock lock;
    InstanceLock::Holder holder;
    const InstanceLock::Attempt attempt = lock.attempt(folder, options.now, &holder);
    if (attempt != InstanceLock::Attempt::Acquired && !(options.ignoreLock && lock.takeOver(folder, holder))) {
        if (attempt == InstanceLock::Attempt::Stale && !options.ignoreLock)
            result.errors << InstanceLock::takeOverQuestion(holder)
                          << QStringLiteral("Pour continuer quand même : --ignorer-verrou");
        else
            result.errors.append(QStringLiteral("Le programme travaille sur %1 : fermez-le d'abord").arg(folder));
        return result;
    }
    Connection connection;
    connection.setDataFolder(folder);
    QString error;
    if (!connection.OpenDatabase(&error)) {
        result.errors.append(QStringLiteral("Impossible d'ouvrir la base : %1").arg(error));
        return result;
    }
    AppState state;
    state.DataFolder = folder;
    state.years = SchoolYears::fromDate(options.now.date());
    ResultStore store(connection);

    QList<Roster::SchoolEntry> schools = Roster::Schools(connection, &error);
    if (!error.isEmpty()) {
        result.errors.append(QStringLiteral("Lecture des écoles impossible : %1").arg(error));
        return result;
    }
    if (!options.school.isEmpty()) {
        QList<Roster::SchoolEntry> chosen;
        for (const Roster::SchoolEntry &school : std::as_const(schools))
            if (school.name == options.school)
                chosen.append(school);
        if (chosen.isEmpty()) {
            result.errors.append(QStringLiteral("École inconnue : %1").arg(options.school));
            return result;
        }
        schools = chosen;
    }
    // A file name used by classes of two schools gets the school's name in front.
    QHash<QString, int> uses;
    QList<std::pair<Roster::SchoolEntry, QList<Roster::ClassEntry>>> plan;
    for (const Roster::SchoolEntry &school : std::as_const(schools)) {
        plan.append({school, Roster::Classes(connection, school.schoolNo)});
        for (const Roster::ClassEntry &entry : std::as_const(plan.last().second))
            ++uses[SynthesisFileName(entry.label).toLower()];
    }
    const QDir out(options.outputFolder);
    for (const auto &[school, classes] : std::as_const(plan)) {
        for (const Roster::ClassEntry &entry : classes) {
            const int level = LevelCode(entry.level);
            if (level == 0) {
                result.errors.append(QStringLiteral("%1 / %2 : niveau inconnu").arg(school.name, entry.label));
                continue;
            }
            // As "Synthèse": every pupil's profile, then the class's.
            if (!store.RefreshClassProfiles(level, school.schoolNo, entry.classNo, &error)) {
                result.errors.append(QStringLiteral("%1 / %2 : %3").arg(school.name, entry.label, error));
                continue;
            }
            if (options.xlsx)
                continue; // the school's workbook, below
            SynthesisInput input = ReadSynthesisInput(connection, school.schoolNo, entry.classNo);
            input.className = entry.label;
            input.schoolYear = state.years.CurrentSchoolYear;
            input.programTitle = options.programTitle;
            input.printedAt = options.now;
            input.locale = QLocale();
            PageComposer document;
            PrepareSynthesisDocument(document);
            visu_rapport2(document, input);
            QString name = SynthesisFileName(entry.label);
            if (uses.value(name.toLower()) > 1)
                name = SynthesisFileName(school.name + QStringLiteral(" - ") + entry.label.trimmed());
            const QString path = out.filePath(name);
            if (WriteSynthesisPdf(document, path, &error, QStringLiteral("Création : ") + name))
                result.written.append(path);
            else
                result.errors.append(error);
            if (options.sheets)
                WriteSheets(connection, options, input, school, entry, uses.value(name.toLower()) > 1, out, result);
        }
        if (options.xlsx) {
            QList<ClassResults> results;
            QString name = FileNameOf(school.name, QStringLiteral("xlsx"));
            for (int n = 2; result.written.contains(out.filePath(name)); ++n)
                name = FileNameOf(school.name + QStringLiteral(" (%1)").arg(n), QStringLiteral("xlsx"));
            if (ReadSchoolResults(connection, school.schoolNo, &results, &error) &&
                XlsxExport::Write(out.filePath(name), results, state.years.CurrentSchoolYear, options.now.date(),
                                  &error))
                result.written.append(out.filePath(name));
            else
                result.errors.append(QStringLiteral("%1 : %2").arg(school.name, error));
        }
    }
    connection.CloseDatabase();
    return result;
}
