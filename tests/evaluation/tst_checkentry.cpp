// The validation of typed scores against a window stand-in that, like the
// real window, re-runs the check whenever a box text changes.
#include "common/ScriptedDialogs.h"
#include "evaluation/CheckEntry.h"
#include "evaluation/EvaluationModel.h"

#include <QMap>
#include <QSet>
#include <QTest>

namespace {

struct FakeForm final : EntryForm
{
    EntryFlags flags;
    ScriptedDialogs shown;
    QMap<int, QString> texts;
    QSet<int> disabled;
    QList<int> focused;
    QString status;
    QMap<int, QString> labels; // by exercise number: "tot cat prof"

    QString boxText(int box) const override { return texts.value(box, NoResult); }
    void setBoxText(int box, const QString &text) override
    {
        if (boxText(box) == text)
            return;
        texts[box] = text;
        CheckEntry(*this, flags, box);
    }
    bool boxEnabled(int box) const override { return !disabled.contains(box); }
    void focusBox(int box) override { focused.append(box); }
    void setStatusText(const QString &text) override { status = text; }
    void setExerciseLabels(int level, int t, int e, const ExerciseResult &r) override
    {
        labels[ExerciseNumber(level, t, e)] = r.tot + " " + r.cat + " " + r.prof;
    }
    Dialogs &dialogs() override { return shown; }

    // Sets the text, or types it key by key (the first key replacing a "_",
    // which the window selects when the focus arrives), then tells what
    // followed: "text|messages|labels|state", each message "max N" or
    // "numeric", the labels of the box's exercise ("-" never shown), the
    // state "p" (pending) and "f" (the box was given the focus back). The
    // messages must be the program's exact texts.
    QString after(int box, const QString &text, bool typed = false)
    {
        focused.clear();
        if (!typed)
            setBoxText(box, text);
        for (const QChar c : typed ? text : QString())
            setBoxText(box, boxText(box) == NoResult ? QString(c) : boxText(box) + c);
        QStringList messages;
        for (const auto &s : shown.shown()) {
            QString m = s.title + ": " + s.text;
            m.replace("ATTENTION: Vous devez saisir une valeur entre 0 et ", "max ");
            messages.append(m.replace("ATTENTION: Vous devez saisir une valeur numérique ou le signe _", "numeric"));
        }
        shown.clear();
        const QString state = QString(flags.entryPending ? "p" : "") + (focused.contains(box) ? "f" : "");
        const QString exercise = labels.value(box / 10 % 1000, "-");
        return QStringList{boxText(box), messages.join('+'), exercise, state}.join('|');
    }
};

} // namespace

class TestCheckEntry : public QObject
{
    Q_OBJECT

private slots:
    // GS T2 E1: "lexique" (box 1211, max 4) and "syntaxe" (1212, max 2);
    // CE1 T2 E1: one item of max 10 (3211), bounds 10/8/6/3; CE1 T3: max 1.
    void typedScores()
    {
        FakeForm f;
        QCOMPARE(f.after(1211, "35", true), "3||-|p"); // below 10: one character kept
        QCOMPARE(f.status, "Vous devez remplir la série complète !");
        QCOMPARE(f.after(1212, "1", true), "1||4 2 A|");
        // A refusal inside a series left half filled stays pending, labels kept...
        QCOMPARE(f.after(1212, "5"), "_|max 2|4 2 A|pf");
        // ...and clearing the series releases it.
        QCOMPARE(f.after(1211, "_"), "_||_ _ _|");
        // A pasted "9x" is cut to "9", which the nested check refuses: one message only.
        QCOMPARE(f.after(1211, "9x"), "_|max 4|_ _ _|f");
        QCOMPARE(f.after(3211, "1", true), "1||_ 4 F|");
        // The reset is examined before the message: the exercise is all "_", nothing pending.
        QCOMPARE(f.after(3211, "2", true), "_|max 10|_ _ _|f");
        for (const char *refused : {"_5", "x", "-1"})
            QCOMPARE(f.after(3211, refused), "_|numeric|_ _ _|f");
        QCOMPARE(f.after(3211, "7x"), "7x||_ 2 A|");
        // An emptied box keeps the focus, silently.
        QCOMPARE(f.after(3211, ""), "||_ 2 A|pf");
        QCOMPARE(f.after(3311, "0") + f.after(3311, "1"), "0||-|p1||-|p");
        // A disabled box does not get the focus back.
        f.disabled.insert(3211);
        QCOMPARE(f.after(3211, "11"), "_|max 10|_ _ _|");

        // Filling the boxes from stored values refuses nothing and only evaluates.
        f.flags = {true, true};
        f.status.clear();
        QCOMPARE(f.after(1211, "35") + f.after(3211, "12"), "35||_ _ _|12||_ 1 A|");
        QVERIFY(f.status.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCheckEntry)
#include "tst_checkentry.moc"
