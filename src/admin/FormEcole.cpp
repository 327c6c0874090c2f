#include "FormEcole.h"

namespace {

RecordForm::Layout schoolLayout()
{
    RecordForm::Layout layout;
    layout.objectName = QStringLiteral("FormEcole");
    layout.caption = QStringLiteral("Informations sur l'école");
    layout.newTitle = QStringLiteral("Nouvelle école");
    layout.editTitle = QStringLiteral("Edition des données école");
    layout.validateTip = QStringLiteral("Valiser les modifications");
    layout.textFields = {
        {QStringLiteral("Nom de l'école"), QStringLiteral("NOM_ECOLE"), {}},
        {QStringLiteral("Commune"), QStringLiteral("NOM_COMM"), {}},
        {QStringLiteral("Nom du collège"), QStringLiteral("NOM_COLL"), {}},
        {QStringLiteral("Nom de la commune du collège"), QStringLiteral("NOM_COMC"), {}},
    };
    layout.lists = {
        {QStringLiteral("Zone sensible"), QStringLiteral("ZEP"), {QStringLiteral("Non"), QStringLiteral("Oui")}},
        {QStringLiteral("BCD"),
         QStringLiteral("BCD"),
         {QStringLiteral("Non"), QStringLiteral("Sans personnel attaché"), QStringLiteral("Avec Personnel")},
         true},
        {QStringLiteral("Stage"), QStringLiteral("STAGE"), {QStringLiteral("Avec"), QStringLiteral("Sans")}},
    };
    return layout;
}

} // namespace

FormEcole::FormEcole(AppContext &context, Form1 &form1, QWidget *parent)
    : RecordForm(context, form1, RecordKind::School, schoolLayout(), parent)
{}
