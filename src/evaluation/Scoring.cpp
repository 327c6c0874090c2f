#include "Scoring.h"

#include "EvaluationModel.h"

#include <cmath>

int RoundUp(double x)
{
    const double whole = std::floor(x);
    return int(x - whole > 0 ? whole + 1 : whole);
}

int RoundHalfDown(double x)
{
    const double whole = std::floor(x);
    return int(x - whole > 0.5 ? whole + 1 : whole);
}

int BoxValue(const QString &text)
{
    int value = 0;
    for (const QChar c : text) {
        if (!c.isDigit() || c.unicode() > 0x7F)
            break;
        value = value * 10 + c.digitValue();
        if (value > 1000000)
            break;
    }
    return value;
}

ExerciseResult EvaluateExercise(int level, int trimester, int exercise, const QStringList &boxTexts)
{
    const int n = ItemCount(level, trimester, exercise);
    int total = 0;
    int count = 0;
    for (int i = 1; i <= n; ++i) {
        const QString text = boxTexts.value(i - 1, NoResult);
        if (text == NoResult)
            continue;
        const int value = BoxValue(text);
        total += IsHalfWeightBox(BoxNumber(level, trimester, exercise, i)) ? RoundUp(value / 2.0) : value;
        ++count;
    }
    ExerciseResult result;
    if (n == 0 || count < n)
        return result;
    if (HasTotalField(level, trimester, exercise))
        result.tot = QString::number(total);
    int category = 1;
    for (int k = 4; k >= 1; --k) {
        if (total <= CategoryBounds(level, trimester, exercise, k - 1)) {
            category = k;
            break;
        }
    }
    result.cat = QString::number(category);
    result.prof = category < 3 ? QStringLiteral("A") : QStringLiteral("F");
    return result;
}

QVariantMap ExerciseFields(int level, int trimester, int exercise, const QStringList &boxTexts,
                           const ExerciseResult &labels)
{
    QVariantMap fields;
    const int n = ItemCount(level, trimester, exercise);
    for (int i = 1; i <= n; ++i) {
        const QString text = boxTexts.value(i - 1, NoResult);
        fields.insert(ItemField(trimester, exercise, i), text == NoResult ? AbsenceCode : BoxValue(text));
    }
    if (HasTotalField(level, trimester, exercise))
        fields.insert(ExerciseField(trimester, exercise, QStringLiteral("TOT")),
                      labels.tot == NoResult ? AbsenceCode : labels.tot.toInt());
    const bool categorised = labels.cat != NoResult;
    fields.insert(ExerciseField(trimester, exercise, QStringLiteral("CAT")),
                  categorised ? labels.cat.toInt() : AbsenceCode);
    fields.insert(ExerciseField(trimester, exercise, QStringLiteral("PRO")), categorised ? labels.prof : NoResult);
    return fields;
}

bool IsScored(const QVariant &value)
{
    if (value.isNull() || !value.isValid() || value.toString().isEmpty())
        return false;
    bool ok = false;
    const double v = value.toDouble(&ok);
    return ok && v < AbsenceCode;
}

namespace {

// The stored profile letter of the exercise whose category field is `catField`;
// "_" when the field is empty.
QString storedProfile(const FieldReader &field, const QString &catField)
{
    const QVariant v = field(ProfileFieldOfCategoryField(catField));
    return v.isNull() || v.toString().isEmpty() ? NoResult : v.toString();
}

} // namespace

PupilProfile ComputePupilProfileValues(int level, const FieldReader &field)
{
    PupilProfile result;
    for (int d = 1; d <= 4; ++d) {
        double sum = 0;
        QList<int> values;
        int last = 1;
        for (int r = 1; r <= 3; ++r) {
            const QString f = CategoryField(level, d, r);
            if (f.isEmpty())
                continue;
            const QVariant v = field(f);
            if (!IsScored(v))
                continue;
            int c = v.toInt();
            // CE1: the NAR exercise counts with the DOC exercise, when scored.
            if (level == 3 && f == QLatin1String("T3_E1CAT")) {
                const QVariant doc = field(QStringLiteral("T3_E2CAT"));
                if (IsScored(doc))
                    c = RoundHalfDown((v.toDouble() + doc.toDouble()) / 2);
            }
            sum += c;
            values.append(c);
            last = r;
        }
        QString p = NoResult;
        double m = 0;
        if (values.size() == 1) {
            p = storedProfile(field, CategoryField(level, d, last));
            m = sum;
        } else if (values.size() >= 2) {
            if (values.size() == 3) {
                values.removeFirst();
                last = 3;
            }
            const int a = values.at(0);
            const int b = values.at(1);
            if (std::abs(a - b) > 1) {
                p = b <= 2 ? QStringLiteral("A") : QStringLiteral("F");
                m = sum;
            } else {
                p = storedProfile(field, CategoryField(level, d, last));
                m = b;
            }
        }
        result.profile[size_t(d - 1)] = p;
        result.moycat[size_t(d - 1)] = m;
    }
    return result;
}

ClassProfile ComputeClassProfileValues(int level, const QList<FieldReader> &pupils)
{
    ClassProfile result;
    std::array<std::array<int, 3>, 3> counts{};
    // The nine names are built once: a class's pupils all read the same fields.
    static const std::array<std::array<QString, 3>, 3> categoryFields = [] {
        std::array<std::array<QString, 3>, 3> names;
        for (int t = 1; t <= 3; ++t)
            for (int e = 1; e <= 3; ++e)
                names[size_t(t - 1)][size_t(e - 1)] = ExerciseField(t, e, QStringLiteral("CAT"));
        return names;
    }();
    for (const FieldReader &field : pupils) {
        for (int t = 1; t <= 3; ++t) {
            for (int e = 1; e <= 3; ++e) {
                const QVariant v = field(categoryFields[size_t(t - 1)][size_t(e - 1)]);
                if (!IsScored(v))
                    continue;
                result.averages[size_t(t - 1)][size_t(e - 1)] += v.toDouble();
                ++counts[size_t(t - 1)][size_t(e - 1)];
            }
        }
    }
    for (size_t t = 0; t < 3; ++t)
        for (size_t e = 0; e < 3; ++e)
            if (counts[t][e] != 0)
                result.averages[t][e] /= counts[t][e];
    // The class profile of a domain follows the latest of its exercises that has an average.
    for (int d = 1; d <= 4; ++d) {
        double latest = -1;
        for (int r = 1; r <= 3; ++r) {
            const QString f = CategoryField(level, d, r);
            if (f.size() < 5)
                continue;
            const double x = result.averages[size_t(f.at(1).digitValue() - 1)][size_t(f.at(4).digitValue() - 1)];
            if (x > 0 && x < AbsenceCode)
                latest = x;
        }
        if (latest >= 0)
            result.profile[size_t(d - 1)] = latest > 2.5 ? QStringLiteral("F") : QStringLiteral("A");
    }
    return result;
}

QStringList PanelTexts(int level, const std::array<QString, 4> &bySlot)
{
    QStringList texts;
    for (int slot : PanelSlotOrder(level))
        texts.append(bySlot[size_t(slot - 1)]);
    return texts;
}
