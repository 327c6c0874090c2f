// The model's tables checked against each other: a transcription fault in one
// table shows as a disagreement with another.
#include "evaluation/EvaluationModel.h"
#include "evaluation/Scoring.h"

#include <QSet>
#include <QTest>

class TestEvaluationModel : public QObject
{
    Q_OBJECT

private slots:
    // Maxima add up to B0 (half-weight items counting half, rounded up),
    // bounds decrease, an item has a caption or (CE1 trimester 3 only) a tool
    // tip, and only CE1 T3 E2 has no domain of its own. Last year's trimester
    // 3 becomes the next level's trimester 1: GS T3 = CP T1, CP T3 = CE1 T1.
    void exerciseTables()
    {
        for (int level = 1; level <= 3; ++level) {
            for (int t : EvaluatedTrimesters(level)) {
                for (int e = 1; e <= 3; ++e) {
                    const QByteArray where = QStringLiteral("%1 T%2 E%3").arg(LevelName(level)).arg(t).arg(e).toUtf8();
                    const int n = ItemCount(level, t, e);
                    int total = 0;
                    for (int i = 1; i <= 7; ++i) {
                        const int max = ItemMax(level, t, e, i);
                        QVERIFY2(i <= n ? max > 0 : max == 0, where);
                        total += IsHalfWeightBox(BoxNumber(level, t, e, i)) ? (max + 1) / 2 : max;
                        QVERIFY2(i > n || ItemCaption(level, t, e, i).isEmpty() == (level == 3 && t == 3), where);
                        QVERIFY2(i > n || ItemToolTip(level, t, e, i).isEmpty() == (level != 3 || t != 3), where);
                        QVERIFY2(t > 1 || ItemMax(level - 1, 3, e, i) == max, where);
                    }
                    QVERIFY2(n >= 1 && total == CategoryBounds(level, t, e, 0), where);
                    for (int k = 0; k <= 3; ++k) {
                        const int bound = CategoryBounds(level, t, e, k);
                        QVERIFY2(k == 0 || (bound < CategoryBounds(level, t, e, k - 1) && bound >= 0), where);
                        QVERIFY2(t > 1 || CategoryBounds(level - 1, 3, e, k) == bound, where);
                    }
                    QVERIFY2(HasTotalField(level, t, e) == (n >= 2 && n <= 6), where);
                    QVERIFY2(!ExerciseHeading(level, t, e).isEmpty(), where);
                    QVERIFY2((ExerciseSlot(level, t, e) == 0) == (level == 3 && t == 3 && e == 2), where);
                    QVERIFY2(t > 1 || ExerciseSlot(level - 1, 3, e) == ExerciseSlot(level, t, e), where);
                }
            }
        }
    }

    // What a validation stores for a level is the level's result fields (30
    // GS, 44 CP, 49 CE1, a total only where the exercise shows one), all of
    // them columns of ELEVE. The category-field table, written apart from the
    // exercises' slots, lists each slot's exercises in chronological order,
    // empty ranks last.
    void fieldTables()
    {
        const QStringList columns = PupilResultColumns();
        const QSet<QString> columnSet(columns.begin(), columns.end());
        QCOMPARE(columnSet.size(), 78);
        for (int level = 1; level <= 3; ++level) {
            QStringList stored, bySlot[4];
            for (int t : EvaluatedTrimesters(level)) {
                for (int e = 1; e <= 3; ++e) {
                    const QVariantMap exercise =
                        ExerciseFields(level, t, e, QStringList(ItemCount(level, t, e), NoResult), {});
                    QVERIFY(exercise.contains(ExerciseField(t, e, "TOT")) == HasTotalField(level, t, e));
                    stored += exercise.keys();
                    if (const int slot = ExerciseSlot(level, t, e))
                        bySlot[slot - 1].append(ExerciseField(t, e, "CAT"));
                }
            }
            const QStringList fields = PupilResultFields(level);
            const QSet<QString> fieldSet(fields.begin(), fields.end());
            QVERIFY(fieldSet == QSet<QString>(stored.begin(), stored.end()) && columnSet.contains(fieldSet));
            QCOMPARE(fields.size(), stored.size()); // no field listed twice
            for (int slot = 1; slot <= 4; ++slot) {
                const QStringList &slotFields = bySlot[slot - 1];
                QCOMPARE(QStringList({CategoryField(level, slot, 1), CategoryField(level, slot, 2),
                                      CategoryField(level, slot, 3)}),
                         slotFields + QStringList(3 - slotFields.size(), QString()));
            }
        }
    }

    void boxNumbersAndUnknownCodes()
    {
        // Decoding gives back a box number's digits, and all zero when one is out of range.
        auto decoded = [](int box) {
            const BoxCoordinates c = DecodeBoxNumber(box);
            return QList<int>{c.level, c.trimester, c.exercise, c.item};
        };
        QCOMPARE(decoded(3317), QList<int>({3, 3, 1, 7}));
        for (int box : {-3311, 999, 1110, 1118, 1141, 1401, 4111, 13311})
            QCOMPARE(decoded(box), QList<int>(4, 0));
        QVERIFY(IsHalfWeightBox(2312) && IsHalfWeightBox(3112) && !IsHalfWeightBox(2311) && !IsHalfWeightBox(1312));
        // Callers may pass any code (a class with an unknown level gives 0): 0 or empty.
        QCOMPARE(LevelCode("ce1") + ItemCount(0, 1, 1) + ItemMax(2, 1, 1, 8) + CategoryBounds(2, 1, 1, 4) +
                     BoxNumber(2, 1, 1, 0),
                 0);
        QVERIFY(PanelDomainCaptions(0).isEmpty() && PupilResultFields(0).isEmpty() && EntryWindowCaption(0).isEmpty());
        // GS has no trimester 1.
        QVERIFY(EvaluatedTrimesters(1) == QList<int>({2, 3}) && FirstTrimester(1) == 2 && FirstTrimester(2) == 1);
        QVERIFY(ItemCount(1, 1, 1) == 0 && CategoryBounds(1, 1, 3, 0) == 0 && ExerciseHeading(1, 1, 2).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestEvaluationModel)
#include "tst_evaluationmodel.moc"
