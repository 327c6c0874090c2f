#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <array>
#include <functional>

// The scoring of the evaluation, as plain functions over values: the items of
// an exercise give a total, a category 1..4 and a profile letter; a pupil's
// stored categories give a profile per domain; a class's pupils give average
// categories and a class profile per domain.

// Int(x) + 1 when x has a fractional part, else Int(x) (x >= 0): 3.5 -> 4.
int RoundUp(double x);
// Int(x) + 1 when the fractional part is above one half, else Int(x): 2.5 -> 2, 2.75 -> 3.
int RoundHalfDown(double x);

// The value of an item box: the whole number its text starts with (0 when it
// starts with no digit).
int BoxValue(const QString &text);

// What an exercise shows in its tot, cat and prof labels; "_" when not computed.
struct ExerciseResult
{
    QString tot = QStringLiteral("_");
    QString cat = QStringLiteral("_");
    QString prof = QStringLiteral("_");

    bool operator==(const ExerciseResult &) const = default;
};

// Evaluates exercise (level, trimester, exercise) from the texts of its item
// boxes, items 1..n in order ("_" for no result). Only when every item is
// scored are the total, category and profile letter computed; the two
// half-weight items count RoundUp(value / 2).
ExerciseResult EvaluateExercise(int level, int trimester, int exercise, const QStringList &boxTexts);

// The fields stored for one exercise of a window, as a validation stores them:
// items (99 for "_"), the total where the exercise has one (99 for "_"), the
// category (99 for "_") and the profile letter ("_" when no category).
QVariantMap ExerciseFields(int level, int trimester, int exercise, const QStringList &boxTexts,
                           const ExerciseResult &labels);

// A stored value as the scoring reads it: null, empty, or 99 and above are absent.
bool IsScored(const QVariant &value);

// The pupil's domain profiles, by slot (index 0 = slot 1 "L" ... 3 = slot 4 "CT").
struct PupilProfile
{
    std::array<QString, 4> profile{QStringLiteral("_"), QStringLiteral("_"), QStringLiteral("_"), QStringLiteral("_")};
    std::array<double, 4> moycat{0, 0, 0, 0};
};

using FieldReader = std::function<QVariant(const QString &field)>;

// From the pupil's stored categories and profile letters (read through `field`).
PupilProfile ComputePupilProfileValues(int level, const FieldReader &field);

// The class's average category of every exercise (0 when no pupil has one) and
// its profile per slot ("_" when no exercise of the domain has an average).
struct ClassProfile
{
    std::array<std::array<double, 3>, 3> averages{}; // [trimester - 1][exercise - 1]
    std::array<QString, 4> profile{QStringLiteral("_"), QStringLiteral("_"), QStringLiteral("_"), QStringLiteral("_")};
};

// From the stored categories of every pupil of the class (each read through its reader).
ClassProfile ComputeClassProfileValues(int level, const QList<FieldReader> &pupils);

// The four panel texts in display order: slots 1..4, or for CE1 slots 2, 3, 4, 1.
QStringList PanelTexts(int level, const std::array<QString, 4> &bySlot);
