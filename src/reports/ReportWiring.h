#pragma once

class Form1;
struct AppContext;

// Plugs the class synthesis viewer into the main window's "Analyse".
void ConnectReports(Form1 &form, AppContext &context);
