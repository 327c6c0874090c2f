#pragma once

class MainScreen;
struct AppContext;

// « Changer de dossier de données… »: the user chooses another data folder
// (the chooser remembers the last one chosen); the database is closed and the
// start-up sequence runs on the new folder, whose lock is taken before the
// old folder's is released. A folder that cannot be used (another copy works
// on it, the user does not want an empty database there, its database is
// refused) leaves the program on the folder it had. The folder that opens is
// remembered for the next start from the menu.
void RunChangeDataFolder(AppContext &context, MainScreen &screen);
