// The validation of typed scores against a window stand-in that, like the
// real window, re-runs the check whenever a box text changes.
#include "common/AppState.h"
#include "common/ScriptedDialogs.h"
#include "evaluation/CheckEntry.h"

#include <QMap>
#include <QSet>
#include <QTest>

namespace {

const QString RangeMessage = QStringLiteral("ATTENTION: Vous devez saisir une valeur entre 0 et %1");
const QString NumericMessage = QStringLiteral("ATTENTION: Vous devez saisir une valeur numérique ou le signe _");

struct FakeForm final : EntryForm
{
    AppState state;
    ScriptedDialogs shown;
    QMap<int, QString> texts;
    QSet<int> disabled;
    QList<int> focused;
    QString status;
    QMap<int, QString> labels; // by exercise number: "tot cat prof"

    QString boxText(int box) const override { return texts.value(box, QStringLiteral("_")); }
    void setBoxText(int box, const QString &text) override
    {
        if (boxText(box) == text)
            return;
        texts[box] = text;
        CheckEntry(*this, state, box);
    }
    bool boxEnabled(int box) const override { return !disabled.contains(box); }
    void focusBox(int box) override { focused.append(box); }
    void setStatusText(const QString &text) override { status = text; }
    void setExerciseLabels(int level, int t, int e, const ExerciseResult &r) override
    {
        labels[100 * level + 10 * t + e] = r.tot + " " + r.cat + " " + r.prof;
    }
    Dialogs &dialogs() override { return shown; }

    // Keystrokes at the end of the text; the first replaces a "_", which the
    // window selects when the focus arrives.
    void type(int box, const QString &keys)
    {
        for (const QChar c : keys)
            setBoxText(box, boxText(box) == QLatin1String("_") ? QString(c) : boxText(box) + c);
    }
    QStringList messages()
    {
        QStringList m;
        for (const auto &s : shown.shown())
            m.append(s.title + ": " + s.text);
        shown.clear();
        return m;
    }
};

} // namespace

class TestCheckEntry : public QObject
{
    Q_OBJECT

private slots:
    // GS trimester 2 E1: "lexique" (max 4, box 1211) and "syntaxe" (max 2, box 1212);
    // CE1 trimester 2 E1: one item of maximum 10 (box 3211), bounds 10/8/6/3.
    void typedSequences()
    {
        FakeForm f;
        f.type(1211, "35");
        QCOMPARE(f.boxText(1211), QStringLiteral("3"));
        QVERIFY(f.messages().isEmpty());
        // A pasted "9x" is cut to "9", which the nested check refuses: one message only.
        f.setBoxText(1211, "9x");
        QCOMPARE(f.boxText(1211), QStringLiteral("_"));
        QCOMPARE(f.messages(), QStringList{RangeMessage.arg(4)});

        f.type(3211, "1");
        QCOMPARE(f.labels.value(321), QStringLiteral("_ 4 F"));
        f.focused.clear();
        f.type(3211, "2");
        QCOMPARE(f.boxText(3211), QStringLiteral("_"));
        QCOMPARE(f.messages(), QStringList{RangeMessage.arg(10)});
        QCOMPARE(f.focused, QList<int>{3211});
        // The reset was examined before the message: the exercise is all "_", nothing pending.
        QVERIFY(!f.state.EntryPending);
        QCOMPARE(f.labels.value(321), QStringLiteral("_ _ _"));

        for (const char *refused : {"_5", "x", "-1"}) {
            f.setBoxText(3211, QLatin1String(refused));
            QCOMPARE(f.boxText(3211), QStringLiteral("_"));
            QCOMPARE(f.messages(), QStringList{NumericMessage});
        }
        f.setBoxText(3211, "7x");
        QCOMPARE(f.boxText(3211), QStringLiteral("7x"));
        QCOMPARE(f.labels.value(321), QStringLiteral("_ 2 A"));

        // Maximum 1 (CE1 trimester 3 questions): "0" and "1" only.
        f.setBoxText(3311, "0");
        f.setBoxText(3311, "1");
        QVERIFY(f.messages().isEmpty());
        f.setBoxText(3311, "2");
        QCOMPARE(f.messages(), QStringList{RangeMessage.arg(1)});

        // A disabled box does not get the focus back.
        f.focused.clear();
        f.disabled.insert(3211);
        f.setBoxText(3211, "11");
        QVERIFY(f.focused.isEmpty());
    }

    void seriesMustBeComplete()
    {
        FakeForm f;
        f.type(1211, "3");
        QVERIFY(f.state.EntryPending);
        QCOMPARE(f.status, QStringLiteral("Vous devez remplir la série complète !"));
        QVERIFY(!f.labels.contains(121));
        f.type(1212, "1");
        QVERIFY(!f.state.EntryPending);
        QCOMPARE(f.labels.value(121), QStringLiteral("4 2 A"));

        // A refusal inside a series left half filled stays pending...
        f.setBoxText(1212, "5");
        QCOMPARE(f.messages(), QStringList{RangeMessage.arg(2)});
        QVERIFY(f.state.EntryPending);
        QCOMPARE(f.labels.value(121), QStringLiteral("4 2 A")); // captions kept
        // ...and clearing the series releases it.
        f.setBoxText(1211, "_");
        QVERIFY(!f.state.EntryPending);
        QCOMPARE(f.labels.value(121), QStringLiteral("_ _ _"));
        f.setBoxText(1211, "a");
        QCOMPARE(f.messages(), QStringList{NumericMessage});
        QVERIFY(!f.state.EntryPending);
    }

    void emptyBoxKeepsTheFocus()
    {
        FakeForm f;
        f.type(3211, "8");
        f.setBoxText(3211, "");
        QVERIFY(f.state.EntryPending);
        QCOMPARE(f.focused, QList<int>{3211});
        QVERIFY(f.messages().isEmpty());
        QCOMPARE(f.labels.value(321), QStringLiteral("_ 2 A"));
    }

    void loadingOnlyEvaluates()
    {
        FakeForm f;
        f.state.LoadingResults = true;
        f.state.EntryPending = true;
        f.setBoxText(1211, "35");
        f.setBoxText(3211, "12");
        QCOMPARE(f.boxText(1211), QStringLiteral("35"));
        QCOMPARE(f.boxText(3211), QStringLiteral("12"));
        QVERIFY(f.messages().isEmpty());
        QVERIFY(f.focused.isEmpty() && f.status.isEmpty());
        QVERIFY(!f.state.EntryPending);
        QCOMPARE(f.labels.value(121), QStringLiteral("_ _ _"));
        QCOMPARE(f.labels.value(321), QStringLiteral("_ 1 A"));
    }

    void hintsAndIncompleteSeries()
    {
        QCOMPARE(RangeHint(2312), QStringLiteral("Valeur du champ entre 0 et 10"));
        FakeForm f; // GS trimester 3: E1 five items, E2 three, E3 one
        f.state.LoadingResults = true;
        for (int i = 1; i <= 5; ++i)
            f.setBoxText(1310 + i, "1");
        QCOMPARE(FirstBoxOfIncompleteSeries(f, 1, 3), 0);
        f.setBoxText(1321, "2");
        f.setBoxText(1323, "1");
        QCOMPARE(FirstBoxOfIncompleteSeries(f, 1, 3), 1322);
        QCOMPARE(FirstBoxOfIncompleteSeries(f, 1, 2), 0);
    }
};

QTEST_GUILESS_MAIN(TestCheckEntry)
#include "tst_checkentry.moc"
