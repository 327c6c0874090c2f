#include "SchoolDialog.h"

namespace {

RecordDialog::Layout schoolLayout()
{
    RecordDialog::Layout layout;
    layout.objectName = QStringLiteral("schoolDialog");
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

SchoolDialog::SchoolDialog(AppContext &context, MainScreen &screen, bool creating, QWidget *parent)
    : RecordDialog(context, screen, RecordKind::School, schoolLayout(), creating, parent)
{}
