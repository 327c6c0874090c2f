#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class Connection;

// The columns of a class's results as a spreadsheet shows them: for every
// evaluated trimester and exercise its items, its total (where it has one),
// its category and its profile letter, then the pupil's domain profiles.
struct ResultColumn
{
    enum class Kind { Item, Total, Category, Profile, DomainProfile };
    Kind kind = Kind::Item;
    int trimester = 0; // 0 for a domain profile
    int exercise = 0;
    int item = 0;
    int slot = 0;    // domain profiles
    QString field;   // the ELEVE column: "T1_E1P1", "PROFIL_L"
    QString group;   // the heading over the exercise's columns: "Langage", "Compr.texte Nar."
    QString heading; // the column's own heading: "Q1", "Total", "Cat.", "Profil"
    QString label;   // the readable name of a CSV header: "T1 Langage Q1"
};

QList<ResultColumn> ResultColumns(int level);

// A stored value as a spreadsheet cell: scores, totals and categories as
// whole numbers, letters as text; an absence ("_", 99, null) as an empty cell.
QVariant CellValue(const ResultColumn &column, const QVariantMap &fields);

struct PupilResults
{
    qint64 key = 0;
    QString name;
    QVariantMap fields; // the pupil's ELEVE row
};

// A class with what its sheet's header block shows.
struct ClassResults
{
    int schoolNo = 0;
    int classNo = 0;
    int level = 0; // 1 GS, 2 CP, 3 CE1
    QString school;
    QString label;
    QString teacher;
    QList<PupilResults> pupils; // in the class list's order
};

// The class with its pupils' rows; false with `error` set when it is not
// found, its level is not evaluated or the database refuses.
bool ReadClassResults(const Connection &connection, int schoolNo, int classNo, ClassResults *out, QString *error);
// Every class of an evaluated level of the school, by label.
bool ReadSchoolResults(const Connection &connection, int schoolNo, QList<ClassResults> *out, QString *error);

// The trimester name of a heading: "1er Trimestre"...
QString TrimesterHeading(int trimester);
