#include "PupilDialog.h"

#include "common/TextUtil.h"

namespace {

RecordDialog::Layout pupilLayout()
{
    RecordDialog::Layout layout;
    layout.objectName = QStringLiteral("pupilDialog");
    layout.caption = QStringLiteral("Informations sur l'élève");
    layout.newTitle = QStringLiteral("Nouvel Elève");
    layout.editTitle = QStringLiteral("Edition des données Elève");
    layout.validateTip = QStringLiteral("Valider les modifications");
    layout.textFields = {{QStringLiteral("Nom de l'élève"), QStringLiteral("NOM"), {}}};
    layout.lists = {{QStringLiteral("C.S.P."), QStringLiteral("CSP"), CspLabels().mid(1)}};
    return layout;
}

} // namespace

PupilDialog::PupilDialog(AppContext &context, MainScreen &screen, bool creating, QWidget *parent)
    : RecordDialog(context, screen, RecordKind::Pupil, pupilLayout(), creating, parent)
{}
