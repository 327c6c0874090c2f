#include "PupilTransferCommands.h"

#include "PupilExport.h"
#include "PupilImport.h"
#include "PupilTextList.h"
#include "TransferFile.h"

#include "backup/cUnzip.h"
#include "evaluation/EvaluationModel.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"

#include <QDir>
#include <QListWidget>

namespace {

const QString Abandon = QStringLiteral("Abandon");
const QString Success = QStringLiteral("Succès");

void choose(AppContext &context, bool folderMode, const QString &pattern, const QString &title)
{
    AppState &state = context.state;
    state.ChooserFolderMode = folderMode;
    state.ChooserPattern = pattern;
    state.ChooserTitle = title;
    context.dialogs.showChooser(state);
}

void refresh(Form1 &form)
{
    form.UpdateToolbars();
    form.List3_Click();
}

} // namespace

void ExportPupil(Form1 &form, AppContext &context)
{
    choose(context, true, QStringLiteral("*.mdb"), QStringLiteral("Choisir le répertoire de destination"));
    if (context.state.ChosenFolder.isEmpty()) {
        context.dialogs.message(Abandon, QStringLiteral("La procédure d'export a été abandonnée !"));
        form.UpdateToolbars();
        return;
    }
    const QListWidgetItem *pupil = form.pupilList()->currentItem();
    const QString shown = pupil ? pupil->text() : QString();
    QString error;
    bool done = false;
    {
        BusyGuard busy(context.dialogs);
        done = !shown.isEmpty() &&
               PupilExport::Export(context.connection, context.state.ChosenFolder, context.state.CurrentSchoolNo,
                                   context.state.CurrentClassNo, shown, &error);
    }
    if (!done) {
        context.dialogs.message(Abandon, QStringLiteral("La procédure d'export a été abandonnée suite à une erreur !"),
                                Dialogs::Icon::Warning);
        return;
    }
    context.dialogs.message(Success,
                            QStringLiteral("L'Exportation de l'élève ") + shown + QStringLiteral(" a réussi !"));
    form.UpdateToolbars();
}

void ImportPupil(Form1 &form, AppContext &context)
{
    choose(context, false, QStringLiteral("Export.mdb"),
           QStringLiteral("Choisir le répertoire contenant le fichier d'import"));
    if (context.state.ChosenFolder.isEmpty()) {
        context.dialogs.message(Abandon, QStringLiteral("La procédure d'import a été abandonnée !"));
        return;
    }
    PupilImport::Result result;
    {
        BusyGuard busy(context.dialogs);
        result = PupilImport::Import(context.connection, context.state.ChosenFolder, context.state.CurrentSchoolNo,
                                     context.state.CurrentClassNo, LevelName(form.selectedLevelCode()));
    }
    switch (result.outcome) {
    case PupilImport::Outcome::Failed:
        context.dialogs.message(Abandon, QStringLiteral("La procédure d'import a été abandonnée suite à une erreur !"),
                                Dialogs::Icon::Warning);
        return;
    case PupilImport::Outcome::LevelMismatch:
        context.dialogs.message(
            Abandon, QStringLiteral("Le niveau de la classe ne concorde pas.\nla procédure est abandonnée !"),
            Dialogs::Icon::Warning);
        break;
    case PupilImport::Outcome::Imported:
        context.dialogs.message(Success, QStringLiteral("L'importation de l'élève ") + result.name +
                                             QStringLiteral(" a réussi !"));
        break;
    }
    refresh(form);
}

void ImportPupilList(Form1 &form, AppContext &context)
{
    choose(context, false, QStringLiteral("*.txt"),
           QStringLiteral("Choisir le répertoire contenant la liste des élèves (.txt)"));
    if (context.state.ChosenFile.isEmpty())
        return;
    const QString path =
        QDir(TransferFile::WithoutTrailingSeparator(context.state.ChosenFolder)).filePath(context.state.ChosenFile);
    QString error;
    bool done = false;
    {
        BusyGuard busy(context.dialogs);
        done = PupilTextList::Import(context.connection, path, context.state.CurrentSchoolNo,
                                     context.state.CurrentClassNo, nullptr, &error);
    }
    if (!done) {
        context.dialogs.message(Abandon, QStringLiteral("L'importation de la liste des élèves a échoué.\n") + error,
                                Dialogs::Icon::Warning);
        return;
    }
    refresh(form);
}

void ConnectPupilTransfers(Form1 &form, AppContext &context)
{
    auto &commands = form.routes().listCommands;
    commands.insert(QStringLiteral("Toolbar4/Exporte"), [&form, &context] { ExportPupil(form, context); });
    commands.insert(QStringLiteral("Toolbar4/Importe"), [&form, &context] { ImportPupil(form, context); });
    commands.insert(QStringLiteral("Toolbar4/ImpEleve"), [&form, &context] { ImportPupil(form, context); });
    commands.insert(QStringLiteral("Toolbar4/EleveTXT"), [&form, &context] { ImportPupilList(form, context); });
    if (!form.findChild<cUnzip *>(QStringLiteral("m_cUnzip"), Qt::FindDirectChildrenOnly)) {
        auto *unzip = new cUnzip(&form);
        unzip->setObjectName(QStringLiteral("m_cUnzip"));
    }
}
