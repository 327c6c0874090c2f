// The result-entry windows driven through their widgets, over the main window
// on the sample data, its GS class "Durand GS" listing Denis, Léo (key 20), Léo (21).
#include "WindowFixture.h"

#include "evaluation/EntryWindow.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace {

struct Fixture : WindowFixture
{
    Fixture()
    {
        fillSample();
        exec("INSERT INTO ELEVE (NOELEVE, NOECOLE, NOCLASSE, NOM, T2_E1P1, T2_E1P2, T2_E2P1, T3_E3P1) VALUES "
             "(20, 7, 4, 'Léo', 3, 1, 99, NULL), (21, 7, 4, 'Léo', NULL, NULL, NULL, 5);"
             "UPDATE ELEVE SET T3_E1P1 = 6, T3_E1P2 = 7 WHERE NOM = 'Bruno';"
             "UPDATE ELEVE SET T3_E2P1 = 1 WHERE NOM = 'Emma'");
        QVERIFY(start());
    }
    // Selects the pupil in the main window's lists and opens the entry window of its class.
    std::unique_ptr<EntryWindow> open(const QString &school, const QString &klass, int pupilRow, int tab)
    {
        select(schools(), school);
        select(classes(), klass);
        pupils()->setCurrentRow(pupilRow);
        return std::make_unique<EntryWindow>(context, context.session.classLevel(), tab, window.get());
    }
};

// The texts of the boxes, then the exercise's "tot" (where it has one), "cat" and "prof" labels.
QString shown(const EntryWindow &w, const QList<int> &boxes, int exercise)
{
    QString t;
    for (int box : boxes)
        t += w.box(box)->text();
    for (const char *kind : {"tot_", "cat_", "prof_"})
        if (const auto *l = w.findChild<QLabel *>(kind + QString::number(exercise)))
            t += ' ' + l->text();
    return t;
}
bool enabled(const EntryWindow &w, const char *button)
{
    return w.findChild<QAction *>(QLatin1String(button))->isEnabled();
}

} // namespace

class TestEntryWindow : public QObject
{
    Q_OBJECT

private slots:
    // The window opens on the session's pupil, in view mode; its spin box
    // moves the session. A trimester typed without the mouse, in a shown
    // window, which closes only from view mode.
    void openAndType()
    {
        Fixture f;
        auto w = f.open("Ecole A", "Durand GS", 2, 1); // the second Léo, trimester 3
        const auto *tabs = w->findChild<QTabWidget *>("trimesterTabs");
        QCOMPARE(tabs->tabText(0) + '|' + QString::number(tabs->count()) + QString::number(tabs->currentIndex()),
                 QStringLiteral("2ème Trimestre|21"));
        auto *spin = w->findChild<QSpinBox *>("pupilSpinBox");
        QCOMPARE(QList<int>({spin->minimum(), spin->maximum(), spin->value()}), QList<int>({1, 3, 3}));
        QCOMPARE(shown(*w, {1211, 1331}, 133), QStringLiteral("_5 1 A"));
        QVERIFY(!w->box(1331)->isEnabled() && enabled(*w, "Modifie") && !enabled(*w, "Valider"));
        // The first Léo: stored scores, 99 read as "_", labels computed while filling.
        spin->stepDown();
        QCOMPARE(f.context.session.pupilKey(), qint64(20));
        QCOMPARE(shown(*w, {1331, 1211}, 121) + '|' + shown(*w, {1221}, 122), QStringLiteral("_3 4 2 A|_ _ _"));
        spin->setValue(1);
        QCOMPARE(w->findChild<QLabel *>("pupilName")->text(), WindowFixture::selected(f.pupils())); // Denis

        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->findChild<QAction *>("Modifie")->trigger();
        QVERIFY(!enabled(*w, "Modifie") && enabled(*w, "Valider") && !enabled(*w, "Sortie"));
        QVERIFY(!spin->isEnabled() && !tabs->isTabEnabled(0) && w->box(1211)->isEnabled());
        QCOMPARE(QApplication::focusWidget(), w->box(1311));
        QCOMPARE(w->statusText(), QStringLiteral("Valeur du champ entre 0 et 1"));
        // Keys go to the box that has the focus.
        QTest::keyClicks(nullptr, "1\r");
        QCOMPARE(QApplication::focusWidget(), w->box(1312));
        // An emptied box keeps the focus.
        QTest::keyClicks(nullptr, "\b\t\r\v"); // Backspace, Tab, Return, Backtab
        QCOMPARE(QApplication::focusWidget(), w->box(1312));
        QTest::keyClicks(nullptr, "2\r1\r0\r1\r");
        QCOMPARE(QApplication::focusWidget(), w->box(1321)); // the next exercise
        QCOMPARE(shown(*w, {}, 131), QStringLiteral(" 5 2 A"));
        // A click selects the whole text too, ready to be typed over.
        QTest::mouseClick(w->box(1312), Qt::LeftButton);
        QTRY_COMPARE(w->box(1312)->selectedText(), QStringLiteral("2"));

        // Escape and the close button do nothing while editing; "Sortie" closes.
        w->reject();
        QVERIFY(!w->close() && w->isVisible());
        w->toolbarClicked("Abandon");
        w->findChild<QAction *>("Sortie")->trigger();
        QVERIFY(!w->isVisible() && w->result() == QDialog::Accepted);
    }

    // A half-filled series blocks "Valider". "Valider" stores, for the pupil
    // shown (by key), every trimester as the scoring computed it, and the
    // class profile the main window then shows.
    void validation()
    {
        Fixture f;
        auto w = f.open("Ecole A", "Durand GS", 0, 0); // Denis, trimester 2
        w->toolbarClicked("Modifie");
        w->box(1231)->setText("5"); // E3: two items
        w->toolbarClicked("Valider");
        QVERIFY(w->editing());
        // Another exercise scored clears the pending series, but Valider examines the trimester.
        w->box(1221)->setText("4");
        w->setStatusText(QString());
        w->toolbarClicked("Valider");
        QVERIFY(w->editing());
        QCOMPARE(w->focusWidget(), w->box(1232));
        QCOMPARE(w->statusText(), IncompleteSeriesMessage);
        // The GS window passes the other buttons on: "Abandon" restores the stored scores.
        w->toolbarClicked("Abandon");
        QCOMPARE(shown(*w, {1231, 1221}, 122), QStringLiteral("__ _ _"));

        w->findChild<QSpinBox *>("pupilSpinBox")->setValue(3); // the second Léo
        const QStringList first = f.query("SELECT * FROM ELEVE WHERE NOELEVE = 20");
        w->toolbarClicked("Modifie");
        w->box(1211)->setText("3");
        w->box(1212)->setText("1");
        w->toolbarClicked("Valider");
        QVERIFY(!w->editing() && !w->box(1211)->isEnabled());
        // Nothing typed is 99, the other tab's scores are stored too.
        QCOMPARE(f.query("SELECT T2_E1P1 || T2_E1P2 || T2_E1TOT || T2_E1CAT || T2_E1PRO, T2_E2P1 || T2_E2CAT || "
                         "T2_E2PRO, T3_E1P1 || T3_E1TOT || T3_E1CAT || T3_E1PRO, T3_E3P1 || T3_E3CAT || T3_E3PRO "
                         "FROM ELEVE WHERE NOELEVE = 21"),
                 QStringList{"3142A|9999_|999999_|51A"});
        QCOMPARE(f.query("SELECT * FROM ELEVE WHERE NOELEVE = 20"), first);
        // The class profile follows: only the second Léo has a T2 E1 category.
        QCOMPARE(f.query("SELECT T2_E1CAT FROM CLASSE WHERE NOECOLE = 7 AND NOCLASSE = 4"), QStringList{"2"});
        QCOMPARE(f.panelValues("classProfilePanel").value(0), QStringLiteral("A"));

        // A save the database refuses keeps the window editing.
        f.exec("CREATE TRIGGER refuse BEFORE UPDATE ON ELEVE BEGIN SELECT RAISE(ABORT, 'refus'); END");
        w->toolbarClicked("Modifie");
        w->box(1211)->setText("2");
        w->toolbarClicked("Valider");
        QVERIFY(w->editing());
        QVERIFY(f.dialogs.shown().value(0).text.startsWith("Les résultats n'ont pas pu être enregistrés.\n"));
        QCOMPARE(f.query("SELECT T2_E1P1 FROM ELEVE WHERE NOELEVE = 21"), QStringList{"3"});
    }

    // A stored part series opens as stored, with nothing pending; while a
    // series is pending the CP and CE1 windows ignore every button.
    void pendingSeriesBlocksTheButtons()
    {
        Fixture f;
        auto ce1 = f.open("Ecole B", "Petit CE1", 0, 2);
        QCOMPARE(shown(*ce1, {3321}, 332), QStringLiteral("1 _ _"));
        ce1->toolbarClicked("Modifie");
        QVERIFY(ce1->editing());

        auto cp = f.open("Ecole A", "Martin CP", 1, 2); // Bruno, trimester 3: 6 and 7
        cp->toolbarClicked("Modifie");
        cp->box(2312)->setText("_");
        cp->toolbarClicked("Abandon");
        QVERIFY(cp->editing());
        cp->box(2311)->setText("_"); // the series cleared releases the buttons
        cp->toolbarClicked("Abandon");
        QVERIFY(!cp->editing());
        QCOMPARE(shown(*cp, {2311, 2312}, 231), QStringLiteral("67 10 1 A"));
    }
};

QTEST_MAIN(TestEntryWindow)
#include "tst_entrywindow.moc"
