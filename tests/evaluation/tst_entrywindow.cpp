// The result-entry windows driven through their widgets, over a main window on a GS, a CP and a CE1 class.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "evaluation/EntryWindow.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

using TestSupport::insertRow;

namespace {

QVariantMap pupil(int klass, const QString &name, const QVariantMap &scores = {})
{
    QVariantMap row{{"NOECOLE", 1}, {"NOCLASSE", klass}, {"NOM", name}, {"CSP", 1}};
    row.insert(scores);
    return row;
}

struct Fixture
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2026, 3, 2), QTime(9, 0))};
    AppContext context{dialogs, clock};
    std::unique_ptr<Form1> form1;
    std::unique_ptr<ResultStore> store;
    int pupilScorings = 0;
    int classProfiles = 0;

    // Classes in list order: "A - GS" (3 pupils), "B - CP" (2), "C - CE1" (1).
    Fixture()
    {
        const QString folder = dir.path();
        TestSupport::createEmptyDataFolder(folder);
        insertRow(folder, "ECOLE", {{"NOECOLE", 1}, {"NOM_ECOLE", "Ecole"}});
        insertRow(folder, "CLASSE", {{"NOECOLE", 1}, {"NOCLASSE", 1}, {"LIBELLE", "A - GS"}, {"NIVEAU", "GS"}});
        insertRow(folder, "CLASSE", {{"NOECOLE", 1}, {"NOCLASSE", 2}, {"LIBELLE", "B - CP"}, {"NIVEAU", "CP"}});
        insertRow(folder, "CLASSE", {{"NOECOLE", 1}, {"NOCLASSE", 3}, {"LIBELLE", "C - CE1"}, {"NIVEAU", "CE1"}});
        insertRow(folder, "ELEVE", pupil(1, "Alice", {{"T2_E1P1", 3}, {"T2_E1P2", 1}, {"T2_E2P1", 99}}));
        insertRow(folder, "ELEVE", pupil(1, "Bruno"));
        insertRow(folder, "ELEVE", pupil(1, "Clara", {{"T3_E3P1", 5}}));
        insertRow(folder, "ELEVE", pupil(2, "Denis", {{"T3_E1P1", 6}, {"T3_E1P2", 7}}));
        insertRow(folder, "ELEVE", pupil(2, "Emma", {{"T1_E2CAT", 4}}));
        insertRow(folder, "ELEVE", pupil(3, "Farid", {{"T3_E2P1", 1}}));
        context.connection.setDataFolder(folder);
        form1 = std::make_unique<Form1>(context);
        store = std::make_unique<ResultStore>(context.connection, context.state);
        form1->routes().computePupilProfile = [this](int level) {
            ++pupilScorings;
            store->ComputePupilProfile(level, form1->pupilList()->currentItem()->text());
        };
        form1->routes().computeClassProfile = [this] {
            ++classProfiles;
            store->ComputeClassProfile(form1->selectedLevelCode());
        };
    }
    std::unique_ptr<EntryWindow> open(int classRow, int pupilRow, int tab)
    {
        if (!form1->Form_Activate())
            return nullptr;
        form1->classList()->setCurrentRow(classRow);
        form1->pupilList()->setCurrentRow(pupilRow);
        return std::make_unique<EntryWindow>(context, *form1, form1->selectedLevelCode(), tab);
    }
    QVariant stored(const QString &name, const QString &column)
    {
        QSqlQuery q(context.connection.database());
        q.prepare(QStringLiteral("SELECT %1 FROM ELEVE WHERE NOM = ?").arg(column));
        q.addBindValue(name);
        return q.exec() && q.next() ? q.value(0) : QVariant();
    }
};

QLineEdit *box(EntryWindow &w, int number)
{
    return w.findChild<QLineEdit *>(QStringLiteral("Perf_%1").arg(number));
}
// The exercise's "tot", "cat" and "prof" labels ("<none>" where it has none).
QString labels(EntryWindow &w, int number)
{
    QStringList texts;
    for (const char *kind : {"tot", "cat", "prof"}) {
        const auto *l = w.findChild<QLabel *>(QStringLiteral("%1_%2").arg(QLatin1String(kind)).arg(number));
        texts.append(l ? l->text() : QStringLiteral("<none>"));
    }
    return texts.join(QLatin1Char(' '));
}
QAction *button(EntryWindow &w, const char *key)
{
    return w.findChild<QAction *>(QLatin1String(key));
}
// Types over the box's whole text, as after the focus arrived on it.
void typeInto(EntryWindow &w, int number, const char *keys)
{
    box(w, number)->selectAll();
    QTest::keyClicks(box(w, number), QLatin1String(keys));
}
QStringList enabledButtons(EntryWindow &w)
{
    QStringList keys;
    for (const char *key : {"Modifie", "Valider", "Abandon", "Imprime", "Sortie"})
        if (button(w, key)->isEnabled())
            keys.append(QLatin1String(key));
    return keys;
}

} // namespace

class TestEntryWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowsOpenOnChosenTabInViewMode()
    {
        Fixture f;
        auto w = f.open(0, 0, 1);
        QVERIFY(w);
        QCOMPARE(w->objectName(), QStringLiteral("FormGS"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Saisie résultats GS"));
        auto *tabs = w->findChild<QTabWidget *>("VideoSoftIndexTab1");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("2ème Trimestre"));
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(w->findChild<QLabel *>("Label1")->text(), QStringLiteral("Alice"));
        QCOMPARE(w->findChildren<QLineEdit *>(QRegularExpression("^Perf_")).size(), 14);
        QStringList tots;
        for (const QLabel *l : w->findChildren<QLabel *>(QRegularExpression("^tot_")))
            tots.append(l->objectName());
        tots.sort();
        QCOMPARE(tots, (QStringList{"tot_121", "tot_123", "tot_131", "tot_132"}));
        // Stored scores, 99 read as "_", labels computed while filling.
        QCOMPARE(box(*w, 1211)->text(), QStringLiteral("3"));
        QCOMPARE(labels(*w, 121), QStringLiteral("4 2 A"));
        QCOMPARE(box(*w, 1221)->text(), QStringLiteral("_"));
        QCOMPARE(labels(*w, 122), QStringLiteral("<none> _ _"));
        QVERIFY(!box(*w, 1211)->isEnabled());
        QCOMPARE(enabledButtons(*w), (QStringList{"Modifie", "Imprime", "Sortie"}));
        auto *upDown = w->findChild<QSpinBox *>("UpDown1");
        QCOMPARE(QList<int>({upDown->minimum(), upDown->maximum(), upDown->value()}), QList<int>({1, 3, 1}));
        QVERIFY(!f.context.state.LoadingResults);

        // UpDown1 moves the main window's pupil selection, within the class.
        const int scoringsBefore = f.pupilScorings;
        upDown->stepUp();
        QCOMPARE(f.form1->pupilList()->currentRow(), 1);
        QCOMPARE(w->findChild<QLabel *>("Label1")->text(), QStringLiteral("Bruno"));
        QCOMPARE(box(*w, 1211)->text(), QStringLiteral("_"));
        QCOMPARE(labels(*w, 121), QStringLiteral("_ _ _"));
        QVERIFY(f.pupilScorings > scoringsBefore);
        upDown->setValue(7);
        QCOMPARE(upDown->value(), 3);
        QCOMPARE(f.form1->pupilList()->currentRow(), 2);
        QCOMPARE(labels(*w, 133), QStringLiteral("<none> 1 A"));
        upDown->stepUp();
        QCOMPARE(f.form1->pupilList()->currentRow(), 2);
        upDown->setValue(0);
        QCOMPARE(f.form1->pupilList()->currentRow(), 0);
        QVERIFY(f.dialogs.shown().isEmpty());

        auto ce1 = f.open(2, 0, 2);
        QCOMPARE(ce1->objectName(), QStringLiteral("FormCE1"));
        QCOMPARE(ce1->findChildren<QLineEdit *>(QRegularExpression("^Perf_")).size(), 29);
        QCOMPARE(box(*ce1, 3327)->toolTip(), QStringLiteral("DOC question 7"));
        QCOMPARE(ce1->findChildren<QLabel *>(QRegularExpression("^tot_")).size(), 2);
        const QList<QLabel *> all = ce1->findChildren<QLabel *>();
        QCOMPARE(std::count_if(all.begin(), all.end(), [](auto *l) { return l->text() == "Réponses aux questions 1 à 7"; }), 3);
        // A stored part series opens as stored, with nothing pending.
        QCOMPARE(box(*ce1, 3321)->text(), QStringLiteral("1"));
        QCOMPARE(labels(*ce1, 332), QStringLiteral("<none> _ _"));
        QVERIFY(!f.context.state.EntryPending);
    }

    // A trimester typed without the mouse, in a shown window.
    void typingMovesThroughTheBoxes()
    {
        Fixture f;
        auto w = f.open(0, 1, 1); // Bruno, trimester 3
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        button(*w, "Modifie")->trigger();
        QCOMPARE(enabledButtons(*w), (QStringList{"Valider", "Abandon"}));
        QVERIFY(!w->findChild<QSpinBox *>("UpDown1")->isEnabled());
        QVERIFY(!w->findChild<QTabWidget *>("VideoSoftIndexTab1")->isTabEnabled(0));
        QVERIFY(box(*w, 1211)->isEnabled()); // every box of the window
        QCOMPARE(QApplication::focusWidget(), box(*w, 1311));
        QCOMPARE(w->statusText(), QStringLiteral("Valeur du champ entre 0 et 1"));

        QTest::keyClicks(box(*w, 1311), "1");
        QTest::keyClick(box(*w, 1311), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), box(*w, 1312));
        QTest::keyClicks(box(*w, 1312), "35"); // maximum 3: the "5" is cut first
        QCOMPARE(box(*w, 1312)->text(), QStringLiteral("3"));
        QVERIFY(f.dialogs.shown().isEmpty());
        // An emptied box keeps the focus.
        QTest::keyClick(box(*w, 1312), Qt::Key_Backspace);
        for (auto key : {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Backtab})
            QTest::keyClick(box(*w, 1312), key);
        QCOMPARE(QApplication::focusWidget(), box(*w, 1312));
        QVERIFY(f.context.state.EntryPending);
        QTest::keyClicks(box(*w, 1312), "2");
        QTest::keyClick(box(*w, 1312), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box(*w, 1313));
        QTest::keyClicks(box(*w, 1313), "7");
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QCOMPARE(box(*w, 1313)->text(), QStringLiteral("_"));
        for (const char *score : {"1", "0", "1"}) {
            auto *current = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            QVERIFY(current);
            QTest::keyClicks(current, score);
            QTest::keyClick(current, Qt::Key_Return);
        }
        QCOMPARE(QApplication::focusWidget(), box(*w, 1321)); // the next exercise
        QCOMPARE(labels(*w, 131), QStringLiteral("5 2 A"));
        QVERIFY(!f.context.state.EntryPending);
        // A click selects the whole text too, ready to be typed over.
        QTest::mouseClick(box(*w, 1312), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), box(*w, 1312));
        QTRY_COMPARE(box(*w, 1312)->selectedText(), QStringLiteral("2"));
    }

    // A half-filled series blocks "Valider", with the focus on its first empty box.
    void seriesAndValidation()
    {
        Fixture f;
        auto w = f.open(0, 1, 0); // Bruno, trimester 2
        button(*w, "Modifie")->trigger();
        typeInto(*w, 1231, "5"); // E3: two items
        QVERIFY(f.context.state.EntryPending);
        button(*w, "Valider")->trigger();
        QVERIFY(w->editing());
        // Another exercise scored clears the flag, but Valider examines the trimester.
        typeInto(*w, 1221, "4");
        QVERIFY(!f.context.state.EntryPending);
        w->setStatusText(QString());
        button(*w, "Valider")->trigger();
        QVERIFY(w->editing());
        QVERIFY(f.context.state.EntryPending);
        QCOMPARE(w->focusWidget(), box(*w, 1232));
        QCOMPARE(w->statusText(), QStringLiteral("Vous devez remplir la série complète !"));
        QVERIFY(f.stored("Bruno", "T2_E2P1").isNull());

        // FormGS passes the other buttons on: "Abandon" restores the stored scores.
        button(*w, "Abandon")->trigger();
        QVERIFY(!w->editing());
        QCOMPARE(box(*w, 1231)->text() + box(*w, 1221)->text(), QStringLiteral("__"));
        QCOMPARE(labels(*w, 122), QStringLiteral("<none> _ _"));
        QVERIFY(!f.context.state.EntryPending);

        // FormCP ignores every button while a series is pending; clearing it releases them.
        w.reset();
        auto cp = f.open(1, 0, 2); // Denis, trimester 3: 6 and 7 (half weight)
        QCOMPARE(labels(*cp, 231), QStringLiteral("10 1 A"));
        button(*cp, "Modifie")->trigger();
        typeInto(*cp, 2311, "2");
        QCOMPARE(labels(*cp, 231), QStringLiteral("6 3 F"));
        box(*cp, 2312)->setText("_");
        QVERIFY(f.context.state.EntryPending);
        button(*cp, "Abandon")->trigger();
        QVERIFY(cp->editing());
        box(*cp, 2311)->setText("_");
        button(*cp, "Abandon")->trigger();
        QVERIFY(!cp->editing());
        QCOMPARE(box(*cp, 2312)->text(), QStringLiteral("7"));
        QCOMPARE(labels(*cp, 231), QStringLiteral("10 1 A"));

        // Validation on one tab stores every trimester, absences as 99 and "_".
        cp.reset();
        auto denis = f.open(1, 0, 0); // trimester 1
        const int profilesBefore = f.classProfiles;
        button(*denis, "Modifie")->trigger();
        for (auto [number, score] : {std::pair{2121, "3"}, {2122, "1"}, {2123, "1"}, {2131, "4"}})
            typeInto(*denis, number, score);
        button(*denis, "Valider")->trigger();
        QVERIFY(!denis->editing());
        QVERIFY(!box(*denis, 2121)->isEnabled());
        QCOMPARE(f.classProfiles, profilesBefore + 1);
        QVERIFY(f.dialogs.shown().isEmpty());

        const QStringList expected = {
            "T1_E1P1=99", "T1_E1P5=99", "T1_E1TOT=99", "T1_E1CAT=99", "T1_E1PRO=_", // nothing typed
            "T1_E2P1=3",  "T1_E2P3=1",  "T1_E2TOT=5",  "T1_E2CAT=2",  "T1_E2PRO=A",
            "T1_E3P1=4",  "T1_E3CAT=2", "T1_E3PRO=A",  "T2_E2P2=99",  "T2_E3CAT=99", // other tabs too
            "T3_E1P1=6",  "T3_E1P2=7",  "T3_E1TOT=10", "T3_E1CAT=1",  "T3_E1PRO=A",
        };
        QStringList actual;
        for (const QString &entry : expected) {
            const QString column = entry.section('=', 0, 0);
            actual.append(column + "=" + f.stored("Denis", column).toString());
        }
        QCOMPARE(actual, expected);
        // The class profile was recomputed from the new categories: Denis 2, Emma 4.
        QSqlQuery q(f.context.connection.database());
        QVERIFY(q.exec("SELECT T1_E2CAT FROM CLASSE WHERE NOCLASSE = 2") && q.next());
        QCOMPARE(q.value(0).toDouble(), 3.0);

        // A save that fails keeps the window editing.
        button(*denis, "Modifie")->trigger();
        QVERIFY(q.exec("DELETE FROM ELEVE WHERE NOM = 'Denis'"));
        button(*denis, "Valider")->trigger();
        QVERIFY(denis->editing());
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
    }

    void modalWindowClosesOnlyFromViewMode()
    {
        Fixture f;
        QVERIFY(f.form1->Form_Activate());
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto *w = qobject_cast<EntryWindow *>(QApplication::activeModalWidget());
            if (!w)
                return;
            seen << w->objectName();
            button(*w, "Modifie")->trigger();
            w->reject(); // Escape while editing
            seen << (w->isVisible() ? "open" : "closed");
            button(*w, "Abandon")->trigger();
            button(*w, "Sortie")->trigger();
        });
        QTimer::singleShot(5000, [] { // never hang on a window left open
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                d->done(QDialog::Rejected);
        });
        QCOMPARE(OpenEntryWindow(f.context, *f.form1, 1, 0), int(QDialog::Accepted));
        QCOMPARE(seen, (QStringList{"FormGS", "open"}));
    }
};

QTEST_MAIN(TestEntryWindow)
#include "tst_entrywindow.moc"
