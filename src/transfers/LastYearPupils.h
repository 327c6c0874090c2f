#pragma once

#include <QList>
#include <QString>
#include <QVariant>

class Connection;

// Refilling a class from the pupils archived for the previous school year.
namespace LastYearPupils {

// The level pupils come up from: "GS" gives "--" (none), "CP" "GS", "CE1"
// "CP"; any other level gives the empty text.
QString LevelBelow(const QString &level);

// A level right-aligned in three characters (the text pattern "@@@"): " GS",
// " CP", "CE1"; a longer text is kept whole.
QString FormatLevel(const QString &level);

// Whether the archive holds any pupil at all.
bool AnyArchived(Connection &connection);

struct Offer
{
    QString text;      // level "@@@", " : ", name
    QVariant bookmark; // the pupil's bookmark in VIEW_ANCIEN
};

// The pupils archived for `previousYear` whose level is `classLevel` or the
// level below, those moving up first, then by name, leaving out those whose
// name a pupil of the class already has (counted in `alreadyInClass`).
// VIEW_ANCIEN is filtered to them (an indexed query: the archive holds every
// school's past years).
QList<Offer> Offers(Connection &connection, const QString &classLevel, const QString &previousYear, int school,
                    int klass, int *alreadyInClass = nullptr);

// Adds the archived pupils at `bookmarks` to the class, with their name and
// occupation code and no result, in one transaction. A name the class
// already has (two archived pupils of one name, say) is skipped and counted
// in `skipped`.
bool Add(Connection &connection, qint16 school, qint16 klass, const QList<QVariant> &bookmarks, QString *error,
         int *skipped = nullptr);

} // namespace LastYearPupils
