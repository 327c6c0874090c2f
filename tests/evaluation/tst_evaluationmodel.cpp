#include "evaluation/EvaluationModel.h"

#include <QSet>
#include <QTest>

class TestEvaluationModel : public QObject
{
    Q_OBJECT

private slots:
    void exerciseTables_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("t");
        QTest::addColumn<int>("e");
        for (int level = 1; level <= 3; ++level)
            for (int t : EvaluatedTrimesters(level))
                for (int e = 1; e <= 3; ++e)
                    QTest::addRow("%s T%d E%d", qPrintable(LevelName(level)), t, e) << level << t << e;
    }

    // Catches transcription faults: maxima must add up to B0 (half-weight items
    // counting half rounded up), bounds must decrease, every item needs a text.
    void exerciseTables()
    {
        QFETCH(int, level);
        QFETCH(int, t);
        QFETCH(int, e);
        const int n = ItemCount(level, t, e);
        QVERIFY(n >= 1 && n <= 7);
        int total = 0;
        for (int i = 1; i <= 7; ++i) {
            const int max = ItemMax(level, t, e, i);
            QVERIFY2(i <= n ? max > 0 : max == 0, qPrintable(QStringLiteral("item %1").arg(i)));
            total += IsHalfWeightBox(BoxNumber(level, t, e, i)) ? (max + 1) / 2 : max;
            // Exactly one of caption and tool tip: CE1 trimester 3 has tool tips only.
            if (i <= n) {
                QCOMPARE(ItemCaption(level, t, e, i).isEmpty(), level == 3 && t == 3);
                QCOMPARE(ItemToolTip(level, t, e, i).isEmpty(), level != 3 || t != 3);
            }
        }
        QCOMPARE(total, CategoryBounds(level, t, e, 0));
        for (int k = 1; k <= 3; ++k)
            QVERIFY(CategoryBounds(level, t, e, k) < CategoryBounds(level, t, e, k - 1) && CategoryBounds(level, t, e, k) >= 0);
        QCOMPARE(HasTotalField(level, t, e), n >= 2 && n <= 6);
        QVERIFY(!ExerciseHeading(level, t, e).isEmpty());
    }

    // GS has no trimester 1; the transfer of last year's pupils copies
    // trimester-3 results into the next level's trimester-1 fields, so GS T3 =
    // CP T1 and CP T3 = CE1 T1 exercise by exercise.
    void trimesterTablesAcrossLevels()
    {
        QCOMPARE(EvaluatedTrimesters(1), QList<int>({2, 3}));
        QVERIFY(FirstTrimester(1) == 2 && FirstTrimester(2) == 1 && FirstTrimester(3) == 1);
        for (int e = 1; e <= 3; ++e) {
            QVERIFY(ItemCount(1, 1, e) == 0 && CategoryBounds(1, 1, e, 0) == 0 && ExerciseHeading(1, 1, e).isEmpty());
            for (int level = 1; level <= 2; ++level) {
                QCOMPARE(ItemCount(level + 1, 1, e), ItemCount(level, 3, e));
                QCOMPARE(ExerciseSlot(level + 1, 1, e), ExerciseSlot(level, 3, e));
                for (int i = 1; i <= 7; ++i)
                    QCOMPARE(std::pair(ItemMax(level + 1, 1, e, i), IsHalfWeightBox(BoxNumber(level + 1, 1, e, i))),
                             std::pair(ItemMax(level, 3, e, i), IsHalfWeightBox(BoxNumber(level, 3, e, i))));
                for (int k = 0; k <= 3; ++k)
                    QCOMPARE(CategoryBounds(level + 1, 1, e, k), CategoryBounds(level, 3, e, k));
            }
        }
        QCOMPARE(CategoryBounds(2, 2, 3, 3), 0); // only a total of 0 gives category 4
    }

    void levelFields_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("boxes"); // item boxes of the entry window
        QTest::addColumn<QList<int>>("totLabels");
        QTest::addColumn<int>("size"); // result fields, then the first and last ones
        QTest::addColumn<QStringList>("head");
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("GS") << 1 << 14 << QList<int>{121, 123, 131, 132} << 30
                            << QStringList{"T2_E1P1", "T2_E1P2", "T2_E1TOT", "T2_E1CAT", "T2_E1PRO", "T2_E2P1", "T2_E2CAT"}
                            << QStringList{"T3_E2CAT", "T3_E2PRO", "T3_E3P1", "T3_E3CAT", "T3_E3PRO"};
        QTest::newRow("CP") << 2 << 20 << QList<int>{211, 212, 221, 222, 231, 232} << 44
                            << QStringList{"T1_E1P1", "T1_E1P2", "T1_E1P3", "T1_E1P4", "T1_E1P5", "T1_E1TOT"}
                            << QStringList{"T3_E2TOT", "T3_E2CAT", "T3_E2PRO", "T3_E3P1", "T3_E3CAT", "T3_E3PRO"};
        QTest::newRow("CE1") << 3 << 29 << QList<int>{311, 312} << 49 << QStringList{"T1_E1P1", "T1_E1P2", "T1_E1TOT", "T1_E1CAT"}
                             << QStringList{"T3_E3P6", "T3_E3P7", "T3_E3CAT", "T3_E3PRO"};
    }

    // The entry window's boxes and total labels, and the pupil's result fields:
    // distinct, all of them columns of ELEVE.
    void levelFields()
    {
        QFETCH(int, level);
        QFETCH(int, size);
        QFETCH(QStringList, head);
        QFETCH(QStringList, tail);
        int boxes = 0;
        QList<int> tot;
        for (int t : EvaluatedTrimesters(level)) {
            for (int e = 1; e <= 3; ++e) {
                boxes += ItemCount(level, t, e);
                if (HasTotalField(level, t, e))
                    tot.append(ExerciseNumber(level, t, e));
            }
        }
        QTEST(boxes, "boxes");
        QTEST(tot, "totLabels");
        const QStringList fields = PupilResultFields(level), columns = PupilResultColumns();
        QCOMPARE(fields.size(), size);
        QCOMPARE(fields.mid(0, head.size()), head);
        QCOMPARE(fields.mid(size - tail.size()), tail);
        QCOMPARE(QSet<QString>(fields.begin(), fields.end()).size(), size);
        QCOMPARE(columns.size(), 78);
        QCOMPARE(QSet<QString>(columns.begin(), columns.end()).size(), columns.size());
        for (const QString &field : fields)
            QVERIFY2(columns.contains(field), qPrintable(field));
    }

    // The category-field table and the exercises' slots are written separately;
    // they must describe the same grouping.
    void categoryFieldsMatchExerciseSlots()
    {
        const QStringList columns = PupilResultColumns();
        for (int level = 1; level <= 3; ++level) {
            QStringList listed;
            for (int slot = 1; slot <= 4; ++slot) {
                int previousTrimester = 0;
                for (int rank = 1; rank <= 3; ++rank) {
                    const QString field = CategoryField(level, slot, rank);
                    const QString where = QStringLiteral("level %1 slot %2 rank %3").arg(level).arg(slot).arg(rank);
                    if (field.isEmpty()) {
                        QVERIFY2(rank > 1 && CategoryField(level, slot, rank + 1).isEmpty(), qPrintable(where));
                        continue;
                    }
                    const int t = field.mid(1, 1).toInt(), e = field.mid(4, 1).toInt();
                    QVERIFY2(columns.contains(field) && columns.contains(ProfileFieldOfCategoryField(field)), qPrintable(where));
                    QCOMPARE(ExerciseField(t, e, QStringLiteral("CAT")), field);
                    QCOMPARE(ExerciseSlot(level, t, e), slot);
                    QVERIFY2(t > previousTrimester, qPrintable(where + ": not in chronological order"));
                    previousTrimester = t;
                    listed.append(field);
                }
            }
            // Every evaluated exercise with a slot is listed; only CE1 T3 E2 has none.
            for (int t : EvaluatedTrimesters(level)) {
                for (int e = 1; e <= 3; ++e) {
                    const bool noSlot = level == 3 && t == 3 && e == 2;
                    QCOMPARE(ExerciseSlot(level, t, e) == 0, noSlot);
                    QCOMPARE(listed.contains(ExerciseField(t, e, QStringLiteral("CAT"))), !noSlot);
                }
            }
        }
    }

    void boxNumbers()
    {
        // Decoding gives back the digits of the 3 * 3 * 3 * 7 box numbers, and all zero for any other number.
        int decoded = 0;
        for (int box = -1311; box <= 10000; ++box) {
            const BoxCoordinates c = DecodeBoxNumber(box);
            if (c.level != 0 || c.trimester != 0 || c.exercise != 0 || c.item != 0) {
                QCOMPARE(BoxNumber(c.level, c.trimester, c.exercise, c.item), box);
                ++decoded;
            }
        }
        QCOMPARE(decoded, 3 * 3 * 3 * 7);
        QCOMPARE(BoxNumber(1, 3, 1, 1), 1311);
        QCOMPARE(ExerciseNumber(2, 3, 1), 231);
        QVERIFY(IsHalfWeightBox(2312) && IsHalfWeightBox(3112) && !IsHalfWeightBox(2311) && !IsHalfWeightBox(1312));
        // Callers may pass any code (a class with an unknown level gives 0): 0 or empty.
        QCOMPARE(LevelCode("ce1") + ItemCount(0, 1, 1) + ItemMax(2, 1, 1, 8) + CategoryBounds(2, 1, 1, 4) + BoxNumber(2, 1, 1, 0), 0);
        QVERIFY(PanelDomainCaptions(0).isEmpty() && PupilResultFields(0).isEmpty() && EntryWindowCaption(0).isEmpty());
    }

    void texts()
    {
        QCOMPARE(ItemCaption(2, 2, 2, 2), "Compréh. de phrases");
        QCOMPARE(ItemCaption(3, 2, 2, 1), "Compréhension de texte Nombre de réponses");
        QCOMPARE(ItemToolTip(3, 3, 2, 7), "DOC question 7");
        QCOMPARE(ExerciseHeading(2, 2, 1), "Phono-\ngraphique");
        QCOMPARE(ExerciseHeading(3, 3, 1), "Compr.texte\nNar.");
        QCOMPARE(PanelDomainCaptions(3), (QStringList{"Phono-graphique", "Mots et Phrases", "Comp. Texte", "ARI"}));
        QCOMPARE(DomainSuffix(1) + '|' + DomainSuffix(2) + '|' + DomainSuffix(3) + '|' + DomainSuffix(4), "L|PG|RM|CT");
        QCOMPARE(TrimesterTabCaption(2) + '|' + EntryWindowCaption(3), "2ème Trimestre|Saisie résultats CE1");
        QCOMPARE(EntryWindowName(1), "FormGS");
    }
};

QTEST_APPLESS_MAIN(TestEvaluationModel)
#include "tst_evaluationmodel.moc"
