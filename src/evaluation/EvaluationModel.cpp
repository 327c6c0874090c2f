#include "evaluation/EvaluationModel.h"

#include <array>

namespace {

constexpr int kLevels = 3;
constexpr int kTrimesters = 3;
constexpr int kExercises = 3;
constexpr int kMaxItems = 7;
constexpr int kSlots = 4;
constexpr int kRanks = 3;

struct Exercise
{
    int slot = 0;                  // domain slot 1..4; 0: no slot of its own
    const char *heading = nullptr; // nullptr: the slot's heading
    std::array<int, 4> bounds{};   // B0, B1, B2, B3
    int itemCount = 0;
    std::array<int, kMaxItems> maxima{};
    std::array<const char *, kMaxItems> captions{};
    const char *toolTipPrefix = nullptr; // "<prefix> question <i>" tool tips instead of captions
};

using Trimester = std::array<Exercise, kExercises>;

// [level - 1][trimester - 1][exercise - 1]. Unlisted cells are empty (0 items).
// GS trimester 3 and CP trimester 1 are the same exercises, and so are CP
// trimester 3 and CE1 trimester 1 (only some captions differ): the transfer of
// last year's pupils relies on it.
const std::array<std::array<Trimester, kTrimesters>, kLevels> kTable = {{
    // GS: no first-trimester evaluation.
    {{
        Trimester{},
        Trimester{{
            {1, nullptr, {6, 4, 3, 1}, 2, {4, 2}, {"lexique", "syntaxe"}},
            {2, nullptr, {6, 4, 3, 1}, 1, {6}, {"Nombre de réponses"}},
            {3, nullptr, {16, 12, 8, 4}, 2, {8, 8}, {"Mots généraux", "Mots de la classe"}},
        }},
        Trimester{{
            {1,
             nullptr,
             {8, 6, 4, 2},
             5,
             {1, 3, 2, 1, 1},
             {"Parole en général", "Lexique", "Syntaxe", "Discours indirect", "Temps du passé"}},
            {2, nullptr, {7, 5, 3, 1}, 3, {4, 2, 1}, {"Consc. syllabique", "Ecriture", "Connaissance lettres"}},
            {4, nullptr, {6, 4, 3, 1}, 1, {6}, {"Nombre de réponses"}},
        }},
    }},
    // CP
    {{
        Trimester{{
            {1,
             nullptr,
             {8, 6, 4, 2},
             5,
             {1, 3, 2, 1, 1},
             {"Parole en général", "Lexique", "Syntaxe", "Discours indirect", "Temps du passé"}},
            {2, nullptr, {7, 5, 3, 1}, 3, {4, 2, 1}, {"Consc. syllabique", "Ecriture", "Connaissance lettres"}},
            {4, nullptr, {6, 4, 3, 1}, 1, {6}, {"Nombre de réponses"}},
        }},
        Trimester{{
            {2, nullptr, {12, 9, 7, 3}, 3, {4, 4, 4}, {"Consc. phonémique", "Lecture orale de mots", "Ecriture"}},
            {3, nullptr, {12, 9, 7, 3}, 2, {8, 4}, {"Reconnais. des mots", "Compréh. de phrases"}},
            {4, nullptr, {5, 3, 2, 0}, 1, {5}, {"Nombre de réponses"}},
        }},
        Trimester{{
            {2, nullptr, {13, 9, 6, 3}, 2, {8, 10}, {"Lecture", "Ecriture"}}, // item 2 half-weight
            {3, nullptr, {15, 12, 9, 4}, 2, {10, 5}, {"Reconnais. des mots", "Compréh. de phrases"}},
            {4, nullptr, {5, 3, 2, 1}, 1, {5}, {"Nombre de réponses"}},
        }},
    }},
    // CE1
    {{
        Trimester{{
            {2, nullptr, {13, 9, 6, 3}, 2, {8, 10}, {"Lecture", "Ecriture"}}, // item 2 half-weight
            {3, nullptr, {15, 12, 9, 4}, 2, {10, 5}, {"Reconnaissance des mots", "Compréhension de phrases"}},
            {4, nullptr, {5, 3, 2, 1}, 1, {5}, {"Nombres de réponses"}},
        }},
        Trimester{{
            {3, nullptr, {10, 8, 6, 3}, 1, {10}, {"Mot-Phrases Nombre de réponses"}},
            {4, nullptr, {6, 4, 3, 1}, 1, {6}, {"Compréhension de texte Nombre de réponses"}},
            {1, nullptr, {6, 4, 3, 1}, 1, {6}, {"ARI Nombre de réponses"}},
        }},
        Trimester{{
            {4, "Compr.texte\nNar.", {7, 5, 3, 1}, 7, {1, 1, 1, 1, 1, 1, 1}, {}, "NAR"},
            {0, "Compr.texte\nDoc.", {7, 5, 3, 1}, 7, {1, 1, 1, 1, 1, 1, 1}, {}, "DOC"},
            {1, "ARI", {7, 5, 3, 1}, 7, {1, 1, 1, 1, 1, 1, 1}, {}, "ARI"},
        }},
    }},
}};

// [level - 1][slot - 1][rank - 1]; "" is an empty rank.
const char *const kCategoryFields[kLevels][kSlots][kRanks] = {
    {{"T2_E1CAT", "T3_E1CAT", ""}, {"T2_E2CAT", "T3_E2CAT", ""}, {"T2_E3CAT", "", ""}, {"T3_E3CAT", "", ""}},
    {{"T1_E1CAT", "", ""},
     {"T1_E2CAT", "T2_E1CAT", "T3_E1CAT"},
     {"T2_E2CAT", "T3_E2CAT", ""},
     {"T1_E3CAT", "T2_E3CAT", "T3_E3CAT"}},
    // CE1 T3_E2CAT (the "DOC" exercise) is in no slot: it enters slot 4 with T3_E1CAT.
    {{"T2_E3CAT", "T3_E3CAT", ""},
     {"T1_E1CAT", "", ""},
     {"T1_E2CAT", "T2_E1CAT", ""},
     {"T1_E3CAT", "T2_E2CAT", "T3_E1CAT"}},
};

const char *const kLevelNames[kLevels] = {"GS", "CP", "CE1"};
const char *const kSuffixes[kSlots] = {"L", "PG", "RM", "CT"};
const char *const kTitles[kSlots] = {"Langage", "Phono-graphique", "Mots et Phrases", "Comp. Texte"};
const char *const kHeadings[kSlots] = {"Langage", "Phono-\ngraphique", "Mots\nPhrases", "Compr.\nde texte"};
constexpr int kHalfWeightBoxes[] = {2312, 3112};

bool inRange(int value, int high)
{
    return value >= 1 && value <= high;
}

// The exercise's row, or nullptr when a coordinate is out of range.
const Exercise *exerciseAt(int level, int trimester, int exercise)
{
    if (!inRange(level, kLevels) || !inRange(trimester, kTrimesters) || !inRange(exercise, kExercises))
        return nullptr;
    return &kTable[level - 1][trimester - 1][exercise - 1];
}

// The exercise's row for an existing item, or nullptr.
const Exercise *exerciseOfItem(int level, int trimester, int exercise, int item)
{
    const Exercise *ex = exerciseAt(level, trimester, exercise);
    return ex && inRange(item, ex->itemCount) ? ex : nullptr;
}

} // namespace

int LevelCode(const QString &niveau)
{
    for (int level = 1; level <= kLevels; ++level) {
        if (niveau == QLatin1String(kLevelNames[level - 1]))
            return level;
    }
    return 0;
}

QString LevelName(int level)
{
    return inRange(level, kLevels) ? QString::fromLatin1(kLevelNames[level - 1]) : QString();
}

int FirstTrimester(int level)
{
    if (!inRange(level, kLevels))
        return 0;
    return level == 1 ? 2 : 1;
}

QList<int> EvaluatedTrimesters(int level)
{
    QList<int> trimesters;
    if (const int first = FirstTrimester(level)) {
        for (int t = first; t <= kTrimesters; ++t)
            trimesters.append(t);
    }
    return trimesters;
}

int ItemCount(int level, int trimester, int exercise)
{
    const Exercise *ex = exerciseAt(level, trimester, exercise);
    return ex ? ex->itemCount : 0;
}

int ItemMax(int level, int trimester, int exercise, int item)
{
    const Exercise *ex = exerciseAt(level, trimester, exercise);
    return ex && inRange(item, kMaxItems) ? ex->maxima[item - 1] : 0;
}

int CategoryBounds(int level, int trimester, int exercise, int k)
{
    const Exercise *ex = exerciseAt(level, trimester, exercise);
    return ex && k >= 0 && k < 4 ? ex->bounds[k] : 0;
}

bool IsHalfWeightBox(int boxNumber)
{
    for (int box : kHalfWeightBoxes) {
        if (box == boxNumber)
            return true;
    }
    return false;
}

bool HasTotalField(int level, int trimester, int exercise)
{
    const int count = ItemCount(level, trimester, exercise);
    return count >= 2 && count <= 6;
}

QString CategoryField(int level, int slot, int rank)
{
    if (!inRange(level, kLevels) || !inRange(slot, kSlots) || !inRange(rank, kRanks))
        return QString();
    return QString::fromLatin1(kCategoryFields[level - 1][slot - 1][rank - 1]);
}

QString DomainSuffix(int slot)
{
    return inRange(slot, kSlots) ? QString::fromLatin1(kSuffixes[slot - 1]) : QString();
}

QString DomainTitle(int level, int slot)
{
    if (!inRange(level, kLevels) || !inRange(slot, kSlots))
        return QString();
    if (level == 3 && slot == 1)
        return QStringLiteral("ARI");
    return QString::fromLatin1(kTitles[slot - 1]);
}

QList<int> PanelSlotOrder(int level)
{
    if (!inRange(level, kLevels))
        return {};
    if (level == 3)
        return {2, 3, 4, 1};
    return {1, 2, 3, 4};
}

QStringList PanelDomainCaptions(int level)
{
    QStringList captions;
    for (int slot : PanelSlotOrder(level))
        captions.append(DomainTitle(level, slot));
    return captions;
}

QString ItemField(int trimester, int exercise, int item)
{
    if (!inRange(trimester, kTrimesters) || !inRange(exercise, kExercises) || !inRange(item, kMaxItems))
        return QString();
    return QStringLiteral("T%1_E%2P%3").arg(trimester).arg(exercise).arg(item);
}

QString ExerciseField(int trimester, int exercise, const QString &kind)
{
    if (!inRange(trimester, kTrimesters) || !inRange(exercise, kExercises))
        return QString();
    if (kind != QLatin1String("TOT") && kind != QLatin1String("CAT") && kind != QLatin1String("PRO"))
        return QString();
    return QStringLiteral("T%1_E%2").arg(trimester).arg(exercise) + kind;
}

QString ProfileFieldOfCategoryField(const QString &catField)
{
    if (catField.size() < 5)
        return QString();
    return catField.left(5) + QStringLiteral("PRO");
}

QStringList PupilResultFields(int level)
{
    QStringList fields;
    for (int t : EvaluatedTrimesters(level)) {
        for (int e = 1; e <= kExercises; ++e) {
            for (int i = 1; i <= ItemCount(level, t, e); ++i)
                fields.append(ItemField(t, e, i));
            if (HasTotalField(level, t, e))
                fields.append(ExerciseField(t, e, QStringLiteral("TOT")));
            fields.append(ExerciseField(t, e, QStringLiteral("CAT")));
            fields.append(ExerciseField(t, e, QStringLiteral("PRO")));
        }
    }
    return fields;
}

QStringList PupilResultColumns()
{
    QStringList columns;
    for (int t = 1; t <= kTrimesters; ++t) {
        for (int e = 1; e <= kExercises; ++e) {
            const int items = t == 3 ? 7 : 5;
            for (int i = 1; i <= items; ++i)
                columns.append(ItemField(t, e, i));
            for (const char *kind : {"TOT", "CAT", "PRO"})
                columns.append(ExerciseField(t, e, QLatin1String(kind)));
        }
    }
    return columns;
}

int BoxNumber(int level, int trimester, int exercise, int item)
{
    if (!exerciseAt(level, trimester, exercise) || !inRange(item, kMaxItems))
        return 0;
    return 1000 * level + 100 * trimester + 10 * exercise + item;
}

int ExerciseNumber(int level, int trimester, int exercise)
{
    if (!exerciseAt(level, trimester, exercise))
        return 0;
    return 100 * level + 10 * trimester + exercise;
}

BoxCoordinates DecodeBoxNumber(int box)
{
    if (box < 1000 || box > 9999)
        return {};
    const BoxCoordinates c{box / 1000, box / 100 % 10, box / 10 % 10, box % 10};
    if (!exerciseAt(c.level, c.trimester, c.exercise) || !inRange(c.item, kMaxItems))
        return {};
    return c;
}

QString ItemCaption(int level, int trimester, int exercise, int item)
{
    const Exercise *ex = exerciseOfItem(level, trimester, exercise, item);
    if (!ex || ex->toolTipPrefix)
        return QString();
    return QString::fromUtf8(ex->captions[item - 1]);
}

QString ItemToolTip(int level, int trimester, int exercise, int item)
{
    const Exercise *ex = exerciseOfItem(level, trimester, exercise, item);
    if (!ex || !ex->toolTipPrefix)
        return QString();
    return QStringLiteral("%1 question %2").arg(QLatin1String(ex->toolTipPrefix)).arg(item);
}

QString ExerciseHeading(int level, int trimester, int exercise)
{
    const Exercise *ex = exerciseAt(level, trimester, exercise);
    if (!ex || ex->itemCount == 0)
        return QString();
    if (ex->heading)
        return QString::fromUtf8(ex->heading);
    if (level == 3 && ex->slot == 1)
        return QStringLiteral("ARI");
    return QString::fromUtf8(kHeadings[ex->slot - 1]);
}

QString ExerciseSpokenName(int level, int trimester, int exercise)
{
    QString heading = ExerciseHeading(level, trimester, exercise);
    if (heading.isEmpty())
        return QString();
    // A word cut by a hyphen joins up again; two words get a space.
    heading.replace(QStringLiteral("-\n"), QStringLiteral("-"));
    heading.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("Exercice %1 : %2").arg(exercise).arg(heading);
}

QString ItemSpokenName(int level, int trimester, int exercise, int item)
{
    const Exercise *ex = exerciseOfItem(level, trimester, exercise, item);
    if (!ex)
        return QString();
    const QString caption =
        ex->toolTipPrefix ? QStringLiteral("Q%1").arg(item) : QString::fromUtf8(ex->captions[item - 1]);
    return caption + QStringLiteral(" — ") + ExerciseSpokenName(level, trimester, exercise);
}

int ExerciseSlot(int level, int trimester, int exercise)
{
    const Exercise *ex = exerciseAt(level, trimester, exercise);
    return ex ? ex->slot : 0;
}

QString TrimesterTabCaption(int trimester)
{
    switch (trimester) {
    case 1:
        return QStringLiteral("1er Trimestre");
    case 2:
        return QStringLiteral("2ème Trimestre");
    case 3:
        return QStringLiteral("3ème Trimestre");
    default:
        return QString();
    }
}

QString EntryWindowCaption(int level)
{
    return inRange(level, kLevels) ? QStringLiteral("Saisie résultats ") + LevelName(level) : QString();
}

QString EntryWindowName(int level)
{
    return inRange(level, kLevels) ? QStringLiteral("entryWindow") + LevelName(level) : QString();
}
