// The main window: start-up, lists and session following each other, toolbar states, panels, commands acting by key
// on one of two same-named pupils (its export by key: tst_pupiltransfer), the year change needing a school, classes of
// a level not evaluated. From the keyboard and for screen readers: every toolbar command has a shortcut shown in its
// tooltip, the lists' commands act on the list that has the focus, nothing hides at the smallest size, and every
// list, toolbar, button, panel and status panel has a French name.
#include "WindowFixture.h"

#include "admin/PupilDialog.h"
#include "data/DataFiles.h"
#include "evaluation/EntryWindow.h"
#include "evaluation/EvaluationModel.h"
#include "mainwindow/QtDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <array>

namespace {

// The session's keys, "school/class/pupil".
QString keys(const WindowFixture &f)
{
    const SelectionKeys k = f.context.session.keys();
    return QStringLiteral("%1/%2/%3").arg(k.schoolNo).arg(k.classNo).arg(k.pupilKey);
}

// The toolbars' buttons, schools, classes, pupils, then the main toolbar,
// each by its key's initial or '-' when disabled.
QString enabled(const WindowFixture &f)
{
    QStringList bars;
    for (const char *name : {"schoolToolbar", "classToolbar", "pupilToolbar", "mainToolbar"}) {
        QString letters;
        for (const QAction *action : f.window->findChild<QToolBar *>(name)->actions())
            if (!action->isSeparator())
                letters += action->isEnabled() ? action->objectName().at(0) : QChar('-');
        bars.append(letters);
    }
    return bars.join(QLatin1Char(' '));
}

void showActive(WindowFixture &f)
{
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
}

void click(QListWidget *list, int row)
{
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

// Acts on the next modal window as a W, then closes it whatever happened so
// that the command that opened it returns.
template <class W> void onNext(const std::function<void(W &)> &act)
{
    WindowFixture::onNextModal([act](QWidget *modal) {
        if (auto *window = qobject_cast<W *>(modal))
            act(*window);
        else
            QTest::qFail("not the expected window", __FILE__, __LINE__);
        if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && dialog->isVisible())
            dialog->done(QDialog::Rejected);
    });
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // An empty folder gets a database only when the user accepts; without one, no command needing it is on. Without
    // a school the year change is refused and writes nothing; with one, its window names it. Standard buttons speak
    // French.
    void anEmptyFolderIsCreatedOnlyWhenAccepted()
    {
        QVERIFY(InstallFrenchTranslation());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
        WindowFixture f(true);
        f.dialogs.queueAnswer(false);
        QVERIFY(!f.start() && DataFiles::LiveDatabase(f.folder()).isEmpty());
        for (const char *key : {"Saisie", "Analyse", "Imprime", "Change"})
            QVERIFY2(!f.window->toolbarButton("mainToolbar", key)->isEnabled(), key);
        f.dialogs.queueAnswer(true);
        QVERIFY(f.start() && !DataFiles::LiveDatabase(f.folder()).isEmpty());
        f.dialogs.clear();
        f.run("mainToolbar", "Change");
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QVERIFY(f.dialogs.shown().last().text.startsWith("Aucune école n'est sélectionnée"));
        QCOMPARE(f.query("SELECT count(*) FROM CHANGEANNEE"), QStringList{"0"});
        f.exec("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (2, 'Ecole du Port'), (1, 'Ecole A')");
        f.window->showSelection({2, 0, 0});
        QString named, description;
        WindowFixture::onNextModal([&](QWidget *modal) {
            named = modal->findChild<QLabel *>("schoolLabel")->text();
            description = modal->findChild<QLabel *>("description")->text();
            modal->close();
        });
        f.run("mainToolbar", "Change");
        QCOMPARE(named, QStringLiteral("Ecole : Ecole du Port"));
        QVERIFY(description.startsWith("La procédure de changement d'année a pour but :\n1- de mémoriser"));
    }

    void startUpAndSelectionCascades()
    {
        WindowFixture f;
        f.fillSample();
        // A label both schools use, a school without classes; Anaïs, CE1, with categories.
        f.exec("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (3, 2, 'Martin CP', 'CP');"
               "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (5, 'Ecole sans classe');"
               "INSERT INTO ELEVE (NOELEVE, NOECOLE, NOCLASSE, NOM, T1_E1CAT, T1_E1PRO, T1_E2CAT, T1_E2PRO, "
               "T2_E1CAT, T2_E1PRO, T3_E1CAT, T3_E1PRO, T3_E2CAT, T3_E2PRO) "
               "VALUES (30, 3, 9, 'Anaïs', 1, 'A', 3, 'F', 4, 'F', 2, 'A', 3, 'F')");
        QVERIFY(f.start());
        // The first school, its first class (by label), its first pupil.
        QCOMPARE(keys(f), QStringLiteral("7/4/4"));
        QLabel *lastChange = f.window->findChild<QLabel *>("lastChangeLabel");
        QCOMPARE(lastChange->text(), QStringLiteral("Dernier changement d'année : 2025-2026"));
        QCOMPARE(enabled(f), QStringLiteral("AMS AMSG AMSEII SATSRDIC"));
        // GS is not evaluated in the first trimester.
        QAction *trim1 = f.window->toolbarButton("mainToolbar", "Trim1");
        QVERIFY(!trim1->isVisible());

        // Ecole B's own "Martin CP", without pupils, is found by its key.
        f.select(f.schools(), QStringLiteral("Ecole B"));
        QCOMPARE(keys(f), QStringLiteral("3/2/0"));
        QCOMPARE(enabled(f), QStringLiteral("AMS AMSG A---I- --TSRD-C"));
        f.select(f.classes(), QStringLiteral("Petit CE1"));
        QCOMPARE(keys(f), QStringLiteral("3/9/30"));
        QVERIFY(trim1->isVisible());
        // CE1 shows ARI last on both panels.
        for (const char *panel : {"pupilProfilePanel", "classProfilePanel"})
            QCOMPARE(f.window->findChild<QWidget *>(panel)->findChild<QLabel *>("domainCaption_3")->text(), "ARI");
        const QStringList anais = {"A", "F", "A", "_"};
        QCOMPARE(f.panelValues("pupilProfilePanel") + f.panelValues("classProfilePanel"), anais + anais);

        // Nothing of the previous school stays on show, nor of any once none is left.
        f.select(f.schools(), QStringLiteral("Ecole sans classe"));
        QCOMPARE(keys(f), QStringLiteral("5/0/0"));
        QCOMPARE(enabled(f), QStringLiteral("AMS A--- ------ --TSRD-C"));
        QCOMPARE(lastChange->text(), QStringLiteral("Dernier changement d'année : "));
        QCOMPARE(f.panelValues("pupilProfilePanel") + f.panelValues("classProfilePanel"), QStringList(8, "_"));
        f.exec("DELETE FROM ECOLE");
        f.window->showSelection(f.context.session.keys());
        QCOMPARE(keys(f), QStringLiteral("0/0/0"));
        QCOMPARE(enabled(f), QStringLiteral("A-- ---- ------ ---SRD--"));
    }

    void commandsActOnTheSelectedOfTwoSameNamedPupils()
    {
        WindowFixture f;
        f.fillSample();
        // Two "Martin Léa" in Martin CP: the first (key 20) with scores, the second (21) without.
        f.exec("INSERT INTO ELEVE (NOELEVE, NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1P2, T1_E1P3, T1_E1P4, "
               "T1_E1P5) VALUES (20, 7, 1, 'Martin Léa', 3, 0, 2, 2, 0, 1), (21, 7, 1, 'Martin Léa', 1, NULL, "
               "NULL, NULL, NULL, NULL)");
        QVERIFY(f.start());
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

        // A click selects the entry's key.
        click(f.classes(), 1);
        QCOMPARE(keys(f), QStringLiteral("7/1/1"));
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Alice", "Bruno", "Chloé", "Martin Léa", "Martin Léa"}));
        click(f.pupils(), 4);
        QCOMPARE(keys(f), QStringLiteral("7/1/21"));
        // A change of the session moves the list to the entry of that key.
        f.context.session.selectPupil(20);
        QCOMPARE(f.pupils()->currentRow(), 3);
        f.context.session.selectPupil(21);
        QCOMPARE(f.pupils()->currentRow(), 4);
        const QStringList first = f.query("SELECT * FROM ELEVE WHERE NOELEVE = 20");

        // The entry window stores the typed scores on the second.
        onNext<EntryWindow>([](EntryWindow &w) {
            QCOMPARE(w.findChild<QSpinBox *>("pupilSpinBox")->value(), 5);
            w.toolbarClicked("Modifie");
            for (int item = 1; item <= ItemCount(2, 1, 1); ++item)
                w.setBoxText(BoxNumber(2, 1, 1, item), QStringLiteral("1"));
            w.toolbarClicked("Valider");
            QVERIFY(!w.editing());
            w.toolbarClicked("Sortie");
        });
        f.run("mainToolbar", "Saisie");
        QCOMPARE(f.query("SELECT T1_E1P1, T1_E1P2, T1_E1P5 FROM ELEVE WHERE NOELEVE = 21"), QStringList{"1|1|1"});
        QCOMPARE(keys(f), QStringLiteral("7/1/21"));

        // "Modifier" opens the second and changes its occupation only.
        onNext<PupilDialog>([](PupilDialog &d) {
            QCOMPARE(d.listField(0)->currentText(), QStringLiteral("Sans emploi"));
            d.toolbarClicked("Modifie");
            d.listField(0)->setCurrentIndex(6);
            d.toolbarClicked("Valider");
            d.toolbarClicked("Sortie");
        });
        f.run("pupilToolbar", "Modifier");
        QCOMPARE(f.query("SELECT NOELEVE, CSP FROM ELEVE WHERE NOM = 'Martin Léa' ORDER BY NOELEVE"),
                 (QStringList{"20|3", "21|7"}));
        QCOMPARE(f.pupils()->currentRow(), 4);

        // "Supprimer" deletes the second; the first has kept its scores and everything else throughout.
        f.dialogs.clear();
        f.dialogs.queueAnswer(true);
        f.dialogs.queueAnswer(true);
        f.run("pupilToolbar", "Supprimer");
        QCOMPARE(f.dialogs.shown().first().text,
                 QStringLiteral("Vous allez supprimer l'élève : Martin Léa\nVoulez vous continuer ?"));
        QCOMPARE(f.query("SELECT NOELEVE FROM ELEVE WHERE NOM = 'Martin Léa'"), QStringList{"20"});
        QCOMPARE(f.query("SELECT * FROM ELEVE WHERE NOELEVE = 20"), first);

        // "Ajouter" of a name the class has asks first; "Non" adds nothing.
        f.dialogs.clear();
        onNext<PupilDialog>([&f](PupilDialog &d) {
            d.textField(0)->setText(QStringLiteral("Martin Léa"));
            d.listField(0)->setCurrentIndex(0);
            f.dialogs.queueAnswer(false);
            d.toolbarClicked("Valider");
            QCOMPARE(f.query("SELECT count(*) FROM ELEVE WHERE NOM = 'Martin Léa'"), QStringList{"1"});
            f.dialogs.queueAnswer(true);
            d.toolbarClicked("Valider");
            d.toolbarClicked("Sortie");
        });
        f.run("pupilToolbar", "Ajouter");
        QCOMPARE(f.dialogs.titles(), (QStringList{"Confirmer", "Confirmer"}));
        QCOMPARE(f.dialogs.shown().at(0).text,
                 QStringLiteral("Un élève nommé « Martin Léa » existe déjà dans cette classe. L'ajouter quand même ?"));
        // The deleted pupil's key is never given again.
        QCOMPARE(f.query("SELECT NOELEVE FROM ELEVE WHERE NOM = 'Martin Léa' AND CSP = 1"), QStringList{"22"});
        QCOMPARE(keys(f), QStringLiteral("7/1/22")); // selected
        QCOMPARE(f.pupils()->currentRow(), 4);
    }

    // A class of a level that is not evaluated says so and opens nothing, whichever way it is asked; an evaluated
    // class opens as before.
    void levelNotEvaluated_data()
    {
        QTest::addColumn<QString>("key"); // empty: a double-click
        for (const char *key : {"Saisie", "Trim2", "Analyse", "Imprime", ""})
            QTest::newRow(*key ? key : "double-click") << QString(key);
    }
    void levelNotEvaluated()
    {
        QFETCH(QString, key);
        WindowFixture f;
        f.fillSample();
        f.exec("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (7, 8, 'Aubry CM1', 'CM1');"
               "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM) VALUES (7, 8, 'Félix')");
        QVERIFY(f.start(false));
        int opened = 0;
        f.window->setEntryOpener([&](int, int) { ++opened; });
        f.window->setCommand("mainToolbar/Analyse", [&] { ++opened; });
        f.window->setCommand("mainToolbar/Imprime", [&] { ++opened; });
        f.select(f.classes(), QStringLiteral("Aubry CM1"));
        QVERIFY(f.window->toolbarButton("mainToolbar", "Saisie")->isEnabled());
        if (key.isEmpty())
            emit f.pupils()->itemDoubleClicked(f.pupils()->item(0));
        else
            f.run("mainToolbar", key);
        QCOMPARE(opened, 0);
        QCOMPARE(f.dialogs.titles().size(), 1);
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Le niveau « CM1 » de cette classe n'est pas évalué."));
        f.select(f.classes(), QStringLiteral("Martin CP"));
        f.run("mainToolbar", key.isEmpty() ? QStringLiteral("Saisie") : key);
        QCOMPARE(opened, 1);
    }

    // Every toolbar command has a shortcut, none twice in one context, and some tooltips say it. At the smallest size
    // every toolbar shows all its buttons, none behind the "more" arrow. Lists, toolbars, buttons, panels and status
    // panels have French names; buttons describe their tooltips.
    void toolbarsAtTheSmallestSize()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        f.window->resize(f.window->minimumSize());
        showActive(f);
        QCOMPARE(f.window->size(), f.window->minimumSize());
        for (const auto &[toolbar, key, tooltip] : std::initializer_list<std::array<const char *, 3>>{
                 {"mainToolbar", "Saisie", "Saisie des résultats (F5)"},
                 {"mainToolbar", "Analyse", "Synthèse des résultats (Ctrl+F5)"},
                 {"mainToolbar", "Sauvegarde", "Sauvegarde de sécurité (Ctrl+S)"},
                 {"mainToolbar", "Restaure", "Restaure une sauvegarde (Ctrl+R)"},
                 {"mainToolbar", "Imprime", "Impression résultats élève (Ctrl+P)"},
                 {"mainToolbar", "Change", "Opération de changement d'année (Ctrl+Maj+A)"},
                 {"schoolToolbar", "Ajouter", "Ajouter (Inser)"},
                 {"classToolbar", "Modifier", "Modifier les données de la Classe (F2)"},
                 {"pupilToolbar", "Supprimer", "Supprimer (Suppr)"},
                 {"pupilToolbar", "Exporte", "Exporte l'élève vers autre école (Ctrl+E)"},
                 {"pupilToolbar", "EleveTXT", "Liste élèves (txt) (Ctrl+T)"},
                 {"pupilToolbar", "Imprime", "Imprime la liste des élèves (Ctrl+Maj+P)"}})
            QCOMPARE(f.window->toolbarButton(toolbar, key)->toolTip(), QString::fromUtf8(tooltip));
        QStringList seen;
        QWidgetList unnamed;
        for (QToolBar *bar : f.window->findChildren<QToolBar *>()) {
            unnamed << bar;
            for (QToolButton *more : bar->findChildren<QToolButton *>("qt_toolbar_ext_button"))
                QVERIFY2(!more->isVisible(), qPrintable(bar->objectName()));
            for (QAction *action : bar->actions()) {
                if (action->isSeparator())
                    continue;
                const QString name = bar->objectName() + '/' + action->objectName();
                QVERIFY2(!action->shortcut().isEmpty(), qPrintable(name));
                const QString where = action->shortcutContext() == Qt::WindowShortcut ? "window" : bar->objectName();
                const QString entry = where + ' ' + action->shortcut().toString();
                QVERIFY2(!seen.contains(entry), qPrintable(entry));
                seen.append(entry);
                QWidget *button = bar->widgetForAction(action);
                QVERIFY2(button->isVisible(), qPrintable(name));
                QCOMPARE(button->accessibleName(), action->text());
                QCOMPARE(button->accessibleDescription(), action->toolTip());
            }
        }
        QCOMPARE(f.schools()->accessibleName() + f.classes()->accessibleName() + f.pupils()->accessibleName(),
                 QStringLiteral("EcolesClassesElèves"));
        QCOMPARE(f.window->findChild<QToolBar *>("mainToolbar")->accessibleName(),
                 QStringLiteral("Barre d'outils principale"));
        for (QGroupBox *panel : f.window->findChildren<QGroupBox *>())
            unnamed << panel;
        unnamed << f.window->statusBar();
        for (QLabel *label : f.window->statusBar()->findChildren<QLabel *>())
            unnamed << label;
        for (QWidget *w : unnamed)
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        QCOMPARE(f.window->findChild<QLabel *>("dateLabel")->accessibleName(), QStringLiteral("Date : 06/12/2026"));
        QCOMPARE(f.window->findChild<QWidget *>("pupilProfilePanel")
                     ->findChild<QLabel *>("domainValue_0")
                     ->accessibleName()
                     .section(" : ", 1),
                 f.panelValues("pupilProfilePanel").first());
    }

    // Suppr deletes in the list that has the focus, after its two questions.
    void deleteKeyActsOnTheFocusedList_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("rows"); // schools|classes|pupils left
        for (const auto &[list, first, rows] : std::initializer_list<std::array<const char *, 3>>{
                 {"schoolList", "Vous allez supprimer l'école : Ecole A", "1|1|1"},
                 {"classList", "Vous allez supprimer la classe : Durand GS", "2|2|4"},
                 {"pupilList", "Vous allez supprimer l'élève : Denis", "2|3|4"}})
            QTest::newRow(list) << list << QString::fromUtf8(first) << rows;
    }
    void deleteKeyActsOnTheFocusedList()
    {
        QFETCH(QString, list);
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        showActive(f);
        auto *focused = f.window->findChild<QListWidget *>(list);
        focused->setFocus();
        f.dialogs.queueAnswer(true);
        f.dialogs.queueAnswer(true);
        QTest::keyClick(focused, Qt::Key_Delete);
        QCOMPARE(f.dialogs.titles(), (QStringList{"ATTENTION", "Confirmer"}));
        QTEST(f.dialogs.shown().first().text.section('\n', 0, 0), "first");
        QTEST(f.query("SELECT (SELECT count(*) FROM ECOLE) || '|' || (SELECT count(*) FROM CLASSE) || '|' || "
                      "(SELECT count(*) FROM ELEVE)")
                  .value(0),
              "rows");
    }

    // Ctrl+F5 runs the synthesis; F5, Ctrl+1 to 3 and a double-click the entry on the level's tab (GS has no 1st
    // trimester), and nothing without a pupil. Alt and a heading's letter go to its list, F2 modifies the focused
    // list's record.
    void keysRunTheirCommands()
    {
        WindowFixture f;
        f.fillSample();
        f.exec("DELETE FROM ELEVE WHERE NOM = 'Emma'");
        QVERIFY(f.start());
        QStringList ran;
        f.window->setCommand("mainToolbar/Analyse", [&] { ran << "Synthèse"; });
        f.window->setCommand("pupilToolbar/EleveTXT", [&] { ran << "EleveTXT"; });
        f.window->setEntryOpener([&](int level, int tab) { ran << QStringLiteral("%1 %2").arg(level).arg(tab); });
        showActive(f);
        f.classes()->setFocus();
        QTest::keyClick(f.classes(), Qt::Key_F5, Qt::ControlModifier);
        QTest::keyClick(f.classes(), Qt::Key_F5);
        QTest::keyClick(f.classes(), Qt::Key_3, Qt::ControlModifier);
        emit f.pupils()->itemDoubleClicked(f.pupils()->item(0));
        f.select(f.classes(), QStringLiteral("Martin CP"));
        QTest::keyClick(f.classes(), Qt::Key_3, Qt::ControlModifier);
        f.window->toolbarButton("pupilToolbar", "EleveTXT")->trigger();
        f.select(f.schools(), QStringLiteral("Ecole B"));
        f.run("mainToolbar", "Saisie");
        QCOMPARE(ran, (QStringList{"Synthèse", "1 0", "1 1", "1 0", "2 2", "EleveTXT"}));
        QTest::keyClick(f.classes(), Qt::Key_L, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), f.pupils());
        QTest::keyClick(f.pupils(), Qt::Key_C, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), f.classes());
        QString opened;
        WindowFixture::onNextModal([&](QWidget *modal) {
            opened = modal->objectName();
            modal->close();
        });
        QTest::keyClick(f.classes(), Qt::Key_F2);
        QCOMPARE(opened, QStringLiteral("classDialog"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
