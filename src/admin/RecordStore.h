#pragma once

#include "mainwindow/Navigation.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>

class Connection;
struct AppState;

enum class RecordKind { School = 1, Class = 2, Pupil = 3 };

// The reads and writes of the record dialogs. A record is a row of ECOLE
// (through Data1), CLASSE (Data2) or ELEVE, named by its bookmark, so that a
// dialog keeps editing the same row whatever the lists do meanwhile.
class RecordStore
{
public:
    using Values = QList<std::pair<QString, QVariant>>;

    RecordStore(Connection &connection, AppState &state);

    // The row of the current selection: Data1's and Data2's current rows, the
    // pupil of that name in the current class. Invalid when there is none.
    QVariant currentRow(RecordKind kind, const QString &pupilName = QString());
    QVariant value(RecordKind kind, const QVariant &row, const QString &column);

    // Writes `values` (column, value) into `row`, or into a new row when
    // `row` is invalid; `row` then names the new row. A new school is
    // numbered after the last row of the table (1 for the first one), a new
    // class after the largest number among its school's classes, and a new
    // pupil belongs to the current school and class. A class's LIBELLE is
    // composed from its teacher and level. False, with a message for the
    // user and nothing written, when the number would pass 32767 or the
    // database refuses.
    bool write(RecordKind kind, QVariant &row, const Values &values, QString *error);

    // "Martin CP": the class label made of the teacher's name and the level.
    static QString ClassLabel(const QString &teacher, const QString &level);

    // What the main window's lists show: schools in table order, the current
    // school's classes and the current class's pupils, both requeried.
    QStringList schoolNames();
    QList<Navigation::ClassEntry> classEntries();
    QStringList pupilNames();

private:
    Connection &m_connection;
    AppState &m_state;
};
