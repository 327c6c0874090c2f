#pragma once

#include <QString>

class MainScreen;
struct AppContext;

// The pupil toolbar's transfers: "Exporte" (the selected pupil to another
// school), "Importe" and its menu entry "ImpEleve" (a pupil from another
// school), "EleveTXT" (a text list of names). An import ends on the class
// that received the pupils, saying how many were added to it.
void ExportPupil(AppContext &context, MainScreen &screen);
void ImportPupil(AppContext &context, MainScreen &screen);
void ImportPupilList(AppContext &context, MainScreen &screen);

// What every import ends with: "3 élèves ont été ajoutés à la classe « Martin CP »."
QString PupilsAddedText(int added, const QString &classLabel);
