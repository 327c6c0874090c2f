// The main window from the keyboard and for screen readers: every toolbar
// command has a shortcut shown in its tooltip, the lists' commands act on the
// list that has the focus, nothing hides at the smallest size, and every
// list, toolbar, button, panel and status panel has a French name.
#include "WindowFixture.h"

#include "admin/ClassDialog.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <array>

namespace {

void showActive(WindowFixture &f)
{
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
}

} // namespace

class TestMainKeys : public QObject
{
    Q_OBJECT

private slots:
    // Every toolbar command has a shortcut, none twice in one context, and some tooltips say it.
    void shortcuts()
    {
        WindowFixture f;
        QVERIFY(f.start());
        for (const auto &[toolbar, key, tooltip] : std::initializer_list<std::array<const char *, 3>>{
                 {"mainToolbar", "Saisie", "Saisie des résultats (F5)"},
                 {"mainToolbar", "Analyse", "Synthèse des résultats (Ctrl+F5)"},
                 {"mainToolbar", "Sauvegarde", "Sauvegarde de sécurité (Ctrl+S)"},
                 {"mainToolbar", "Restaure", "Restaure une sauvegarde (Ctrl+R)"},
                 {"mainToolbar", "Change", "Opération de changement d'année (Ctrl+Maj+A)"},
                 {"schoolToolbar", "Ajouter", "Ajouter (Inser)"},
                 {"classToolbar", "Modifier", "Modifier les données de la Classe (F2)"},
                 {"pupilToolbar", "Supprimer", "Supprimer (Suppr)"},
                 {"pupilToolbar", "Exporte", "Exporte l'élève vers autre école (Ctrl+E)"},
                 {"pupilToolbar", "EleveTXT", "Liste élèves (txt) (Ctrl+T)"},
                 {"pupilToolbar", "Imprime", "Imprime la liste des élèves (Ctrl+Maj+P)"}})
            QCOMPARE(f.window->toolbarButton(toolbar, key)->toolTip(), QString::fromUtf8(tooltip));
        QStringList seen;
        for (QToolBar *bar : f.window->findChildren<QToolBar *>()) {
            for (QAction *action : bar->actions()) {
                if (action->isSeparator())
                    continue;
                QVERIFY2(!action->shortcut().isEmpty(), qPrintable(bar->objectName() + '/' + action->objectName()));
                const QString where = action->shortcutContext() == Qt::WindowShortcut ? "window" : bar->objectName();
                const QString entry = where + ' ' + action->shortcut().toString();
                QVERIFY2(!seen.contains(entry), qPrintable(entry));
                seen.append(entry);
            }
        }
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

    // F2 modifies the focused list's record, Ctrl+F5 runs the synthesis, F5 the entry,
    // Alt and a heading's letter go to its list.
    void keysRunTheirCommands()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        QStringList ran;
        f.window->setCommand("mainToolbar/Analyse", [&] { ran << "Synthèse"; });
        f.window->setEntryOpener(
            [&](int level, int tab) { ran << QStringLiteral("Saisie %1 %2").arg(level).arg(tab); });
        showActive(f);
        f.classes()->setFocus();
        QTest::keyClick(f.classes(), Qt::Key_F5, Qt::ControlModifier);
        QTest::keyClick(f.classes(), Qt::Key_F5);
        QTest::keyClick(f.classes(), Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(ran, (QStringList{"Synthèse", "Saisie 1 0", "Saisie 1 1"}));
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

    // At the smallest size every toolbar shows all its buttons, none behind the "more" arrow.
    void everyButtonVisibleAtTheSmallestSize()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        f.window->resize(f.window->minimumSize());
        showActive(f);
        QCOMPARE(f.window->size(), f.window->minimumSize());
        for (QToolBar *bar : f.window->findChildren<QToolBar *>()) {
            for (QToolButton *more : bar->findChildren<QToolButton *>("qt_toolbar_ext_button"))
                QVERIFY2(!more->isVisible(), qPrintable(bar->objectName()));
            for (QAction *action : bar->actions())
                if (!action->isSeparator())
                    QVERIFY2(bar->widgetForAction(action)->isVisible(),
                             qPrintable(bar->objectName() + '/' + action->objectName()));
        }
    }

    // Lists, toolbars, buttons, panels and status panels have French names; buttons describe their tooltips.
    void namedForScreenReaders()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        QCOMPARE(f.schools()->accessibleName(), QStringLiteral("Ecoles"));
        QCOMPARE(f.classes()->accessibleName(), QStringLiteral("Classes"));
        QCOMPARE(f.pupils()->accessibleName(), QStringLiteral("Elèves"));
        QCOMPARE(f.window->findChild<QToolBar *>("mainToolbar")->accessibleName(),
                 QStringLiteral("Barre d'outils principale"));
        QWidgetList unnamed;
        for (QToolBar *bar : f.window->findChildren<QToolBar *>()) {
            unnamed << bar;
            for (QAction *action : bar->actions()) {
                if (QWidget *button = bar->widgetForAction(action); button && !action->isSeparator()) {
                    QCOMPARE(button->accessibleName(), action->text());
                    QCOMPARE(button->accessibleDescription(), action->toolTip());
                }
            }
        }
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
};

QTEST_MAIN(TestMainKeys)
#include "tst_mainkeys.moc"
