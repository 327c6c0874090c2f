// The main window's commands around the selection: imports ending on their
// class, the year change needing a school, classes of a level not evaluated.
#include "WindowFixture.h"

#include "admin/ClassDialog.h"
#include "transfers/YearChangeWindow.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QTest>

class TestMainCommands : public QObject
{
    Q_OBJECT

private slots:
    // An import keeps the class that received the pupils selected, and says how many it received.
    void importsEndOnTheirClass_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("said");
        QTest::newRow("text list") << "EleveTXT" << QString("2 élèves ont été ajoutés à la classe « Zola CP ».");
        QTest::newRow("other school") << "ImpEleve"
                                      << QString("L'importation de l'élève Alice a réussi !\n"
                                                 "1 élève a été ajouté à la classe « Zola CP ».");
    }
    void importsEndOnTheirClass()
    {
        QFETCH(QString, command);
        WindowFixture f;
        f.fillSample();
        // A second CP class, after Durand GS and Martin CP.
        f.exec("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (7, 6, 'Zola CP', 'CP')");
        QVERIFY(f.start());
        TestSupport::writeFile(f.folder() + "/liste.txt", "Paul\nMarc\n");
        f.select(f.classes(), QStringLiteral("Martin CP"));
        f.dialogs.queueChoice(f.folder() + "/");
        f.run("pupilToolbar", "Exporte"); // Alice, for the other school's import
        f.select(f.classes(), QStringLiteral("Zola CP"));
        f.dialogs.clear();
        f.dialogs.queueChoice(f.folder() + "/", command == "EleveTXT" ? "liste.txt" : "Export.mdb");
        f.run("pupilToolbar", command);
        QTEST(f.dialogs.shown().last().text, "said");
        QCOMPARE(f.selected(f.classes()), QStringLiteral("Zola CP"));
        QCOMPARE(f.context.session.classNo(), 6);
        QCOMPARE(f.pupils()->count(), command == "EleveTXT" ? 2 : 1);
    }

    // No school: the year change is refused and writes nothing; with one, its window names it.
    void yearChangeNeedsASchool()
    {
        WindowFixture f;
        QVERIFY(f.start());
        QAction *change = f.window->toolbarButton("mainToolbar", "Change");
        QVERIFY(!change->isEnabled());
        f.run("mainToolbar", "Change");
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QVERIFY(f.dialogs.shown().last().text.startsWith("Aucune école n'est sélectionnée"));
        QCOMPARE(f.query("SELECT count(*) FROM CHANGEANNEE"), QStringList{"0"});

        f.exec("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (2, 'Ecole du Port'), (1, 'Ecole A')");
        f.window->showSelection({2, 0, 0});
        QVERIFY(change->isEnabled());
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

    // "Saisie", "Synthèse" and "Imprime" need a pupil of a class, and an open database.
    void entryCommandsNeedAPupil()
    {
        WindowFixture refused(true);
        refused.dialogs.queueAnswer(false); // no database created
        QVERIFY(!refused.start());
        for (const char *key : {"Saisie", "Analyse", "Change"})
            QVERIFY2(!refused.window->toolbarButton("mainToolbar", key)->isEnabled(), key);

        WindowFixture f;
        f.fillSample();
        f.exec("DELETE FROM ELEVE WHERE NOM = 'Emma'");
        QVERIFY(f.start());
        QAction *entry = f.window->toolbarButton("mainToolbar", "Saisie");
        QAction *synthesis = f.window->toolbarButton("mainToolbar", "Analyse");
        QVERIFY(entry->isEnabled() && synthesis->isEnabled());
        QAction *print = f.window->toolbarButton("mainToolbar", "Imprime");
        QVERIFY(print->text() == "Imprime" && print->isEnabled());
        QVERIFY(print->toolTip().startsWith("Impression résultats élève (Ctrl+P)"));
        f.select(f.schools(), QStringLiteral("Ecole B"));
        QVERIFY(!entry->isEnabled() && !synthesis->isEnabled() && !print->isEnabled());
    }

    // A class of a level that is not evaluated says so, and opens nothing.
    void levelNotEvaluated_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("Saisie") << "Saisie";
        QTest::newRow("2ème Trimestre") << "Trim2";
        QTest::newRow("Synthèse") << "Analyse";
        QTest::newRow("Imprime") << "Imprime";
        QTest::newRow("double-click") << "";
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
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Le niveau « CM1 » de cette classe n'est pas évalué."));
        // An evaluated class opens as before.
        f.select(f.classes(), QStringLiteral("Martin CP"));
        f.run("mainToolbar", key.isEmpty() ? QStringLiteral("Saisie") : key);
        QCOMPARE(opened, 1);
    }
};

QTEST_MAIN(TestMainCommands)
#include "tst_maincommands.moc"
