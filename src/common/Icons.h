#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// The icons of the toolbars' commands, in one place: the desktop theme's icon
// when the theme has one, else the copy bundled with the program (Adwaita,
// GNOME project, CC-BY-SA 3.0 or LGPL 3). Commands are named by what they do:
//   main window  "entry", "synthesis", "backup", "restore", "print", "yearChange"
//   lists        "add", "modify", "delete", "export", "import", "grid"
//   records      "validate", "next", "cancel", "exit"
//   report viewer "print", "printPage", "pageSetup", "pdf", "close"
namespace Icons {

// The command's icon; a null icon for a name that is none of the above.
QIcon forCommand(const QString &command);
// The freedesktop name looked up in the theme for `command`; empty when unknown.
QString themeName(const QString &command);
// Every command name that has an icon.
QStringList commands();

} // namespace Icons
