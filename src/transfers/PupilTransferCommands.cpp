#include "PupilTransferCommands.h"

#include "PupilExport.h"
#include "PupilImport.h"
#include "PupilTextList.h"
#include "TransferFile.h"

#include "common/MainScreen.h"
#include "data/AppContext.h"
#include "data/Roster.h"
#include "evaluation/EvaluationModel.h"

#include <QDir>

namespace {

const QString Abandon = QStringLiteral("Abandon");
const QString Success = QStringLiteral("Succès");

std::optional<ChooserChoice> choose(AppContext &context, bool folderMode, const QString &pattern, const QString &title)
{
    return context.dialogs.chooseFolder({folderMode, pattern, title, {}});
}

// The lists again, on the class that received the pupils.
void refresh(MainScreen &screen, const SelectionKeys &keys)
{
    screen.updateToolbars();
    screen.showSelection({keys.schoolNo, keys.classNo, 0});
}

QString classLabel(const AppContext &context, const SelectionKeys &keys)
{
    return Roster::ClassOf(context.connection, keys.schoolNo, keys.classNo).label;
}

} // namespace

void ExportPupil(AppContext &context, MainScreen &screen)
{
    const std::optional<ChooserChoice> choice =
        choose(context, true, QStringLiteral("*.mdb"), QStringLiteral("Choisir le répertoire de destination"));
    if (!choice) {
        context.dialogs.message(Abandon, QStringLiteral("La procédure d'export a été abandonnée !"));
        screen.updateToolbars();
        return;
    }
    const qint64 key = context.session.pupilKey();
    const QString shown = Roster::PupilName(context.connection, key);
    QString error;
    bool done = false;
    {
        BusyGuard busy(context.dialogs);
        done = key != 0 && PupilExport::Export(context.connection, choice->folder, key, &error);
    }
    if (!done) {
        context.dialogs.message(
            Abandon, QStringLiteral("La procédure d'export a été abandonnée suite à une erreur !\n\n") + error,
            Dialogs::Icon::Warning);
        return;
    }
    context.dialogs.message(Success,
                            QStringLiteral("L'Exportation de l'élève ") + shown + QStringLiteral(" a réussi !"));
    screen.updateToolbars();
}

void ImportPupil(AppContext &context, MainScreen &screen)
{
    const std::optional<ChooserChoice> choice =
        choose(context, false, QStringLiteral("Export.mdb"),
               QStringLiteral("Choisir le répertoire contenant le fichier d'import"));
    if (!choice) {
        context.dialogs.message(Abandon, QStringLiteral("La procédure d'import a été abandonnée !"));
        return;
    }
    const SelectionKeys keys = context.session.keys();
    PupilImport::Result result;
    {
        BusyGuard busy(context.dialogs);
        const Session &session = context.session;
        result = PupilImport::Import(context.connection, choice->folder, qint16(session.schoolNo()),
                                     qint16(session.classNo()), LevelName(session.classLevel()));
    }
    switch (result.outcome) {
    case PupilImport::Outcome::Failed:
        context.dialogs.message(
            Abandon, QStringLiteral("La procédure d'import a été abandonnée suite à une erreur !\n\n") + result.error,
            Dialogs::Icon::Warning);
        return;
    case PupilImport::Outcome::LevelMismatch:
        context.dialogs.message(
            Abandon, QStringLiteral("Le niveau de la classe ne concorde pas.\nla procédure est abandonnée !"),
            Dialogs::Icon::Warning);
        break;
    case PupilImport::Outcome::Imported:
        context.dialogs.message(Success, QStringLiteral("L'importation de l'élève ") + result.name +
                                             QStringLiteral(" a réussi !\n") +
                                             PupilsAddedText(1, classLabel(context, keys)));
        break;
    }
    refresh(screen, keys);
}

void ImportPupilList(AppContext &context, MainScreen &screen)
{
    const std::optional<ChooserChoice> choice =
        choose(context, false, QStringLiteral("*.txt"),
               QStringLiteral("Choisir le répertoire contenant la liste des élèves (.txt)"));
    if (!choice || choice->file.isEmpty())
        return;
    const QString path = QDir(TransferFile::WithoutTrailingSeparator(choice->folder)).filePath(choice->file);
    const SelectionKeys keys = context.session.keys();
    QString error;
    bool done = false;
    int added = 0;
    int skipped = 0;
    {
        BusyGuard busy(context.dialogs);
        done = PupilTextList::Import(context.connection, path, qint16(keys.schoolNo), qint16(keys.classNo), &added,
                                     &error, &skipped);
    }
    if (!done) {
        context.dialogs.message(Abandon, QStringLiteral("L'importation de la liste des élèves a échoué.\n") + error,
                                Dialogs::Icon::Warning);
        return;
    }
    QString text = PupilsAddedText(added, classLabel(context, keys));
    if (skipped > 0)
        text += QStringLiteral("\n%1 élève(s) déjà présent(s) dans la classe n'ont pas été ajoutés.").arg(skipped);
    context.dialogs.message(QStringLiteral("Message"), text);
    refresh(screen, keys);
}

QString PupilsAddedText(int added, const QString &classLabel)
{
    if (added <= 0)
        return QStringLiteral("Aucun élève n'a été ajouté à la classe « %1 ».").arg(classLabel);
    if (added == 1)
        return QStringLiteral("1 élève a été ajouté à la classe « %1 ».").arg(classLabel);
    return QStringLiteral("%1 élèves ont été ajoutés à la classe « %2 ».").arg(added).arg(classLabel);
}
