#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Connection;

// The school administration's list of pupils: a ";" CSV file with a header
// line whose columns are found by name in any order (« Nom élève », « Nom
// d'usage élève », « Prénom élève », « Date naissance », « Niveau »,
// « Libellé classe »; others ignored), encoded UTF-8 (with or without BOM) or
// ISO-8859-1/Windows-1252. A pupil is stored as "NOM Prénom", the usage name
// when there is one.
namespace SchoolList {

struct Pupil
{
    QString name; // "DUPONT Léa"
    QString birthDate;
    int line = 0;
};

// The pupils of one class of the list at one level: a class of two levels
// gives two groups.
struct Group
{
    QString classLabel; // « Libellé classe »
    QString levelText;  // « Niveau » as written
    int level = 0;      // 1 GS, 2 CP, 3 CE1; 0: a level the program does not evaluate
    QList<Pupil> pupils;
};

// "GS", "Grande section", "CP", "CE1" in any letter case; 0 for any other text.
int LevelOfText(const QString &text);

// Parses the list; false with a French `error` when the file is refused (no
// header line naming the columns, limits of common/Limits.h). Groups come in
// order of first appearance.
bool Parse(const QString &text, const QString &shown, QList<Group> *groups, QString *error);
bool Read(const QString &path, QList<Group> *groups, QString *error);

// Where a group goes: an existing class of the school, a new class (its
// teacher's name given), or nowhere.
struct Target
{
    enum class Kind { Skip, Existing, New };
    Kind kind = Kind::Skip;
    int classNo = 0; // Existing
    QString teacher; // New
};

struct Outcome
{
    int added = 0;
    int skipped = 0; // already in their class, or twice in the list
    int classesCreated = 0;
};

// Adds every group's pupils to its target in school `schoolNo`, in one
// transaction; a pupil whose name the class has already is skipped. A new
// class gets the group's level and the label "<teacher> <level>", as the
// class dialog names it. False, with nothing written, when a target is not
// valid, a class would go beyond Limits::PupilsPerClass or the database refuses.
bool Apply(Connection &connection, int schoolNo, const QList<Group> &groups, const QList<Target> &targets,
           Outcome *outcome, QString *error);

} // namespace SchoolList
