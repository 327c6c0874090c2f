// The scoring as plain functions: exercise evaluation over every exercise of
// the model, the two roundings, the stored encodings, the pupil's domain
// profiles and the class's averages and profiles.
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QSet>
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

QString letters(const std::array<QString, 4> &bySlot)
{
    return bySlot[0] + bySlot[1] + bySlot[2] + bySlot[3];
}

FieldReader reader(const QVariantMap &fields)
{
    return [fields](const QString &f) { return fields.value(f); };
}

} // namespace

class TestScoring : public QObject
{
    Q_OBJECT

private slots:
    void exercise_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("t");
        QTest::addColumn<int>("e");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("expected"); // "tot cat prof"
        for (int level = 1; level <= 3; ++level) {
            for (int t : EvaluatedTrimesters(level)) {
                for (int e = 1; e <= 3; ++e) {
                    // Each bound exactly and one past it: B3 -> 4, B3+1 -> 3 ... B0 -> 1
                    // (CP T2 E3 has B3 = 0: only 0 gives 4).
                    const int b[4] = {CategoryBounds(level, t, e, 0), CategoryBounds(level, t, e, 1),
                                      CategoryBounds(level, t, e, 2), CategoryBounds(level, t, e, 3)};
                    const QList<std::pair<int, int>> cases{{b[3], 4}, {b[3] + 1, 3}, {b[2], 3}, {b[2] + 1, 2},
                                                           {b[1], 2}, {b[1] + 1, 1}, {b[0], 1}};
                    QSet<int> seen;
                    for (const auto &[total, category] : cases) {
                        if (seen.contains(total))
                            continue;
                        seen.insert(total);
                        const QString tot = HasTotalField(level, t, e) ? QString::number(total) : "_";
                        QTest::addRow("%s T%d E%d total %d", qPrintable(LevelName(level)), t, e, total)
                            << level << t << e << itemsFor(level, t, e, total)
                            << QStringLiteral("%1 %2 %3").arg(tot).arg(category).arg(category < 3 ? "A" : "F");
                    }
                    QStringList incomplete = itemsFor(level, t, e, b[0]);
                    incomplete.last() = "_";
                    QTest::addRow("%s T%d E%d incomplete", qPrintable(LevelName(level)), t, e)
                        << level << t << e << incomplete << "_ _ _";
                }
            }
        }
        QTest::newRow("GS T2 E1 3+1") << 1 << 2 << 1 << QStringList{"3", "1"} << "4 2 A";
        QTest::newRow("CP T3 E1 6+7/2") << 2 << 3 << 1 << QStringList{"6", "7"} << "10 1 A";
        QTest::newRow("CP T3 E1 half 9") << 2 << 3 << 1 << QStringList{"0", "9"} << "5 3 F";
        QTest::newRow("CP T3 E1 half 0") << 2 << 3 << 1 << QStringList{"3", "0"} << "3 4 F";
        QTest::newRow("CE1 T1 E1 half 1") << 3 << 1 << 1 << QStringList{"6", "1"} << "7 2 A";
        QTest::newRow("all absent") << 1 << 2 << 3 << QStringList{"_", "_"} << "_ _ _";
        QTest::newRow("text value") << 1 << 2 << 2 << QStringList{"5x"} << "_ 1 A";
    }

    void exercise()
    {
        QFETCH(int, level);
        QFETCH(int, t);
        QFETCH(int, e);
        QFETCH(QStringList, items);
        QFETCH(QString, expected);
        const ExerciseResult r = EvaluateExercise(level, t, e, items);
        QCOMPARE(QStringList({r.tot, r.cat, r.prof}).join(' '), expected);
    }

    void rounding()
    {
        const double x[] = {0, 0.5, 2.5, 2.51, 2.75, 3.5, 4, 4.01};
        const int up[] = {0, 1, 3, 3, 3, 4, 4, 5}, halfDown[] = {0, 0, 2, 3, 3, 3, 4, 4};
        for (size_t i = 0; i < std::size(x); ++i) {
            QCOMPARE(RoundUp(x[i]), up[i]);
            QCOMPARE(RoundHalfDown(x[i]), halfDown[i]);
        }
    }

    void storedFields()
    {
        const QStringList scored{"3", "1"}, absent{"_", "_"}, seven(7, "1");
        QCOMPARE(ExerciseFields(1, 2, 1, scored, EvaluateExercise(1, 2, 1, scored)),
                 (QVariantMap{{"T2_E1P1", 3}, {"T2_E1P2", 1}, {"T2_E1TOT", 4}, {"T2_E1CAT", 2}, {"T2_E1PRO", "A"}}));
        QCOMPARE(
            ExerciseFields(1, 2, 1, absent, EvaluateExercise(1, 2, 1, absent)),
            (QVariantMap{{"T2_E1P1", 99}, {"T2_E1P2", 99}, {"T2_E1TOT", 99}, {"T2_E1CAT", 99}, {"T2_E1PRO", "_"}}));
        // One item, and the seven-item CE1 exercises, have no total field.
        QCOMPARE(ExerciseFields(2, 2, 3, {"4"}, EvaluateExercise(2, 2, 3, {"4"})).keys(),
                 (QStringList{"T2_E3CAT", "T2_E3P1", "T2_E3PRO"}));
        QCOMPARE(ExerciseFields(3, 3, 2, seven, EvaluateExercise(3, 3, 2, seven)).size(), 9);
        QVERIFY(!ExerciseFields(3, 3, 2, seven, EvaluateExercise(3, 3, 2, seven)).contains("T3_E2TOT"));
    }

    void pupilProfile_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<QString>("profile"); // slots L PG RM CT
        QTest::addColumn<QList<double>>("moycat");
        using L = QList<double>;
        QTest::newRow("nothing") << 2 << QVariantMap{} << "____" << L{0, 0, 0, 0};
        QTest::newRow("absent codes") << 2 << QVariantMap{{"T1_E1CAT", 99}, {"T1_E1PRO", "_"}, {"T2_E2CAT", ""}}
                                      << "____" << L{0, 0, 0, 0};
        QTest::newRow("one: stored PRO") << 2 << QVariantMap{{"T1_E1CAT", 3}, {"T1_E1PRO", "A"}} << "A___"
                                         << L{3, 0, 0, 0};
        QTest::newRow("two apart") << 2 << QVariantMap{{"T2_E2CAT", 2}, {"T3_E2CAT", 4}} << "__F_" << L{0, 0, 6, 0};
        QTest::newRow("two close: later PRO")
            << 2 << QVariantMap{{"T2_E2CAT", 2}, {"T2_E2PRO", "F"}, {"T3_E2CAT", 3}, {"T3_E2PRO", "A"}} << "__A_"
            << L{0, 0, 3, 0};
        QTest::newRow("two close: null PRO")
            << 2 << QVariantMap{{"T2_E2CAT", 2}, {"T2_E2PRO", "A"}, {"T3_E2CAT", 2}} << "____" << L{0, 0, 2, 0};
        QTest::newRow("three 1 4 4")
            << 2 << QVariantMap{{"T1_E2CAT", 1}, {"T2_E1CAT", 4}, {"T2_E1PRO", "A"}, {"T3_E1CAT", 4}, {"T3_E1PRO", "F"}}
            << "_F__" << L{0, 4, 0, 0};
        QTest::newRow("three 4 1 3") << 2 << QVariantMap{{"T1_E3CAT", 4}, {"T2_E3CAT", 1}, {"T3_E3CAT", 3}} << "___F"
                                     << L{0, 0, 0, 8};
        QTest::newRow("three 1 4 2") << 2 << QVariantMap{{"T1_E3CAT", 1}, {"T2_E3CAT", 4}, {"T3_E3CAT", 2}} << "___A"
                                     << L{0, 0, 0, 7};
        QTest::newRow("GS L") << 1 << QVariantMap{{"T2_E1CAT", 3}, {"T3_E1CAT", 2}, {"T3_E1PRO", "A"}} << "A___"
                              << L{2, 0, 0, 0};
        // CE1 slot CT ends with NAR, averaged with DOC when DOC is scored.
        QTest::newRow("CE1 NAR 2 DOC 3") << 3 << QVariantMap{{"T3_E1CAT", 2}, {"T3_E1PRO", "A"}, {"T3_E2CAT", 3}}
                                         << "___A" << L{0, 0, 0, 2};
        QTest::newRow("CE1 NAR alone") << 3 << QVariantMap{{"T3_E1CAT", 3}, {"T3_E1PRO", "F"}, {"T3_E2CAT", 99}}
                                       << "___F" << L{0, 0, 0, 3};
        QTest::newRow("CE1 NAR 1 DOC 4 after 4")
            << 3 << QVariantMap{{"T2_E2CAT", 4}, {"T3_E1CAT", 1}, {"T3_E2CAT", 4}} << "___A" << L{0, 0, 0, 6};
        QTest::newRow("CE1 ARI") << 3 << QVariantMap{{"T2_E3CAT", 1}, {"T3_E3CAT", 4}} << "F___" << L{5, 0, 0, 0};
    }

    void pupilProfile()
    {
        QFETCH(int, level);
        QFETCH(QVariantMap, fields);
        QFETCH(QString, profile);
        QFETCH(QList<double>, moycat);
        const PupilProfile p = ComputePupilProfileValues(level, reader(fields));
        QCOMPARE(letters(p.profile), profile);
        QCOMPARE(QList<double>(p.moycat.begin(), p.moycat.end()), moycat);
    }

    void classProfile_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QList<QVariantMap>>("pupils");
        QTest::addColumn<QList<double>>("averages"); // T1_E1 .. T3_E3
        QTest::addColumn<QString>("profile");
        auto many = [](int threes, int twos) {
            QList<QVariantMap> pupils(threes, QVariantMap{{"T3_E3CAT", 3}});
            pupils += QList<QVariantMap>(twos, QVariantMap{{"T3_E3CAT", 2}});
            return pupils;
        };
        using L = QList<double>;
        QTest::newRow("2.5 is A") << 2 << many(1, 1) << L{0, 0, 0, 0, 0, 0, 0, 0, 2.5} << "___A";
        QTest::newRow("2.51 is F") << 2 << many(51, 49) << L{0, 0, 0, 0, 0, 0, 0, 0, 2.51} << "___F";
        QTest::newRow("absent and unscored")
            << 2 << QList<QVariantMap>{{{"T2_E1CAT", 4}, {"T3_E1CAT", 99}}, {{"T2_E1CAT", 1}, {"T3_E1CAT", ""}}, {}}
            << L{0, 0, 0, 2.5, 0, 0, 0, 0, 0} << "_A__";
        // The latest exercise of the domain that has an average decides.
        QTest::newRow("latest decides") << 2
                                        << QList<QVariantMap>{{{"T1_E2CAT", 1}, {"T2_E1CAT", 3}},
                                                              {{"T1_E2CAT", 2}, {"T2_E1CAT", 4}}}
                                        << L{0, 1.5, 0, 3.5, 0, 0, 0, 0, 0} << "_F__";
        QTest::newRow("GS") << 1 << QList<QVariantMap>{{{"T2_E1CAT", 1}, {"T3_E1CAT", 3}, {"T3_E3CAT", 2}}}
                            << L{0, 0, 0, 1, 0, 0, 3, 0, 2} << "F__A";
        // DOC is averaged but no domain uses it.
        QTest::newRow("CE1") << 3 << QList<QVariantMap>{{{"T3_E2CAT", 4}, {"T2_E2CAT", 1}, {"T2_E3CAT", 3}}}
                             << L{0, 0, 0, 0, 1, 3, 0, 4, 0} << "F__A";
    }

    void classProfile()
    {
        QFETCH(int, level);
        QFETCH(QList<QVariantMap>, pupils);
        QFETCH(QList<double>, averages);
        QFETCH(QString, profile);
        QList<FieldReader> readers;
        for (const QVariantMap &p : std::as_const(pupils))
            readers.append(reader(p));
        const ClassProfile c = ComputeClassProfileValues(level, readers);
        QList<double> got;
        for (const auto &trimester : c.averages)
            got += QList<double>(trimester.begin(), trimester.end());
        QCOMPARE(got, averages);
        QCOMPARE(letters(c.profile), profile);
    }

    // CE1 panels list ARI (slot 1) last.
    void panelOrder()
    {
        const std::array<QString, 4> bySlot{"1", "2", "3", "4"};
        QCOMPARE(PanelTexts(2, bySlot), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(PanelTexts(3, bySlot), (QStringList{"2", "3", "4", "1"}));
    }
};

QTEST_APPLESS_MAIN(TestScoring)
#include "tst_scoring.moc"
