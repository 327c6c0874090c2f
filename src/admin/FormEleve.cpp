#include "FormEleve.h"

#include "common/TextUtil.h"

namespace {

RecordForm::Layout pupilLayout()
{
    RecordForm::Layout layout;
    layout.objectName = QStringLiteral("FormEleve");
    layout.caption = QStringLiteral("Informations sur l'élève");
    layout.newTitle = QStringLiteral("Nouvel Elève");
    layout.editTitle = QStringLiteral("Edition des données Elève");
    layout.validateTip = QStringLiteral("Valider les modifications");
    layout.textFields = {{QStringLiteral("Nom de l'élève"), QStringLiteral("NOM"), {}}};
    layout.lists = {{QStringLiteral("C.S.P."), QStringLiteral("CSP"), CspLabels().mid(1)}};
    return layout;
}

} // namespace

FormEleve::FormEleve(AppContext &context, Form1 &form1, QWidget *parent)
    : RecordForm(context, form1, RecordKind::Pupil, pupilLayout(), parent)
{}
