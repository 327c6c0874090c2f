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
        for (int level = 1; level <= 3; ++level) {
            for (int t : EvaluatedTrimesters(level)) {
                for (int e = 1; e <= 3; ++e) {
                    const QByteArray name = LevelName(level).toLatin1() + " T" + QByteArray::number(t)
                                            + " E" + QByteArray::number(e);
                    QTest::newRow(name.constData()) << level << t << e;
                }
            }
        }
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
            if (i > n) {
                QCOMPARE(max, 0);
                continue;
            }
            QVERIFY2(max > 0, qPrintable(QStringLiteral("item %1").arg(i)));
            total += IsHalfWeightBox(BoxNumber(level, t, e, i)) ? (max + 1) / 2 : max;
            // Exactly one of caption and tool tip: CE1 trimester 3 has tool tips only.
            const bool toolTipOnly = level == 3 && t == 3;
            QCOMPARE(ItemCaption(level, t, e, i).isEmpty(), toolTipOnly);
            QCOMPARE(ItemToolTip(level, t, e, i).isEmpty(), !toolTipOnly);
        }
        QCOMPARE(total, CategoryBounds(level, t, e, 0));
        for (int k = 1; k <= 3; ++k)
            QVERIFY(CategoryBounds(level, t, e, k) < CategoryBounds(level, t, e, k - 1));
        QVERIFY(CategoryBounds(level, t, e, 3) >= 0);
        QCOMPARE(HasTotalField(level, t, e), n >= 2 && n <= 6);
        QVERIFY(!ExerciseHeading(level, t, e).isEmpty());
    }

    void gsHasNoFirstTrimester()
    {
        QCOMPARE(FirstTrimester(1), 2);
        QCOMPARE(EvaluatedTrimesters(1), QList<int>({2, 3}));
        for (int e = 1; e <= 3; ++e) {
            QCOMPARE(ItemCount(1, 1, e), 0);
            QVERIFY(ExerciseHeading(1, 1, e).isEmpty());
            for (int i = 1; i <= 7; ++i)
                QCOMPARE(ItemMax(1, 1, e, i), 0);
            for (int k = 0; k <= 3; ++k)
                QCOMPARE(CategoryBounds(1, 1, e, k), 0);
        }
        // Only a total of 0 gives category 4 in CP trimester 2 E3.
        QCOMPARE(CategoryBounds(2, 2, 3, 3), 0);
    }

    void sharedExercises_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("nextLevel");
        QTest::newRow("GS T3 = CP T1") << 1 << 2;
        QTest::newRow("CP T3 = CE1 T1") << 2 << 3;
    }

    // The transfer of last year's pupils copies trimester-3 results into the next
    // level's trimester-1 fields: the exercises must be the same.
    void sharedExercises()
    {
        QFETCH(int, level);
        QFETCH(int, nextLevel);
        for (int e = 1; e <= 3; ++e) {
            QCOMPARE(ItemCount(nextLevel, 1, e), ItemCount(level, 3, e));
            QCOMPARE(ExerciseSlot(nextLevel, 1, e), ExerciseSlot(level, 3, e));
            for (int i = 1; i <= 7; ++i)
                QCOMPARE(ItemMax(nextLevel, 1, e, i), ItemMax(level, 3, e, i));
            for (int k = 0; k <= 3; ++k)
                QCOMPARE(CategoryBounds(nextLevel, 1, e, k), CategoryBounds(level, 3, e, k));
            for (int i = 1; i <= ItemCount(level, 3, e); ++i)
                QCOMPARE(IsHalfWeightBox(BoxNumber(nextLevel, 1, e, i)), IsHalfWeightBox(BoxNumber(level, 3, e, i)));
        }
    }

    void entryWindowBoxes_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<QList<int>>("totLabels");
        QTest::newRow("FormGS") << 1 << 14 << QList<int>{121, 123, 131, 132};
        QTest::newRow("FormCP") << 2 << 20 << QList<int>{211, 212, 221, 222, 231, 232};
        QTest::newRow("FormCE1") << 3 << 29 << QList<int>{311, 312};
    }

    void entryWindowBoxes()
    {
        QFETCH(int, level);
        QFETCH(int, boxes);
        QFETCH(QList<int>, totLabels);
        int count = 0;
        QList<int> tot;
        for (int t : EvaluatedTrimesters(level)) {
            for (int e = 1; e <= 3; ++e) {
                count += ItemCount(level, t, e);
                if (HasTotalField(level, t, e))
                    tot.append(ExerciseNumber(level, t, e));
            }
        }
        QCOMPARE(count, boxes);
        QCOMPARE(tot, totLabels);
    }

    void boxNumbersRoundTrip()
    {
        for (int level = 1; level <= 3; ++level) {
            for (int t = 1; t <= 3; ++t) {
                for (int e = 1; e <= 3; ++e) {
                    for (int i = 1; i <= 7; ++i) {
                        const BoxCoordinates c = DecodeBoxNumber(BoxNumber(level, t, e, i));
                        QCOMPARE(QList<int>({c.level, c.trimester, c.exercise, c.item}), QList<int>({level, t, e, i}));
                    }
                }
            }
        }
        QCOMPARE(BoxNumber(1, 3, 1, 1), 1311);
        QCOMPARE(ExerciseNumber(2, 3, 1), 231);
        QVERIFY(IsHalfWeightBox(2312) && IsHalfWeightBox(3112));
        QVERIFY(!IsHalfWeightBox(2311) && !IsHalfWeightBox(1312));
        for (int bad : {0, 999, 10000, 1011, 1411, 4111, 1381, -1311}) {
            const BoxCoordinates c = DecodeBoxNumber(bad);
            QVERIFY2(c.level == 0 && c.trimester == 0 && c.exercise == 0 && c.item == 0, qPrintable(QString::number(bad)));
        }
    }

    void pupilResultFields_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("head");
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("GS") << 1 << 30 << QStringList{"T2_E1P1", "T2_E1P2", "T2_E1TOT", "T2_E1CAT", "T2_E1PRO", "T2_E2P1", "T2_E2CAT"}
                            << QStringList{"T3_E2CAT", "T3_E2PRO", "T3_E3P1", "T3_E3CAT", "T3_E3PRO"};
        QTest::newRow("CP") << 2 << 44 << QStringList{"T1_E1P1", "T1_E1P2", "T1_E1P3", "T1_E1P4", "T1_E1P5", "T1_E1TOT"}
                            << QStringList{"T3_E2TOT", "T3_E2CAT", "T3_E2PRO", "T3_E3P1", "T3_E3CAT", "T3_E3PRO"};
        QTest::newRow("CE1") << 3 << 49 << QStringList{"T1_E1P1", "T1_E1P2", "T1_E1TOT", "T1_E1CAT"}
                             << QStringList{"T3_E3P6", "T3_E3P7", "T3_E3CAT", "T3_E3PRO"};
    }

    void pupilResultFields()
    {
        QFETCH(int, level);
        QFETCH(int, size);
        QFETCH(QStringList, head);
        QFETCH(QStringList, tail);
        const QStringList fields = PupilResultFields(level);
        QCOMPARE(fields.size(), size);
        QCOMPARE(fields.mid(0, head.size()), head);
        QCOMPARE(fields.mid(size - tail.size()), tail);
        QCOMPARE(QSet<QString>(fields.begin(), fields.end()).size(), size);

        const QStringList columns = PupilResultColumns();
        QCOMPARE(columns.size(), 78);
        QCOMPARE(QSet<QString>(columns.begin(), columns.end()).size(), columns.size());
        for (const QString &field : fields)
            QVERIFY2(columns.contains(field), qPrintable(field));
    }

    void categoryFieldsMatchExerciseSlots_data()
    {
        QTest::addColumn<int>("level");
        QTest::newRow("GS") << 1;
        QTest::newRow("CP") << 2;
        QTest::newRow("CE1") << 3;
    }

    // The category-field table and the exercises' slots are written separately;
    // they must describe the same grouping.
    void categoryFieldsMatchExerciseSlots()
    {
        QFETCH(int, level);
        const QStringList columns = PupilResultColumns();
        QStringList listed;
        for (int slot = 1; slot <= 4; ++slot) {
            bool emptySeen = false;
            int previousTrimester = 0;
            for (int rank = 1; rank <= 3; ++rank) {
                const QString field = CategoryField(level, slot, rank);
                if (field.isEmpty()) {
                    emptySeen = true;
                    continue;
                }
                QVERIFY2(!emptySeen, "empty rank before a filled one");
                QVERIFY2(columns.contains(field), qPrintable(field));
                QVERIFY(columns.contains(ProfileFieldOfCategoryField(field)));
                const int t = field.mid(1, 1).toInt();
                const int e = field.mid(4, 1).toInt();
                QCOMPARE(ExerciseField(t, e, QStringLiteral("CAT")), field);
                QCOMPARE(ExerciseSlot(level, t, e), slot);
                QVERIFY2(t > previousTrimester, "ranks are in chronological order");
                previousTrimester = t;
                listed.append(field);
            }
            QVERIFY(!CategoryField(level, slot, 1).isEmpty());
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

    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("GS T2 caption") << ItemCaption(1, 2, 1, 1) << "lexique";
        QTest::newRow("CP T2 caption") << ItemCaption(2, 2, 2, 2) << "Compréh. de phrases";
        QTest::newRow("CE1 T1 caption") << ItemCaption(3, 1, 3, 1) << "Nombres de réponses";
        QTest::newRow("CE1 T2 caption") << ItemCaption(3, 2, 2, 1) << "Compréhension de texte Nombre de réponses";
        QTest::newRow("CE1 T3 tool tip") << ItemToolTip(3, 3, 2, 7) << "DOC question 7";
        QTest::newRow("heading PG") << ExerciseHeading(2, 2, 1) << "Phono-\ngraphique";
        QTest::newRow("heading CE1 slot 1") << ExerciseHeading(3, 2, 3) << "ARI";
        QTest::newRow("heading CE1 Nar") << ExerciseHeading(3, 3, 1) << "Compr.texte\nNar.";
        QTest::newRow("heading CE1 Doc") << ExerciseHeading(3, 3, 2) << "Compr.texte\nDoc.";
        QTest::newRow("panels CP") << PanelDomainCaptions(2).join('|') << "Langage|Phono-graphique|Mots et Phrases|Comp. Texte";
        QTest::newRow("panels CE1") << PanelDomainCaptions(3).join('|') << "Phono-graphique|Mots et Phrases|Comp. Texte|ARI";
        QTest::newRow("suffixes") << QStringList{DomainSuffix(1), DomainSuffix(2), DomainSuffix(3), DomainSuffix(4)}.join('|') << "L|PG|RM|CT";
        QTest::newRow("tab 2") << TrimesterTabCaption(2) << "2ème Trimestre";
        QTest::newRow("caption CE1") << EntryWindowCaption(3) << "Saisie résultats CE1";
        QTest::newRow("window GS") << EntryWindowName(1) << "FormGS";
        QTest::newRow("level CE1") << LevelName(LevelCode(QStringLiteral("CE1"))) << "CE1";
        QTest::newRow("profile field") << ProfileFieldOfCategoryField(QStringLiteral("T2_E1CAT")) << "T2_E1PRO";
        QTest::newRow("item field") << ItemField(3, 2, 7) << "T3_E2P7";
    }

    void texts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    // Callers may pass any code (a class with an unknown level gives 0): no crash, 0 or empty.
    void outOfRange()
    {
        QCOMPARE(LevelCode(QStringLiteral("ce1")), 0);
        QCOMPARE(ItemCount(0, 1, 1) + ItemMax(2, 1, 1, 8) + CategoryBounds(2, 1, 1, 4) + BoxNumber(2, 1, 1, 0), 0);
        QVERIFY(ItemCaption(2, 1, 3, 2).isEmpty()); // beyond the exercise's single item
        QVERIFY(PanelDomainCaptions(0).isEmpty() && PupilResultFields(0).isEmpty() && EntryWindowCaption(0).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestEvaluationModel)
#include "tst_evaluationmodel.moc"
