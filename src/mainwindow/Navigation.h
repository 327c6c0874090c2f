#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Connection;
struct AppState;

// Enabled state of every button of the three list toolbars, separators included:
// schools 3 buttons, classes 3, pupils 8 (index 0 is button 1).
struct ToolbarStates
{
    QList<bool> schools;
    QList<bool> classes;
    QList<bool> pupils;
};

// The toolbar states that follow the row counts of the schools, of the
// current school's classes and of the current class's pupils.
ToolbarStates UpdateToolbarStates(int schoolCount, int classCount, int pupilCount);

// The data side of the three linked lists of the main window: schools, the
// classes of the selected school, the pupils of the selected class. Each
// selection positions the recordsets and sets the current numbers; the window
// fills its lists from what these return.
class Navigation
{
public:
    struct ClassEntry
    {
        QString label;
        int levelCode = 0; // 1 GS, 2 CP, 3 CE1, 0 otherwise
    };

    Navigation(Connection &connection, AppState &state);

    // The school names in table order.
    QStringList schoolNames();
    // School selection: finds the school by name, sets CurrentSchoolNo and
    // filters the classes (and, for a school without class, the pupils with
    // class 0). Returns the school's classes in display order.
    QList<ClassEntry> selectSchool(const QString &name);
    // Class selection: finds the class by label within the current school,
    // positions Data2, sets CurrentClassNo and filters the pupils. Returns
    // the class's level text ("GS", "CP", "CE1" or other).
    QString selectClass(const QString &label);
    // The pupils of the selected class in display order.
    QStringList pupilNames();
    // Pupil selection: makes the pupil the current row of VIEW_ELEVE.
    bool selectPupil(const QString &name);
    // ANNEE of the current school's latest year change, or empty.
    QString lastChangeYear();

    ToolbarStates toolbarStates();
    Connection &connection() { return m_connection; }

private:
    Connection &m_connection;
    AppState &m_state;
};
