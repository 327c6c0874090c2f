// The scoring as plain functions: exercise evaluation over every exercise of
// the model (the half-weight items rounding up), the pupil's domain profiles
// and the class's averages and profiles. What a validation stores is checked
// through the entry window.
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QTest>

namespace {

// Item texts reaching `total` in exercise (level, t, e): items filled in
// order, a half-weight item at the odd score that counts for the wanted part.
QStringList itemsFor(int level, int t, int e, int total)
{
    QStringList items;
    for (int i = 1; i <= ItemCount(level, t, e); ++i) {
        const bool half = IsHalfWeightBox(BoxNumber(level, t, e, i));
        const int max = ItemMax(level, t, e, i);
        const int part = std::min(total, half ? (max + 1) / 2 : max);
        total -= part;
        items.append(QString::number(half && part > 0 ? 2 * part - 1 : part));
    }
    return items;
}

// "T1_E1CAT=3 T1_E1PRO=A T2_E2CAT=": a pupil's stored fields, as texts ("" an empty field).
FieldReader reader(const QString &text)
{
    QVariantMap fields;
    for (const QString &pair : text.split(' ', Qt::SkipEmptyParts))
        fields.insert(pair.section('=', 0, 0), pair.section('=', 1));
    return [fields](const QString &f) { return fields.value(f); };
}

template <typename Range> QString joined(const Range &values, const QString &separator = {})
{
    QStringList texts;
    for (const auto &v : values)
        texts.append(QVariant(v).toString());
    return texts.join(separator);
}

} // namespace

class TestScoring : public QObject
{
    Q_OBJECT

private slots:
    void exercise_data()
    {
        QTest::addColumn<int>("exercise"); // level, trimester, exercise: 231 is CP T3 E1
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("expected"); // "tot cat prof"
        for (int level = 1; level <= 3; ++level) {
            for (int t : EvaluatedTrimesters(level)) {
                for (int e = 1; e <= 3; ++e) {
                    // Each bound exactly and one past it: B3 -> 4, B3+1 -> 3 ... B0 -> 1
                    // (CP T2 E3 has B3 = 0: only 0 gives 4).
                    for (int k = 3; k >= 0; --k) {
                        const int bound = CategoryBounds(level, t, e, k);
                        for (const auto &[total, category] : {std::pair(bound, k + 1), std::pair(bound + 1, k)}) {
                            if (category == 0)
                                continue;
                            const QString tot = HasTotalField(level, t, e) ? QString::number(total) : "_";
                            QTest::addRow("%s T%d E%d B%d%s", qPrintable(LevelName(level)), t, e, k,
                                          total == bound ? "" : "+1")
                                << ExerciseNumber(level, t, e) << itemsFor(level, t, e, total)
                                << QStringLiteral("%1 %2 %3").arg(tot).arg(category).arg(category < 3 ? "A" : "F");
                        }
                    }
                }
            }
        }
    }

    void exercise()
    {
        QFETCH(int, exercise);
        QFETCH(QStringList, items);
        const ExerciseResult r = EvaluateExercise(exercise / 100, exercise / 10 % 10, exercise % 10, items);
        QTEST(QStringList({r.tot, r.cat, r.prof}).join(' '), "expected");
    }

    void pupilProfile_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("expected"); // profile letters L PG RM CT, then MOYCAT_*
        QTest::newRow("one: stored PRO; absent codes")
            << 2 << QStringLiteral("T1_E1CAT=3 T1_E1PRO=A T2_E2CAT=99 T2_E2PRO=_ T3_E2CAT=") << "A___ 3 0 0 0";
        QTest::newRow("two apart") << 2 << QStringLiteral("T2_E2CAT=2 T3_E2CAT=4") << "__F_ 0 0 6 0";
        QTest::newRow("two close: later PRO")
            << 2 << QStringLiteral("T2_E2CAT=2 T2_E2PRO=F T3_E2CAT=3 T3_E2PRO=A") << "__A_ 0 0 3 0";
        QTest::newRow("two close: null PRO")
            << 2 << QStringLiteral("T2_E2CAT=2 T2_E2PRO=A T3_E2CAT=2") << "____ 0 0 2 0";
        QTest::newRow("three 1 4 4") << 2 << QStringLiteral("T1_E2CAT=1 T2_E1CAT=4 T2_E1PRO=A T3_E1CAT=4 T3_E1PRO=F")
                                     << "_F__ 0 4 0 0";
        QTest::newRow("three 1 4 2") << 2 << QStringLiteral("T1_E3CAT=1 T2_E3CAT=4 T3_E3CAT=2") << "___A 0 0 0 7";
        // CE1 slot CT ends with NAR, averaged with DOC when DOC is scored (2.5 rounding down).
        QTest::newRow("CE1 NAR 2 DOC 3") << 3 << QStringLiteral("T3_E1CAT=2 T3_E1PRO=A T3_E2CAT=3") << "___A 0 0 0 2";
        QTest::newRow("CE1 NAR alone") << 3 << QStringLiteral("T3_E1CAT=3 T3_E1PRO=F T3_E2CAT=99") << "___F 0 0 0 3";
        QTest::newRow("CE1 NAR 1 DOC 4 after 4")
            << 3 << QStringLiteral("T2_E2CAT=4 T3_E1CAT=1 T3_E2CAT=4") << "___A 0 0 0 6";
    }

    void pupilProfile()
    {
        QFETCH(int, level);
        QFETCH(QString, fields);
        const PupilProfile p = ComputePupilProfileValues(level, reader(fields));
        QTEST(joined(p.profile) + ' ' + joined(p.moycat, " "), "expected");
    }

    void classProfile_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("pupils");
        QTest::addColumn<QString>("expected"); // averages T1_E1 .. T3_E3, then the profile letters
        // Above 2.5 is F.
        QTest::newRow("2.75 F, 2.5 A") << 2
                                       << QStringList{"T3_E2CAT=3 T3_E3CAT=3", "T3_E2CAT=2 T3_E3CAT=2",
                                                      "T3_E2CAT=3 T3_E3CAT=99", "T3_E2CAT=3"}
                                       << "0 0 0 0 0 0 0 2.75 2.5 __FA";
        QTest::newRow("absent and unscored")
            << 2 << QStringList{"T2_E1CAT=4 T3_E1CAT=99", "T2_E1CAT=1 T3_E1CAT=", ""} << "0 0 0 2.5 0 0 0 0 0 _A__";
        // The latest exercise of the domain that has an average decides.
        QTest::newRow("latest decides") << 2 << QStringList{"T1_E2CAT=1 T2_E1CAT=3", "T1_E2CAT=2 T2_E1CAT=4"}
                                        << "0 1.5 0 3.5 0 0 0 0 0 _F__";
        // DOC is averaged but no domain uses it.
        QTest::newRow("CE1") << 3 << QStringList{"T3_E2CAT=4 T2_E2CAT=1 T2_E3CAT=3"} << "0 0 0 0 1 3 0 4 0 F__A";
    }

    void classProfile()
    {
        QFETCH(int, level);
        QFETCH(QStringList, pupils);
        QList<FieldReader> readers;
        for (const QString &fields : std::as_const(pupils))
            readers.append(reader(fields));
        const ClassProfile c = ComputeClassProfileValues(level, readers);
        QString got;
        for (const auto &trimester : c.averages)
            got += joined(trimester, " ") + ' ';
        QTEST(got + joined(c.profile), "expected");
    }
};

QTEST_APPLESS_MAIN(TestScoring)
#include "tst_scoring.moc"
