#include "SpreadsheetCommands.h"

#include "ImportPreviewDialog.h"
#include "ResultsCsv.h"
#include "ResultsImport.h"
#include "SchoolList.h"
#include "SchoolListDialog.h"
#include "XlsxExport.h"
#include "common/MainScreen.h"
#include "data/AppContext.h"
#include "data/Roster.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString Abandon = QStringLiteral("Abandon");

std::optional<QString> chosenPath(AppContext &context, bool folderMode, const QString &pattern, const QString &title,
                                  const QString &fileName = QString())
{
    const std::optional<ChooserChoice> choice =
        context.dialogs.chooseFolder({folderMode, pattern, title, QStringLiteral("tableur")});
    if (!choice || choice->folder.isEmpty() || (!folderMode && choice->file.isEmpty()))
        return std::nullopt;
    return QDir(choice->folder).filePath(folderMode ? fileName : choice->file);
}

// False when the user keeps the file that is there.
bool mayReplace(AppContext &context, const QString &path)
{
    return !QFileInfo::exists(path) ||
           context.dialogs.question(
               QStringLiteral("Confirmer"),
               QStringLiteral("Le fichier « %1 » existe déjà. Le remplacer ?").arg(QFileInfo(path).fileName()), true);
}

QString schoolName(const AppContext &context, int schoolNo)
{
    for (const Roster::SchoolEntry &s : Roster::Schools(context.connection))
        if (s.schoolNo == schoolNo)
            return s.name;
    return QString();
}

} // namespace

QString FileNameOf(const QString &label, const QString &extension)
{
    QString name;
    for (const QChar c : label)
        name += QStringLiteral("<>:\"/\\|?*").contains(c) || c.unicode() < 0x20 ? QLatin1Char('_') : c;
    name = name.simplified();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("Resultats"));
    return name + QLatin1Char('.') + extension;
}

void ExportClassResults(AppContext &context, MainScreen &screen, bool csv)
{
    const SelectionKeys keys = context.session.keys();
    ClassResults results;
    QString error;
    if (!context.session.hasClass() ||
        !ReadClassResults(context.connection, keys.schoolNo, keys.classNo, &results, &error)) {
        context.dialogs.message(Abandon, QStringLiteral("Les résultats ne peuvent pas être exportés.\n") + error,
                                Dialogs::Icon::Warning);
        return;
    }
    const std::optional<QString> path =
        chosenPath(context, true, csv ? QStringLiteral("*.csv") : QStringLiteral("*.xlsx"),
                   QStringLiteral("Choisir le répertoire où exporter les résultats"),
                   FileNameOf(results.label, csv ? QStringLiteral("csv") : QStringLiteral("xlsx")));
    if (!path || !mayReplace(context, *path))
        return;
    bool done = false;
    {
        BusyGuard busy(context.dialogs);
        done = csv ? ResultsCsv::Write(*path, results, &error)
                   : XlsxExport::Write(*path, {results}, context.state.years.CurrentSchoolYear,
                                       context.clock.now().date(), &error);
    }
    if (!done) {
        context.dialogs.message(Abandon, QStringLiteral("L'exportation des résultats a échoué.\n") + error,
                                Dialogs::Icon::Warning);
        return;
    }
    context.dialogs.message(
        QStringLiteral("Succès"),
        QStringLiteral("Les résultats de la classe « %1 » sont dans « %2 ».").arg(results.label, *path));
    screen.updateToolbars();
}

void ExportSchoolResults(AppContext &context, MainScreen &screen)
{
    const int schoolNo = context.session.schoolNo();
    QList<ClassResults> classes;
    QString error;
    if (schoolNo == 0 || !ReadSchoolResults(context.connection, schoolNo, &classes, &error)) {
        context.dialogs.message(Abandon, QStringLiteral("Les résultats ne peuvent pas être exportés.\n") + error,
                                Dialogs::Icon::Warning);
        return;
    }
    if (classes.isEmpty()) {
        context.dialogs.message(Abandon,
                                QStringLiteral("L'école n'a aucune classe de GS, de CP ou de CE1 : il n'y a pas "
                                               "de résultats à exporter."),
                                Dialogs::Icon::Warning);
        return;
    }
    const QString school = schoolName(context, schoolNo);
    const std::optional<QString> path = chosenPath(context, true, QStringLiteral("*.xlsx"),
                                                   QStringLiteral("Choisir le répertoire où exporter les résultats"),
                                                   FileNameOf(school, QStringLiteral("xlsx")));
    if (!path || !mayReplace(context, *path))
        return;
    bool done = false;
    {
        BusyGuard busy(context.dialogs);
        done = XlsxExport::Write(*path, classes, context.state.years.CurrentSchoolYear, context.clock.now().date(),
                                 &error);
    }
    if (!done) {
        context.dialogs.message(Abandon, QStringLiteral("L'exportation des résultats a échoué.\n") + error,
                                Dialogs::Icon::Warning);
        return;
    }
    context.dialogs.message(QStringLiteral("Succès"),
                            QStringLiteral("Les résultats des %1 classe(s) de l'école « %2 » sont dans « %3 ».")
                                .arg(classes.size())
                                .arg(school, *path));
    screen.updateToolbars();
}

void ImportResults(AppContext &context, MainScreen &screen)
{
    const SelectionKeys keys = context.session.keys();
    if (keys.schoolNo == 0)
        return;
    const std::optional<QString> path =
        chosenPath(context, false, QStringLiteral("*.xlsx;*.csv"),
                   QStringLiteral("Choisir le classeur ou le fichier CSV des résultats"));
    if (!path)
        return;
    ResultsImport::Plan plan;
    QString error;
    bool read = false;
    {
        BusyGuard busy(context.dialogs);
        read = ResultsImport::Prepare(context.connection, *path, keys.schoolNo, keys.classNo, &plan, &error);
    }
    const QString failed = QStringLiteral("L'importation des résultats a échoué : aucun résultat n'a été modifié.\n");
    if (!read) {
        context.dialogs.message(Abandon, failed + error, Dialogs::Icon::Warning);
        return;
    }
    if (!plan.refusals.isEmpty()) {
        QStringList lines;
        for (int i = 0; i < plan.refusals.size() && i < 30; ++i)
            lines.append(plan.refusals.at(i).text());
        if (plan.refusals.size() > 30)
            lines.append(QStringLiteral("… et %1 autre(s).").arg(plan.refusals.size() - 30));
        context.dialogs.message(Abandon,
                                failed + QStringLiteral("%1 valeur(s) refusée(s) :\n").arg(plan.refusals.size()) +
                                    lines.join(QLatin1Char('\n')),
                                Dialogs::Icon::Warning);
        return;
    }
    if (plan.changes.isEmpty()) {
        context.dialogs.message(
            QStringLiteral("Message"),
            QStringLiteral("Le fichier « %1 » ne change aucun résultat.").arg(QFileInfo(*path).fileName()));
        return;
    }
    ImportPreviewDialog preview(QFileInfo(*path).fileName(), plan, screen.window());
    if (preview.exec() != QDialog::Accepted)
        return;
    bool stored = false;
    {
        BusyGuard busy(context.dialogs);
        stored = ResultsImport::Apply(context.connection, plan, &error);
    }
    if (!stored) {
        context.dialogs.message(Abandon, failed + error, Dialogs::Icon::Warning);
        return;
    }
    context.dialogs.message(QStringLiteral("Succès"), QStringLiteral("%1 valeur(s) de %2 élève(s) ont été importées.")
                                                          .arg(plan.changes.size())
                                                          .arg(plan.pupilCount()));
    screen.showSelection(keys);
}

void ImportSchoolList(AppContext &context, MainScreen &screen)
{
    const SelectionKeys keys = context.session.keys();
    if (keys.schoolNo == 0)
        return;
    const std::optional<QString> path = chosenPath(context, false, QStringLiteral("*.csv;*.txt"),
                                                   QStringLiteral("Choisir la liste des élèves de l'école (CSV)"));
    if (!path)
        return;
    QList<SchoolList::Group> groups;
    QString error;
    const QString failed = QStringLiteral("L'importation de la liste de l'école a échoué.\n");
    if (!SchoolList::Read(*path, &groups, &error)) {
        context.dialogs.message(Abandon, failed + error, Dialogs::Icon::Warning);
        return;
    }
    SchoolListDialog dialog(context.connection, context.dialogs, keys.schoolNo, QFileInfo(*path).fileName(), groups,
                            screen.window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    SchoolList::Outcome outcome;
    bool done = false;
    {
        BusyGuard busy(context.dialogs);
        done = SchoolList::Apply(context.connection, keys.schoolNo, groups, dialog.targets(), &outcome, &error);
    }
    if (!done) {
        context.dialogs.message(Abandon, failed + error, Dialogs::Icon::Warning);
        return;
    }
    context.dialogs.message(QStringLiteral("Message"),
                            QStringLiteral("%1 élève(s) ajouté(s), %2 ignoré(s) (déjà présents ou non importés) ; "
                                           "%3 classe(s) créée(s).")
                                .arg(outcome.added)
                                .arg(outcome.skipped)
                                .arg(outcome.classesCreated));
    screen.showSelection(keys);
}
