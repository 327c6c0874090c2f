// The main window: start-up, lists and session following each other, toolbar
// states, panels, and commands acting by key on one of two same-named pupils.
#include "WindowFixture.h"

#include "admin/PupilDialog.h"
#include "data/DataFiles.h"
#include "data/InstanceLock.h"
#include "data/SqliteSupport.h"
#include "evaluation/EntryWindow.h"
#include "evaluation/EvaluationModel.h"
#include "mainwindow/QtDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>

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
    void anEmptyFolderIsCreatedOnlyWhenAccepted()
    {
        WindowFixture f(true);
        f.dialogs.queueAnswer(false);
        QVERIFY(!f.start() && DataFiles::LiveDatabase(f.folder()).isEmpty());
        f.dialogs.queueAnswer(true);
        QVERIFY(f.start() && !DataFiles::LiveDatabase(f.folder()).isEmpty());
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

    void entryCommandsOpenTheLevelsTab()
    {
        WindowFixture f;
        f.fillSample();
        f.exec("DELETE FROM ELEVE WHERE NOM = 'Emma'");
        QVERIFY(f.start(false));
        QStringList calls;
        f.window->setEntryOpener([&](int level, int tab) { calls << QStringLiteral("%1 %2").arg(level).arg(tab); });
        f.window->setCommand("pupilToolbar/EleveTXT", [&] { calls << "EleveTXT"; });
        f.window->toolbarButton("mainToolbar", "Saisie")->trigger(); // GS: its tab 0 is the 2nd trimester
        f.window->toolbarButton("mainToolbar", "Trim3")->trigger();
        emit f.pupils()->itemDoubleClicked(f.pupils()->item(0));
        f.select(f.classes(), QStringLiteral("Martin CP"));
        f.window->toolbarButton("mainToolbar", "Trim3")->trigger();
        f.window->toolbarButton("pupilToolbar", "EleveTXT")->trigger();
        // No pupil: no entry window.
        f.select(f.schools(), QStringLiteral("Ecole B"));
        f.run("mainToolbar", "Saisie");
        QCOMPARE(calls, (QStringList{"1 0", "1 1", "1 0", "2 2", "EleveTXT"}));
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
        QCOMPARE(f.query("SELECT * FROM ELEVE WHERE NOELEVE = 20"), first);
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
        QCOMPARE(f.query("SELECT * FROM ELEVE WHERE NOELEVE = 20"), first);
        QCOMPARE(f.pupils()->currentRow(), 4);

        // "Exporte" writes the second, without its key.
        QTemporaryDir out;
        f.dialogs.queueChoice(out.path() + QLatin1Char('/'));
        f.run("pupilToolbar", "Exporte");
        QCOMPARE(f.dialogs.shown().last().title, QStringLiteral("Succès"));
        SqliteSupport::RawDatabase sent;
        QStringList rows;
        QVERIFY(sent.open(QDir(out.path()).filePath("EXPORT.mdb"), false, true) &&
                sent.queryTexts("SELECT NOM || '|' || CSP || '|' || T1_E1P1 FROM ELEVE", &rows) &&
                sent.queryTexts("SELECT count(*) FROM pragma_table_info('ELEVE') WHERE name = 'NOELEVE'", &rows));
        QCOMPARE(rows, (QStringList{"Martin Léa|7|1", "0"}));

        // "Supprimer" deletes the second; the first keeps its scores.
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
        const QStringList added = f.query("SELECT NOELEVE FROM ELEVE WHERE NOM = 'Martin Léa' AND CSP = 1");
        QCOMPARE(added, QStringList{"22"});
        QCOMPARE(keys(f), QStringLiteral("7/1/") + added.first()); // selected
        QCOMPARE(f.pupils()->currentRow(), 4);
    }

    // Standard buttons speak French; a second copy of the program on the folder is refused, naming it.
    void frenchButtonsAndSecondCopy()
    {
        QVERIFY(InstallFrenchTranslation());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        InstanceLock first, second;
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(first.acquireOrRefuse(dir.path(), dialogs, now) && !second.acquireOrRefuse(dir.path(), dialogs, now));
        QCOMPARE(dialogs.titles(), QStringList{"ATTENTION"});
        QVERIFY(dialogs.shown().first().text.contains(QDir::toNativeSeparators(dir.path())));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
