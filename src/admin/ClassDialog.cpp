#include "ClassDialog.h"

namespace {

RecordDialog::Layout classLayout()
{
    RecordDialog::Layout layout;
    layout.objectName = QStringLiteral("classDialog");
    layout.caption = QStringLiteral("Informations sur la classe");
    layout.newTitle = QStringLiteral("Nouvelle classe");
    layout.editTitle = QStringLiteral("Edition des données classe");
    layout.validateTip = QStringLiteral("Valiser les modifications");
    layout.textFields = {{QStringLiteral("Nom enseignant"), QStringLiteral("ENSEIGN"), {}}};
    layout.lists = {
        {QStringLiteral("Niveau"),
         QStringLiteral("NIVEAU"),
         {QStringLiteral("GS"), QStringLiteral("CP"), QStringLiteral("CE1")}},
        {QStringLiteral("Temps pour la BCD"),
         QStringLiteral("TEMP_UTIL"),
         {QStringLiteral("Pas de BCD, ou pas d'utilisation dans le cadre des activités de classe"),
          QStringLiteral("Environ 1 heure par semaine"), QStringLiteral("De 2 à 5 heures par semaine"),
          QStringLiteral("Accès constant")}},
        {QStringLiteral("Expérience du maître"),
         QStringLiteral("EXPER"),
         {QStringLiteral("1ère année à ce niveau"), QStringLiteral("1 à 3 ans à ce niveau"),
          QStringLiteral("De 4 à 10 ans à ce niveau"), QStringLiteral("plus de 10 ans à ce niveau")}},
        {QStringLiteral("Formation du maître"),
         QStringLiteral("FORMAT"),
         {QStringLiteral("Pas de formation spécifique"), QStringLiteral("Formation antérieure aux 5 dernières années"),
          QStringLiteral("Formation dans les 5 dernières années")}},
    };
    return layout;
}

} // namespace

ClassDialog::ClassDialog(AppContext &context, MainScreen &screen, bool creating, QWidget *parent)
    : RecordDialog(context, screen, RecordKind::Class, classLayout(), creating, parent)
{}
