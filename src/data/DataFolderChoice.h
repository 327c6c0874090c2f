#pragma once

#include <QString>
#include <QStringList>

// Which folder the program works on, from its command line and what it finds.
namespace DataFolderChoice {

// What the command line says: "velorin [--ignorer-verrou] [DOSSIER]".
struct Arguments
{
    QString folder;          // as typed; empty when none
    bool ignoreLock = false; // "--ignorer-verrou"
    QString error;           // French, when the line cannot be understood
};
// `arguments` without the program's name.
Arguments Parse(const QStringList &arguments);

enum class Source {
    Argument,      // the folder named on the command line
    CurrentFolder, // started from a terminal in a folder holding the database
    LastUsed,      // the folder the program last worked on
    Default,       // "Velorin" in the user's documents folder
};

struct Situation
{
    QString argument;                  // the folder named on the command line, or empty
    QString currentFolder;             // the process's current folder
    bool currentHoldsDatabase = false; // it holds "donnees.mdb" (any letter case)
    QString lastUsed;                  // remembered from the last run, or empty
    bool lastUsedIsFolder = false;     // it is still there
    QString documents;                 // the user's documents folder
};

struct Decision
{
    QString folder; // absolute, '/'-separated, without trailing separator
    Source source;
};

// A folder named on the command line wins (relative to the current folder);
// then the current folder when it holds the database (the program started
// there from a terminal, as it always was); then the folder last used while
// it is there; else "Velorin" in the documents folder. A menu launch starts
// in the home folder, which holds no database: its data then goes to a
// folder of its own instead of the home folder.
Decision Decide(const Situation &situation);

// The situation of this process: current folder, last used folder, documents.
Situation Observe(const QString &argument);

// The folder last used, kept from one run to the next.
QString LastUsed();
void RememberLastUsed(const QString &folder);

} // namespace DataFolderChoice
