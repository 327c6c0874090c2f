#pragma once

class Form1;
struct AppContext;

// The pupil toolbar's transfers: "Exporte" (a pupil to another school),
// "Importe" and its menu entry "ImpEleve" (a pupil from another school),
// "EleveTXT" (a text list of names).
void ExportPupil(Form1 &form, AppContext &context);
void ImportPupil(Form1 &form, AppContext &context);
void ImportPupilList(Form1 &form, AppContext &context);

// Plugs the three commands into the main window's routes and creates the main
// window's zip reader ("m_cUnzip").
void ConnectPupilTransfers(Form1 &form, AppContext &context);
