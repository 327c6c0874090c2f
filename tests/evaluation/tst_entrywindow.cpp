// The result-entry windows driven through their widgets, over the main window
// on the sample data, its GS class "Durand GS" listing Denis, Léo, Léo.
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
#include <QTimer>

#include <memory>

namespace {

struct Fixture : WindowFixture
{
    qint64 leo1 = 0, leo2 = 0; // in list order

    Fixture()
    {
        fillSample();
        exec("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, T2_E1P1, T2_E1P2, T2_E2P1) VALUES (7, 4, 'Léo', 3, 1, 99);"
             "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, T3_E3P1) VALUES (7, 4, 'Léo', 5);"
             "UPDATE ELEVE SET T3_E1P1 = 6, T3_E1P2 = 7 WHERE NOM = 'Bruno';"
             "UPDATE ELEVE SET T3_E2P1 = 1 WHERE NOM = 'Emma'");
        QVERIFY(start());
        const QStringList keys = query("SELECT NOELEVE FROM ELEVE WHERE NOM = 'Léo' ORDER BY NOELEVE");
        leo1 = keys.value(0).toLongLong();
        leo2 = keys.value(1).toLongLong();
    }
    // Selects the pupil in the main window's lists and opens the entry window of its class.
    std::unique_ptr<EntryWindow> open(const QString &school, const QString &klass, int pupilRow, int tab)
    {
        select(schools(), school);
        select(classes(), klass);
        pupils()->setCurrentRow(pupilRow);
        return std::make_unique<EntryWindow>(context, context.session.classLevel(), tab, window.get());
    }
    QString stored(qint64 key, const QString &columns) const
    {
        return query(QStringLiteral("SELECT %1 FROM ELEVE WHERE NOELEVE = %2").arg(columns).arg(key)).value(0);
    }
};

// The exercise's "tot", "cat" and "prof" labels ("<none>" where it has none).
QString labels(const EntryWindow &w, int number)
{
    QStringList texts;
    for (const char *kind : {"tot", "cat", "prof"}) {
        const auto *l = w.findChild<QLabel *>(QStringLiteral("%1_%2").arg(QLatin1String(kind)).arg(number));
        texts.append(l ? l->text() : QStringLiteral("<none>"));
    }
    return texts.join(QLatin1Char(' '));
}
QString texts(const EntryWindow &w, const QList<int> &boxes)
{
    QString t;
    for (int box : boxes)
        t += w.box(box)->text();
    return t;
}
void click(EntryWindow &w, const char *key)
{
    w.findChild<QAction *>(QLatin1String(key))->trigger();
}
// Types over the box's whole text, as after the focus arrived on it.
void typeInto(EntryWindow &w, int box, const char *keys)
{
    w.box(box)->selectAll();
    QTest::keyClicks(w.box(box), QLatin1String(keys));
}
QStringList enabledButtons(const EntryWindow &w)
{
    QStringList keys;
    for (const char *key : {"Modifie", "Valider", "Abandon", "Imprime", "Sortie"})
        if (w.findChild<QAction *>(QLatin1String(key))->isEnabled())
            keys.append(QLatin1String(key));
    return keys;
}

} // namespace

class TestEntryWindow : public QObject
{
    Q_OBJECT

private slots:
    // The window opens on the session's pupil, in view mode; its spin box
    // moves the session, which the main window's list follows.
    void opensOnTheSessionsPupil()
    {
        Fixture f;
        auto w = f.open("Ecole A", "Durand GS", 2, 1); // the second Léo, trimester 3
        QCOMPARE(w->objectName() + '|' + w->windowTitle(), QStringLiteral("entryWindowGS|Saisie résultats GS"));
        const auto *tabs = w->findChild<QTabWidget *>("trimesterTabs");
        QCOMPARE(tabs->tabText(0) + '|' + QString::number(tabs->count()) + QString::number(tabs->currentIndex()),
                 QStringLiteral("2ème Trimestre|21"));
        QCOMPARE(w->findChildren<QLineEdit *>(QRegularExpression("^Perf_")).size(), 14);
        QCOMPARE(w->findChildren<QLabel *>(QRegularExpression("^tot_")).size(), 4);
        auto *spin = w->findChild<QSpinBox *>("pupilSpinBox");
        QCOMPARE(QList<int>({spin->minimum(), spin->maximum(), spin->value()}), QList<int>({1, 3, 3}));
        QCOMPARE(w->findChild<QLabel *>("pupilName")->text(), QStringLiteral("Léo"));
        QCOMPARE(texts(*w, {1331, 1211}) + ' ' + labels(*w, 133), QStringLiteral("5_ <none> 1 A"));
        QVERIFY(!w->box(1331)->isEnabled());
        QCOMPARE(enabledButtons(*w), (QStringList{"Modifie", "Imprime", "Sortie"}));

        // The first Léo: stored scores, 99 read as "_", labels computed while filling.
        spin->stepDown();
        QCOMPARE(f.context.session.pupilKey(), f.leo1);
        QCOMPARE(f.pupils()->currentRow(), 1);
        QCOMPARE(texts(*w, {1211, 1221, 1331}), QStringLiteral("3__"));
        QCOMPARE(labels(*w, 121) + '|' + labels(*w, 122) + '|' + labels(*w, 133),
                 QStringLiteral("4 2 A|<none> _ _|<none> _ _"));
        spin->setValue(7);
        QCOMPARE(spin->value(), 3);
        QCOMPARE(f.context.session.pupilKey(), f.leo2);
        QCOMPARE(f.pupils()->currentRow(), 2);
        spin->setValue(0);
        QCOMPARE(w->findChild<QLabel *>("pupilName")->text(), WindowFixture::selected(f.pupils()));
        QCOMPARE(f.pupils()->currentRow(), 0);
        QVERIFY(f.dialogs.shown().isEmpty());

        auto ce1 = f.open("Ecole B", "Petit CE1", 0, 2);
        QCOMPARE(ce1->objectName(), QStringLiteral("entryWindowCE1"));
        QCOMPARE(ce1->findChildren<QLineEdit *>(QRegularExpression("^Perf_")).size(), 29);
        QCOMPARE(ce1->findChildren<QLabel *>(QRegularExpression("^tot_")).size(), 2);
        // A stored part series opens as stored, with nothing pending: CE1 takes "Modifie".
        QCOMPARE(texts(*ce1, {3321}) + ' ' + labels(*ce1, 332), QStringLiteral("1 <none> _ _"));
        click(*ce1, "Modifie");
        QVERIFY(ce1->editing());
    }

    // A trimester typed without the mouse, in a shown window.
    void typingMovesThroughTheBoxes()
    {
        Fixture f;
        auto w = f.open("Ecole A", "Durand GS", 0, 1); // Denis, trimester 3
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        click(*w, "Modifie");
        QCOMPARE(enabledButtons(*w), (QStringList{"Valider", "Abandon"}));
        QVERIFY(!w->findChild<QSpinBox *>("pupilSpinBox")->isEnabled());
        QVERIFY(!w->findChild<QTabWidget *>("trimesterTabs")->isTabEnabled(0));
        QVERIFY(w->box(1211)->isEnabled()); // every box of the window
        QCOMPARE(QApplication::focusWidget(), w->box(1311));
        QCOMPARE(w->statusText(), QStringLiteral("Valeur du champ entre 0 et 1"));

        QTest::keyClicks(w->box(1311), "1");
        QTest::keyClick(w->box(1311), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w->box(1312));
        QTest::keyClicks(w->box(1312), "35"); // maximum 3: the "5" is cut first
        QCOMPARE(w->box(1312)->text(), QStringLiteral("3"));
        QVERIFY(f.dialogs.shown().isEmpty());
        // An emptied box keeps the focus.
        QTest::keyClick(w->box(1312), Qt::Key_Backspace);
        for (auto key : {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Backtab})
            QTest::keyClick(w->box(1312), key);
        QCOMPARE(QApplication::focusWidget(), w->box(1312));
        QTest::keyClicks(w->box(1312), "2");
        QTest::keyClick(w->box(1312), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->box(1313));
        QTest::keyClicks(w->box(1313), "7");
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QCOMPARE(w->box(1313)->text(), QStringLiteral("_"));
        for (const char *score : {"1", "0", "1"}) {
            auto *current = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            QVERIFY(current);
            QTest::keyClicks(current, score);
            QTest::keyClick(current, Qt::Key_Return);
        }
        QCOMPARE(QApplication::focusWidget(), w->box(1321)); // the next exercise
        QCOMPARE(labels(*w, 131), QStringLiteral("5 2 A"));
        // A click selects the whole text too, ready to be typed over.
        QTest::mouseClick(w->box(1312), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), w->box(1312));
        QTRY_COMPARE(w->box(1312)->selectedText(), QStringLiteral("2"));
    }

    // A half-filled series blocks "Valider"; the CP window ignores every button meanwhile.
    void incompleteSeries()
    {
        Fixture f;
        auto w = f.open("Ecole A", "Durand GS", 0, 0); // Denis, trimester 2
        click(*w, "Modifie");
        typeInto(*w, 1231, "5"); // E3: two items
        click(*w, "Valider");
        QVERIFY(w->editing());
        // Another exercise scored clears the pending series, but Valider examines the trimester.
        typeInto(*w, 1221, "4");
        w->setStatusText(QString());
        click(*w, "Valider");
        QVERIFY(w->editing());
        QCOMPARE(w->focusWidget(), w->box(1232));
        QCOMPARE(w->statusText(), QStringLiteral("Vous devez remplir la série complète !"));
        QCOMPARE(f.query("SELECT IFNULL(T2_E2P1, 'null') FROM ELEVE WHERE NOM = 'Denis'"), QStringList{"null"});
        // The GS window passes the other buttons on: "Abandon" restores the stored scores.
        click(*w, "Abandon");
        QVERIFY(!w->editing());
        QCOMPARE(texts(*w, {1231, 1221}) + ' ' + labels(*w, 122), QStringLiteral("__ <none> _ _"));

        w.reset();
        auto cp = f.open("Ecole A", "Martin CP", 1, 2); // Bruno, trimester 3: 6 and 7 (half weight)
        QCOMPARE(labels(*cp, 231), QStringLiteral("10 1 A"));
        click(*cp, "Modifie");
        typeInto(*cp, 2311, "2");
        QCOMPARE(labels(*cp, 231), QStringLiteral("6 3 F"));
        cp->box(2312)->setText("_");
        click(*cp, "Abandon");
        QVERIFY(cp->editing());
        cp->box(2311)->setText("_"); // the series cleared releases the buttons
        click(*cp, "Abandon");
        QVERIFY(!cp->editing());
        QCOMPARE(texts(*cp, {2312}) + ' ' + labels(*cp, 231), QStringLiteral("7 10 1 A"));
    }

    // "Valider" stores, for the pupil shown (by key), every trimester as the
    // scoring computed it, and the class profile the main window then shows.
    void validationStoresByKey()
    {
        Fixture f;
        auto w = f.open("Ecole A", "Durand GS", 2, 0); // the second Léo, trimester 2
        const QString first = f.stored(f.leo1, "*");
        QCOMPARE(f.panelValues("classProfilePanel").value(0), QStringLiteral("_"));
        click(*w, "Modifie");
        for (const auto &[box, score] : {std::pair{1211, "3"}, {1212, "1"}, {1231, "2"}, {1232, "0"}})
            typeInto(*w, box, score);
        click(*w, "Valider");
        QVERIFY(!w->editing() && !w->box(1211)->isEnabled());
        QVERIFY(f.dialogs.shown().isEmpty());
        // Nothing typed is 99, the other tab's scores are stored too.
        QCOMPARE(f.stored(f.leo2, "T2_E1P1 || T2_E1P2 || ' ' || T2_E1TOT || T2_E1CAT || T2_E1PRO || ' ' || T2_E2P1 || "
                                  "T2_E2CAT || T2_E2PRO || ' ' || T2_E3P1 || T2_E3P2 || ' ' || T2_E3TOT || T2_E3CAT "
                                  "|| T2_E3PRO || ' ' || T3_E1P1 || T3_E3P1 || T3_E3CAT || T3_E3PRO"),
                 QStringLiteral("31 42A 9999_ 20 24F 9951A"));
        QCOMPARE(f.stored(f.leo1, "*"), first);
        // The class profile follows: only the second Léo has a T2 E1 category.
        QCOMPARE(f.query("SELECT T2_E1CAT FROM CLASSE WHERE NOECOLE = 7 AND NOCLASSE = 4"), QStringList{"2"});
        QCOMPARE(f.panelValues("classProfilePanel").value(0), QStringLiteral("A"));

        // A save the database refuses keeps the window editing.
        f.exec("CREATE TRIGGER refuse BEFORE UPDATE ON ELEVE BEGIN SELECT RAISE(ABORT, 'refus'); END");
        click(*w, "Modifie");
        typeInto(*w, 1211, "2");
        click(*w, "Valider");
        QVERIFY(w->editing());
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QVERIFY(f.dialogs.shown().at(0).text.startsWith("Les résultats n'ont pas pu être enregistrés.\n"));
        QCOMPARE(f.stored(f.leo2, "T2_E1P1"), QStringLiteral("3"));
    }

    // Opened from the main window on the session's pupil; it closes only from view mode.
    void modalWindowClosesOnlyFromViewMode()
    {
        Fixture f;
        f.select(f.classes(), "Durand GS");
        f.pupils()->setCurrentRow(2);
        QStringList seen;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *w = qobject_cast<EntryWindow *>(modal);
            if (!w)
                return;
            seen << w->objectName() << QString::number(w->findChild<QSpinBox *>("pupilSpinBox")->value())
                 << QString::number(w->findChild<QTabWidget *>("trimesterTabs")->currentIndex());
            click(*w, "Modifie");
            w->reject(); // Escape while editing
            seen << (w->isVisible() ? "open" : "closed");
            click(*w, "Abandon");
            click(*w, "Sortie");
            seen << (w->isVisible() ? "open" : "closed") << QString::number(w->result());
        });
        QTimer::singleShot(5000, [] { // never hang on a window left open
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                d->done(QDialog::Rejected);
        });
        f.run("mainToolbar", "Trim3");
        QCOMPARE(seen, (QStringList{"entryWindowGS", "3", "1", "open", "closed", "1"}));
        QCOMPARE(f.context.session.pupilKey(), f.leo2);
    }
};

QTEST_MAIN(TestEntryWindow)
#include "tst_entrywindow.moc"
