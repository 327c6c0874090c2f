#pragma once

class MainWindow;
struct AppContext;

// Builds the features the main window starts and plugs them into its
// toolbars: the record dialogs and deletions, the transfers, the year change,
// backup and restore, the entry windows and the class synthesis.
void ConnectMainWindow(MainWindow &window, AppContext &context);
