#include "BatchSyntheses.h"

#include "common/AppState.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/InstanceLock.h"
#include "evaluation/EvaluationModel.h"
#include "evaluation/ResultStore.h"
#include "mainwindow/Navigation.h"
#include "reports/ClassSynthesis.h"
#include "reports/PageComposer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

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
    if (!lock.acquire(folder)) {
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
    Navigation navigation(connection, state);
    ResultStore store(connection, state);

    QStringList schools = navigation.schoolNames();
    if (!options.school.isEmpty()) {
        if (!schools.contains(options.school)) {
            result.errors.append(QStringLiteral("École inconnue : %1").arg(options.school));
            return result;
        }
        schools = {options.school};
    }
    // A file name used by classes of two schools gets the school's name in front.
    QHash<QString, int> uses;
    QList<std::pair<QString, QList<Navigation::ClassEntry>>> plan;
    for (const QString &school : std::as_const(schools)) {
        plan.append({school, navigation.selectSchool(school)});
        for (const Navigation::ClassEntry &entry : std::as_const(plan.last().second))
            ++uses[SynthesisFileName(entry.label).toLower()];
    }
    const QDir out(options.outputFolder);
    for (const auto &[school, classes] : std::as_const(plan)) {
        navigation.selectSchool(school);
        for (const Navigation::ClassEntry &entry : classes) {
            const int level = LevelCode(navigation.selectClass(entry.label));
            if (level == 0) {
                result.errors.append(QStringLiteral("%1 / %2 : niveau inconnu").arg(school, entry.label));
                continue;
            }
            // As "Synthèse": every pupil's profile, then the class's.
            const QStringList pupils = navigation.pupilNames();
            for (const QString &pupil : pupils) {
                navigation.selectPupil(pupil);
                store.ComputePupilProfile(level, pupil);
            }
            if (!pupils.isEmpty())
                store.ComputeClassProfile(level);
            SynthesisInput input = ReadSynthesisInput(connection);
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
                name = SynthesisFileName(school + QStringLiteral(" - ") + entry.label.trimmed());
            const QString path = out.filePath(name);
            if (WriteSynthesisPdf(document, path, &error, QStringLiteral("Création : ") + name))
                result.written.append(path);
            else
                result.errors.append(error);
        }
    }
    connection.CloseDatabase();
    return result;
}
