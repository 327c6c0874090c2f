// The result-entry windows driven through their widgets, over the main window
// on the sample data, its GS class "Durand GS" listing Denis, Léo (key 20), Léo (21).
#include "WindowFixture.h"

#include "evaluation/EntryWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

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
    // Selects the pupil in the main window's lists and opens the entry window
    // of its class; shown and active, for keys and focus, when `shown`.
    std::unique_ptr<EntryWindow> open(const QString &klass, int pupilRow, int tab, bool shown = false)
    {
        select(schools(), klass == "Petit CE1" ? "Ecole B" : "Ecole A");
        select(classes(), klass);
        pupils()->setCurrentRow(pupilRow);
        auto w = std::make_unique<EntryWindow>(context, context.session.classLevel(), tab, window.get());
        if (shown) {
            w->show();
            if (!QTest::qWaitForWindowActive(w.get()))
                qWarning("the entry window is not active");
        }
        return w;
    }
};

// One row per level, for the checks that every window must pass.
void levelRows()
{
    QTest::addColumn<QString>("klass");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("GS") << "Durand GS"
                        << QStringList{"Perf_1212=syntaxe — Exercice 1 : Langage",
                                       "tot_121=Total — Exercice 1 : Langage",
                                       "Perf_1331=Nombre de réponses — Exercice 3 : Compr. de texte"};
    QTest::newRow("CP") << "Martin CP"
                        << QStringList{"cat_221=Catégorie — Exercice 1 : Phono-graphique", "pupilSpinBox=Élève"};
    QTest::newRow("CE1") << "Petit CE1"
                         << QStringList{"Perf_3323=Q3 — Exercice 2 : Compr.texte Doc.",
                                        "prof_333=Profil — Exercice 3 : ARI", "refusalPanel=Motif du refus"};
}

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
        auto w = f.open("Durand GS", 2, 1); // the second Léo, trimester 3
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

        // The close button does nothing while editing but says why; Escape
        // abandons the entry, restoring the stored scores; "Sortie" closes.
        QVERIFY(!w->close() && w->isVisible() && w->editing());
        QCOMPARE(w->refusalText(), QStringLiteral("Validez ou abandonnez la saisie avant de fermer la fenêtre."));
        QTest::keyClick(w.get(), Qt::Key_Escape);
        QVERIFY(w->isVisible() && !w->editing());
        QCOMPARE(shown(*w, {1311, 1312}, 131) + w->refusalText(), QStringLiteral("__ _ _ _"));
        w->findChild<QAction *>("Sortie")->trigger();
        QVERIFY(!w->isVisible() && w->result() == QDialog::Accepted);
    }

    // "Valider" stores, for the pupil shown (by key), every trimester as the
    // scoring computed it, and the class profile the main window then shows.
    void validation()
    {
        Fixture f;
        auto w = f.open("Durand GS", 2, 0); // the second Léo, trimester 2
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
        QCOMPARE(w->refusalText(), QStringLiteral("Les résultats n'ont pas pu être enregistrés."));
        QCOMPARE(f.query("SELECT T2_E1P1 FROM ELEVE WHERE NOELEVE = 21"), QStringList{"3"});
    }

    // A refused "Valider" leaves its reason and a red frame on the box, which
    // has the focus; range hints do not hide it, the next edit clears it, and
    // "Abandon" then restores the stored scores and labels. While a series is
    // pending the CP window ignores "Sortie". A stored part series opens as
    // stored, with nothing pending.
    void refusedValidation_data()
    {
        QTest::addColumn<QString>("klass");
        QTest::addColumn<QStringList>("typed"); // "box=text", in turn
        QTest::addColumn<int>("refusedBox");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("stored"); // the series' boxes, then its labels
        // GS E3 has two items; another exercise scored clears the pending series, but Valider examines the trimester.
        QTest::newRow("GS part series") << "Durand GS" << QStringList{"1231=5", "1221=4"} << 1232
                                        << IncompleteSeriesMessage << "__ _ _ _";
        QTest::newRow("CP emptied box") << "Martin CP" << QStringList{"2312="} << 2312
                                        << "Vous devez saisir une valeur numérique ou le signe _"
                                        << "67 10 1 A";
        QTest::newRow("CP letter") << "Martin CP" << QStringList{"2311=x"} << 2311 << IncompleteSeriesMessage
                                   << "67 10 1 A";
        QTest::newRow("CE1 stored part series")
            << "Petit CE1" << QStringList() << 3322 << IncompleteSeriesMessage << "1______ _ _";
    }
    void refusedValidation()
    {
        QFETCH(QString, klass);
        QFETCH(QStringList, typed);
        QFETCH(int, refusedBox);
        QFETCH(QString, reason);
        Fixture f;
        auto w = f.open(klass, klass == "Martin CP" ? 1 : 0, klass == "Durand GS" ? 0 : 2, true);
        const auto series = [&w, refusedBox] {
            QList<int> boxes;
            for (int box = refusedBox / 10 * 10 + 1; w->box(box); ++box)
                boxes.append(box);
            return shown(*w, boxes, refusedBox / 10 % 1000);
        };
        const auto framed = [&w, refusedBox] { return w->box(refusedBox)->property("refused").toBool(); };
        const QString stored = series();
        QTEST(stored, "stored");
        w->toolbarClicked("Modifie");
        for (const QString &box : typed)
            w->box(box.section('=', 0, 0).toInt())->setText(box.section('=', 1));
        w->toolbarClicked("Valider");
        if (klass == "Martin CP")
            w->toolbarClicked("Sortie");
        QVERIFY(w->editing() && framed());
        QCOMPARE(w->refusalText(), reason);
        QCOMPARE(QApplication::focusWidget(), w->box(refusedBox));
        // Another box's range hint leaves it; an edit clears it.
        w->box(refusedBox / 100 * 100 + 11 + (refusedBox % 100 == 11 ? 1 : 0))->setFocus();
        QVERIFY(w->statusText().startsWith("Valeur du champ entre 0 et ") && framed());
        QCOMPARE(w->refusalText(), reason);
        w->box(refusedBox)->setFocus();
        QTest::keyClicks(w->box(refusedBox), "1");
        QVERIFY(w->refusalText().isEmpty() && !framed());
        // Refused again, "Abandon" restores the stored scores.
        w->box(refusedBox)->setText(reason == IncompleteSeriesMessage ? "_" : "");
        w->toolbarClicked("Valider");
        QVERIFY(framed());
        w->toolbarClicked("Abandon");
        QVERIFY(!w->editing() && w->refusalText().isEmpty() && !framed());
        QCOMPARE(series(), stored);
    }

    // After "Valider" every box shows what was stored.
    void boxesShowWhatWasStored()
    {
        for (const QString typed : {"7x", "07"}) { // stored as "7"
            Fixture f;
            auto w = f.open("Martin CP", 1, 2, true); // Bruno, trimester 3
            w->toolbarClicked("Modifie");
            w->box(2321)->setFocus(); // up to 10: two characters are kept
            QTest::keyClicks(nullptr, typed + "\r3\r");
            w->toolbarClicked("Valider");
            QVERIFY2(!w->editing(), qPrintable(typed));
            QCOMPARE(w->box(2321)->text() + '|' + w->box(2322)->text(), QStringLiteral("7|3"));
            QCOMPARE(f.query("SELECT T3_E2P1 FROM ELEVE WHERE NOM = 'Bruno'"), QStringList{"7"});
        }
    }

    // On a 1366×800 screen the window fits; total, category and profile boxes
    // are framed on all sides and show two digits whole, centred; scores stay
    // readable out of editing; the CE1 trimester-3 question numbers stand
    // over their boxes. Every control is named for screen readers.
    void layoutAndNames_data() { levelRows(); }
    void layoutAndNames()
    {
        QFETCH(QString, klass);
        QFETCH(QStringList, expected); // objectName=accessible name
        Fixture f;
        auto w = f.open(klass, 0, 0, true);
        QVERIFY(w->width() <= 1366 && w->height() <= 800);
        auto *tabs = w->findChild<QTabWidget *>("trimesterTabs");
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            const auto labels = tabs->currentWidget()->findChildren<QLabel *>(QRegularExpression("^(tot|cat|prof)_"));
            QVERIFY(labels.size() >= 6);
            for (QLabel *label : labels) {
                label->setText("99");
                const QRect text =
                    QFontMetrics(label->font()).boundingRect(label->contentsRect(), Qt::AlignCenter, "99");
                QVERIFY2(label->contentsRect().contains(text) &&
                             label->parentWidget()->rect().contains(label->geometry()) &&
                             label->frameShape() == QFrame::Box && label->frameShadow() == QFrame::Plain &&
                             label->alignment() == Qt::AlignCenter,
                         qPrintable(label->objectName()));
            }
        }
        const QPalette palette = w->findChildren<QLineEdit *>(QRegularExpression("^Perf_")).value(0)->palette();
        QCOMPARE(palette.color(QPalette::Disabled, QPalette::Text), palette.color(QPalette::Active, QPalette::Text));
        tabs->setCurrentIndex(2);
        for (int box = 3311; klass == "Petit CE1" && box <= 3337; box += box % 10 == 7 ? 4 : 1) {
            const auto *number = w->findChild<QLabel *>(QStringLiteral("heading_%1").arg(box));
            QVERIFY2(number && number->text() == QStringLiteral("Q%1").arg(box % 10), qPrintable(QString::number(box)));
            QVERIFY(qAbs(number->geometry().center().x() - w->box(box)->geometry().center().x()) <= 2);
            QVERIFY(number->geometry().bottom() < w->box(box)->geometry().top());
        }
        // Every control a screen reader reaches has a French name, with its
        // tooltip as description; boxes say their item and exercise.
        QStringList missing;
        // The names the accessibility layer reports (a toolbar's is its
        // title), never an object's programming name.
        const QRegularExpression technical("^([a-z]+[A-Z]\\w*|[A-Z][a-z]+\\d+)$");
        for (QWidget *child : w->findChildren<QWidget *>()) {
            if (child->focusPolicy() == Qt::NoFocus && !qobject_cast<const QAbstractItemView *>(child) &&
                !qobject_cast<const QAbstractButton *>(child) && !qobject_cast<const QToolBar *>(child) &&
                !QRegularExpression("^(tot|cat|prof)_|Panel$").match(child->objectName()).hasMatch())
                continue;
            const QString what = child->metaObject()->className() + QStringLiteral(" ") + child->objectName();
            const QString name = QAccessible::queryAccessibleInterface(child)->text(QAccessible::Name);
            if (name.isEmpty() || technical.match(name).hasMatch())
                missing.append(what + " named \"" + name + '"');
            if (!child->toolTip().isEmpty() && child->accessibleDescription() != child->toolTip())
                missing.append(what + " lacks its tooltip as description");
        }
        QCOMPARE(missing.join(QLatin1Char('\n')), QString());
        for (const QString &pair : expected)
            QCOMPARE(w->findChild<QWidget *>(pair.section('=', 0, 0))->accessibleName(), pair.section('=', 1));
    }

    // The whole entry without the mouse, each command's keys in its tooltip:
    // Page Down/Up move through the pupils (in view mode only), F2 edits,
    // Ctrl+Enter stores, Escape abandons, Alt with a caption's letter clicks
    // its button, Escape in view mode closes. Without a way to print given
    // by its opener, "Imprimer" stays disabled.
    void keyboard()
    {
        Fixture f;
        auto w = f.open("Durand GS", 0, 0, true);
        for (const char *tip :
             {"Modifie=Modifier les résultats (F2)", "Valider=Valiser les modifications (Ctrl+Entrée)",
              "Abandon=Abandonne la saisie (Échap)", "Sortie=Sortir de la fiche de saisie des résultats (Alt+S)",
              "Imprime=Imprime la fiche de résultats de l'élève (Ctrl+P)"})
            QCOMPARE(w->findChild<QAction *>(QString(tip).section('=', 0, 0))->toolTip(), QString(tip).section('=', 1));
        auto *spin = w->findChild<QSpinBox *>("pupilSpinBox");
        QCOMPARE(spin->text() + '|' + spin->toolTip(),
                 QStringLiteral("Élève n° 1 / 3|Élève précédent (Page préc.) ou suivant (Page suiv.)"));
        QTest::keyClick(w.get(), Qt::Key_PageDown);
        QTest::keyClick(w.get(), Qt::Key_PageDown);
        QCOMPARE(f.context.session.pupilKey(), qint64(21));
        QTest::keyClick(w.get(), Qt::Key_PageUp);
        QCOMPARE(f.context.session.pupilKey(), qint64(20));

        QTest::keyClick(w.get(), Qt::Key_F2);
        QVERIFY(w->editing() && !enabled(*w, "Imprime"));
        QCOMPARE(QApplication::focusWidget(), w->box(1211));
        QTest::keyClick(w.get(), Qt::Key_PageDown); // no move while editing
        QCOMPARE(spin->value(), 2);
        QTest::keyClicks(nullptr, "2\r0");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(!w->editing());
        QCOMPARE(f.query("SELECT T2_E1P1 || T2_E1P2 FROM ELEVE WHERE NOELEVE = 20"), QStringList{"20"});

        QTest::keyClick(w.get(), Qt::Key_F2);
        QTest::keyClicks(nullptr, "4");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!w->editing() && w->isVisible());
        QCOMPARE(w->box(1211)->text(), QStringLiteral("2"));

        QTest::keyClick(w.get(), Qt::Key_M, Qt::AltModifier);
        QTRY_VERIFY(w->editing());
        QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier);
        QTRY_VERIFY(!w->editing());
        QTest::keyClick(w.get(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(!enabled(*w, "Imprime") && f.dialogs.shown().isEmpty());
        QTest::keyClick(w.get(), Qt::Key_Escape);
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TestEntryWindow)
#include "tst_entrywindow.moc"
