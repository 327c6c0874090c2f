#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/DataFiles.h"
#include "data/InstanceLock.h"
#include "data/SqliteSupport.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "mainwindow/MainWiring.h"
#include "mainwindow/QtDialogs.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using TestSupport::insertRow;

class TestForm1 : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(18, 30))};
        AppContext context{dialogs, clock};
        std::unique_ptr<Form1> window;

        // Two schools (the first named with double quotes), classes of every level,
        // a class label shared by both schools, a class without pupils.
        void fillDistrict()
        {
            TestSupport::createEmptyDataFolder(dir.path());
            SqliteSupport::RawDatabase db;
            QVERIFY(db.open(DataFiles::LiveDatabase(dir.path()), false));
            QVERIFY2(db.exec(QStringLiteral(
                "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole \"Les Tilleuls\"'), "
                "(2, 'École du Centre'), (3, 'Ecole sans classe');"
                "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (1, 1, 'Mme Durand - CP', 'CP'), "
                "(1, 2, 'M. Petit - GS', 'GS'), (1, 3, 'Mme Roux - CE1', 'CE1'), "
                "(2, 1, 'Classe vide - CP', 'CP'), (2, 2, 'Mme Durand - CP', 'CP');"
                "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) VALUES (1, 1, 'Zoé', 1), "
                "(1, 1, 'Jean \"Jeannot\" Dupont', 1), (1, 1, 'Émile', 1), (1, 1, 'Eric', 1), (1, 1, 'Emma', 1), "
                "(1, 2, 'Lucas', 1), (1, 3, 'Chloé', 1), (2, 2, 'Inès', 1);"
                "INSERT INTO CHANGEANNEE (NO_OPER, NOECOLE, ANNEE, LIBELLE) VALUES (1, 2, '2024-2025', 'Année 2024-2025'), "
                "(2, 1, '2024-2025', 'Année 2024-2025'), (3, 2, '2025-2026', 'Année 2025-2026')")),
                     qPrintable(db.error()));
        }
        // Starts on the district (or on what the folder holds), wired to the
        // program's commands when asked.
        bool start(bool district = true, bool wired = false)
        {
            if (district)
                fillDistrict();
            context.connection.setDataFolder(dir.path());
            window = std::make_unique<Form1>(context);
            if (wired)
                ConnectMainWindow(*window, context);
            return window->Form_Activate();
        }
        QListWidget *list(const char *name) { return window->findChild<QListWidget *>(name); }
        QList<bool> enabled(const QString &toolbar, int count)
        {
            QList<bool> states;
            for (int i = 1; i <= count; ++i)
                states.append(window->toolbarButton(toolbar, i)->isEnabled());
            return states;
        }
        QStringList texts(const char *name)
        {
            QStringList t;
            for (int i = 0; i < list(name)->count(); ++i)
                t.append(list(name)->item(i)->text());
            return t;
        }
        QString label(const char *name) { return window->findChild<QLabel *>(name)->text(); }
    };

private slots:
    void emptyFolderAsksBeforeCreating()
    {
        Fixture f;
        f.dialogs.queueAnswer(false);
        QVERIFY(!f.start(false));
        QCOMPARE(f.dialogs.titles(), QStringList{"Confirmer"});
        QVERIFY(QDir(f.dir.path()).entryList(QDir::Files).filter(".mdb", Qt::CaseInsensitive).isEmpty());

        Fixture g;
        g.dialogs.queueAnswer(true);
        QVERIFY(g.start(false));
        QVERIFY(!DataFiles::LiveDatabase(g.dir.path()).isEmpty());
        QVERIFY(!DataFiles::Resolve(g.dir.path(), "Export.vid").isEmpty());
        // No school: only the school "Ajouter" is usable.
        QCOMPARE(g.list("List3")->count(), 0);
        QCOMPARE(g.enabled("Toolbar1", 3), (QList<bool>{true, false, false}));
        QCOMPARE(g.enabled("Toolbar3", 3), (QList<bool>{false, false, false}));
        QCOMPARE(g.enabled("Toolbar4", 8), QList<bool>(8, false));
    }

    void startUpAndClassSelection()
    {
        Fixture f;
        QVERIFY(f.start());
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Rozodivo Velorin - v1.0.0"));
        QCOMPARE(f.label("Label4"), QStringLiteral("2026-2027"));
        QCOMPARE(f.texts("List3"), (QStringList{"Ecole \"Les Tilleuls\"", "École du Centre", "Ecole sans classe"}));
        // The first school, its first class (classes by label), its first pupil (French order).
        QCOMPARE(f.texts("List1"), (QStringList{"M. Petit - GS", "Mme Durand - CP", "Mme Roux - CE1"}));
        QCOMPARE(f.context.state.CurrentSchoolNo, qint16(1));
        QCOMPARE(f.context.state.CurrentClassNo, qint16(2));
        QCOMPARE(f.label("Label7"), QStringLiteral("Dernier changement d'année : 2024-2025"));
        // The compaction ran: the previous file is kept.
        QVERIFY(!DataFiles::Resolve(f.dir.path(), "donnees.BAK").isEmpty());
        QVERIFY(f.dialogs.shown().isEmpty());
        QCOMPARE(f.dialogs.busyDepth(), 0);

        f.list("List1")->setCurrentRow(1); // Mme Durand - CP
        QCOMPARE(f.texts("List2"), (QStringList{"Émile", "Emma", "Eric", "Jean \"Jeannot\" Dupont", "Zoé"}));
        QCOMPARE(f.window->Label5(0)->text(), QStringLiteral("Langage"));
        QCOMPARE(f.window->Label5(10)->text(), QStringLiteral("Comp. Texte"));
        f.list("List2")->setCurrentRow(3);
        QCOMPARE(f.context.connection.VIEW_ELEVE.value("NOM").toString(), QStringLiteral("Jean \"Jeannot\" Dupont"));

        f.list("List1")->setCurrentRow(2); // CE1: the panels read PG, RM, CT, ARI
        QCOMPARE(f.window->Label5(0)->text(), QStringLiteral("Phono-graphique"));
        QCOMPARE(f.window->Label5(3)->text(), QStringLiteral("ARI"));
        QCOMPARE(f.window->Label5(10)->text(), QStringLiteral("ARI"));
        for (int i : {0, 1, 2, 3, 10, 11, 12, 13})
            QCOMPARE(f.window->Label6(i)->text(), QStringLiteral("_"));

        // A GS class hides "1er Trimestre" of the "Saisie" menu.
        QAction *trim1 = f.window->findChild<QMenu *>("SaisieMenu")->findChild<QAction *>("Trim1");
        QVERIFY(trim1->isVisible());
        f.list("List1")->setCurrentRow(0); // M. Petit - GS
        QVERIFY(!trim1->isVisible());
        f.list("List1")->setCurrentRow(1);
        QVERIFY(trim1->isVisible());
    }

    void toolbarsFollowTheSelection()
    {
        Fixture f;
        QVERIFY(f.start());
        // A pupil selected: everything is usable.
        QCOMPARE(f.enabled("Toolbar4", 8), QList<bool>(8, true));
        QCOMPARE(f.enabled("Toolbar3", 3), QList<bool>(3, true));
        QVERIFY(f.window->toolbarButton("Toolbar2", 1)->isEnabled());

        // A school without class.
        f.list("List3")->setCurrentRow(2);
        QCOMPARE(f.list("List1")->count(), 0);
        QCOMPARE(f.enabled("Toolbar1", 3), QList<bool>(3, true));
        QCOMPARE(f.enabled("Toolbar3", 3), (QList<bool>{true, false, false}));
        QCOMPARE(f.enabled("Toolbar4", 8), QList<bool>(8, false));
        QVERIFY(!f.window->toolbarButton("Toolbar2", 1)->isEnabled());
        QVERIFY(!f.window->toolbarButton("Toolbar2", 2)->isEnabled());
        QCOMPARE(f.label("Label7"), QStringLiteral("Dernier changement d'année : "));

        // A class without pupils: "Ajouter" and "Importe" only.
        f.list("List3")->setCurrentRow(1);
        QCOMPARE(f.label("Label7"), QStringLiteral("Dernier changement d'année : 2025-2026"));
        QCOMPARE(f.list("List1")->currentItem()->text(), QStringLiteral("Classe vide - CP"));
        QCOMPARE(f.enabled("Toolbar4", 8), (QList<bool>{true, false, false, false, false, true, false, false}));
        QVERIFY(!f.window->toolbarButton("Toolbar2", 1)->isEnabled());

        // The same label in two schools: each selection finds its own school's class.
        f.list("List1")->setCurrentRow(1); // "Mme Durand - CP" of school 2, class 2
        QCOMPARE(f.context.state.CurrentSchoolNo, qint16(2));
        QCOMPARE(f.context.state.CurrentClassNo, qint16(2));
        QCOMPARE(f.context.connection.Data2.value("NOECOLE").toInt(), 2);
        QCOMPARE(f.texts("List2"), QStringList{"Inès"});
        f.list("List3")->setCurrentRow(0);
        f.list("List1")->setCurrentRow(1);
        QCOMPARE(f.context.state.CurrentClassNo, qint16(1));
        QCOMPARE(f.context.connection.Data2.value("NOECOLE").toInt(), 1);
    }

    void commandsAreDispatchedByKey()
    {
        Fixture f;
        QVERIFY(f.start());
        QStringList calls;
        auto &r = f.window->routes();
        r.openEntryWindow = [&](int level, int tab) { calls << QStringLiteral("entry %1 %2").arg(level).arg(tab); };
        r.openReportViewer = [&] { calls << "viewer"; };
        r.backup = [&] { calls << "backup"; };
        r.restore = [&] { calls << "restore"; };
        r.yearChange = [&] { calls << "change"; };
        r.computePupilProfile = [&](int level) { calls << QStringLiteral("pupil %1").arg(level); };
        for (const char *command : {"Toolbar4/EleveTXT", "Toolbar1/Modifier"})
            r.listCommands.insert(command, [&calls, command] { calls << command; });

        f.window->toolbarButton("Toolbar2", 1)->trigger(); // Saisie on a GS class
        f.window->findChild<QMenu *>("SaisieMenu")->findChild<QAction *>("Trim3")->trigger();
        QCOMPARE(calls, (QStringList{"entry 1 0", "pupil 1", "entry 1 1"}));
        f.list("List1")->setCurrentRow(1); // CP: one pupil scoring for the selected pupil
        calls.clear();
        f.window->findChild<QMenu *>("SaisieMenu")->findChild<QAction *>("Trim3")->trigger();
        f.window->Toolbar2_ButtonClick("Restaure");
        f.window->Toolbar2_ButtonClick("Change");
        QCOMPARE(calls, (QStringList{"entry 2 2", "restore", "change", "pupil 2"}));

        // "Synthèse" selects every pupil in turn, then the remembered one, then opens the viewer.
        f.list("List2")->setCurrentRow(2);
        calls.clear();
        f.window->Toolbar2_ButtonClick("Analyse");
        QCOMPARE(calls.count("pupil 2"), 5 + 1 + 1);
        QCOMPARE(calls.at(calls.size() - 2), QStringLiteral("viewer"));
        QCOMPARE(f.list("List2")->currentRow(), 2);

        calls.clear();
        f.window->findChild<QToolBar *>("Toolbar4")->findChild<QAction *>("EleveTXT")->trigger();
        f.window->toolbarButton("Toolbar1", 2)->trigger();
        QCOMPARE(calls, (QStringList{"Toolbar4/EleveTXT", "Toolbar1/Modifier"}));

        // No class selected: no pupil scoring after a command.
        f.list("List3")->setCurrentRow(2);
        calls.clear();
        f.window->Toolbar2_ButtonClick("Change");
        QCOMPARE(calls, QStringList{"change"});
    }

    void panelsShowTheScoring()
    {
        Fixture f;
        f.fillDistrict();
        // Anaïs, CE1: PG from one category, RM from two close ones, CT from NAR with DOC, no ARI.
        insertRow(f.dir.path(), "ELEVE",
                  {{"NOECOLE", 1}, {"NOCLASSE", 3}, {"NOM", "Anaïs"}, {"T1_E1CAT", 1}, {"T1_E1PRO", "A"},
                   {"T1_E2CAT", 3}, {"T1_E2PRO", "F"}, {"T2_E1CAT", 4}, {"T2_E1PRO", "F"},
                   {"T3_E1CAT", 2}, {"T3_E1PRO", "A"}, {"T3_E2CAT", 3}, {"T3_E2PRO", "F"}});
        QVERIFY(f.start(false, true));
        f.list("List1")->setCurrentRow(2); // Mme Roux - CE1: Anaïs, Chloé
        QCOMPARE(f.texts("List2"), (QStringList{"Anaïs", "Chloé"}));
        auto panel = [&](int base) {
            QStringList t;
            for (int i = base; i < base + 4; ++i)
                t.append(f.window->Label6(i)->text());
            return t;
        };
        // Panels read PG, RM, CT, ARI.
        QCOMPARE(panel(0), (QStringList{"A", "F", "A", "_"}));
        QCOMPARE(panel(10), (QStringList{"A", "F", "A", "_"}));
        QSqlQuery q(f.context.connection.database());
        QVERIFY(q.exec("SELECT PROFIL_RM, MOYCAT_RM, MOYCAT_CT FROM ELEVE WHERE NOM = 'Anaïs'") && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("F"));
        QCOMPARE(q.value(1).toDouble(), 4.0);
        QCOMPARE(q.value(2).toDouble(), 2.0);
        QVERIFY(q.exec("SELECT T2_E1CAT, PROFIL_RM FROM CLASSE WHERE NOECOLE = 1 AND NOCLASSE = 3") && q.next());
        QCOMPARE(q.value(0).toDouble(), 4.0);
        QCOMPARE(q.value(1).toString(), QStringLiteral("F"));
        // Chloé has no category: her panel is cleared, the class panel stays.
        f.list("List2")->setCurrentRow(1);
        QCOMPARE(panel(0), (QStringList{"_", "_", "_", "_"}));
        QCOMPARE(panel(10), (QStringList{"A", "F", "A", "_"}));
    }

    void standardButtonsSpeakFrench()
    {
        QVERIFY(InstallFrenchTranslation());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Oui"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("&Non"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
    }

    void secondCopyIsRefused()
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        InstanceLock first, second;
        QVERIFY(first.acquireOrRefuse(dir.path(), dialogs));
        QVERIFY(!second.acquireOrRefuse(dir.path(), dialogs));
        QCOMPARE(dialogs.titles(), QStringList{"ATTENTION"});
        QVERIFY(dialogs.shown().first().text.contains(QDir::toNativeSeparators(dir.path())));
        first.release();
        QVERIFY(second.acquireOrRefuse(dir.path(), dialogs));
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
