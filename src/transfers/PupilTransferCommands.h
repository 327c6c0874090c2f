#pragma once

class MainScreen;
struct AppContext;

// The pupil toolbar's transfers: "Exporte" (the selected pupil to another
// school), "Importe" and its menu entry "ImpEleve" (a pupil from another
// school), "EleveTXT" (a text list of names).
void ExportPupil(AppContext &context, MainScreen &screen);
void ImportPupil(AppContext &context, MainScreen &screen);
void ImportPupilList(AppContext &context, MainScreen &screen);
