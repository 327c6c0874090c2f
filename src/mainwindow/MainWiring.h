#pragma once

class Form1;
struct AppContext;

// Plugs the main window's routes into the scoring and the windows it opens.
void ConnectMainWindow(Form1 &form, AppContext &context);
