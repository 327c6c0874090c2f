// The year change: window, refusal, confirmations, archive, log, purge, and a change failing at any step. Then
// refilling a class from last year's pupils: who is offered when (never a name the class has), what is added, what is
// counted as left out, and the two "nothing to offer" cases.
#include "WindowFixture.h"

#include "transfers/ArchivePurge.h"
#include "transfers/LastYearWindow.h"
#include "transfers/YearChange.h"
#include "transfers/YearChangeWindow.h"

#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

namespace {

int faultsTried = 0;

// The sample. For the year change, in June 2027 (the year closed is 2026-2027), Alice with results. For last year's
// pupils, on `klass`, with an archive over three years: Bruno is in "Martin CP" already, and two archived pupils of
// last year are called Zoé.
struct Fixture : WindowFixture
{
    explicit Fixture(const QDate &today = {2027, 6, 15}, const QString &klass = {})
    {
        clock.set(QDateTime(today, QTime(17, 45)));
        fillSample();
        exec(klass.isEmpty()
                 ? "UPDATE ELEVE SET T1_E1P1 = 3, T1_E1TOT = 12, T2_E3PRO = 'A', T3_E2P7 = 99, PROFIL_CT = 'F', "
                   "MOYCAT_L = 2.5 WHERE NOM = 'Alice'"
                 : "INSERT INTO PARCOURS (ANNEE, Niveau, NOM, CSP, T3_E1TOT) VALUES ('2025-2026', 'GS', 'Zoé', 2, 12), "
                   "('2025-2026', 'CP', 'Lucas', 5, 7), ('2025-2026', 'GS', 'Emma', 1, 3), "
                   "('2025-2026', 'CE1', 'Chloé', 3, 9), ('2025-2026', 'GS', 'Bruno', 4, 2), "
                   "('2025-2026', 'GS', 'Zoé', 6, 1), ('2024-2025', 'GS', 'Inès', 4, 1), "
                   "('2024-2025', 'CP', 'Hugo', 6, 2), ('2023-2024', 'CP', 'Léa', 7, 5)");
        if (!start())
            qFatal("database not opened");
        if (!klass.isEmpty()) {
            select(schools(), klass.endsWith("CE1") ? "Ecole B" : "Ecole A");
            select(classes(), klass);
        }
    }
    // Every archived column of the pupils `where` selects in `table` (ELEVE or the archive).
    QStringList rowsOf(const QString &table, const QString &where) const
    {
        const QStringList columns = query("SELECT name FROM pragma_table_info('PARCOURS') WHERE name NOT IN "
                                          "('ANNEE', 'Niveau')");
        return query(QString("SELECT %1 FROM %2 WHERE %3 ORDER BY NOM").arg(columns.join(','), table, where));
    }
    // Runs the change in `w`, answering its questions.
    void change(YearChangeWindow &w, const QList<bool> &answers = {true, true})
    {
        for (bool yes : answers)
            dialogs.queueAnswer(yes);
        w.changeYearClicked();
    }
    QStringList everything() const
    {
        return query("SELECT * FROM ELEVE") + query("SELECT * FROM PARCOURS") + query("SELECT * FROM CHANGEANNEE");
    }
};

} // namespace

class TestYearChange : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { qInfo("fault injection (year change): %d faults tried", faultsTried); }

    // School A is archived with all its results under the closing year, its
    // pupils deleted and the change logged (the log's last number plus 1);
    // a second change of A this year (or of an earlier year) is refused, but
    // not the change of B (nor of a school never changed).
    void changesSchoolsInTurn()
    {
        Fixture f;
        const QStringList schoolA = f.rowsOf("ELEVE", "NOECOLE = 7");
        const QStringList unchanged = f.everything();
        {
            YearChangeWindow w(f.context, *f.window);
            f.change(w, {false}); // "Non" to either question changes nothing
            f.change(w, {true, false});
            QCOMPARE(f.everything(), unchanged);
            f.dialogs.clear();
            f.change(w);
            QCOMPARE(f.dialogs.titles(), (QStringList{"Confirmez", "Confirmez", "Message"}));
        }
        QCOMPARE(f.rowsOf("PARCOURS", "NOECOLE = 7 AND ANNEE = '2026-2027'"), schoolA);
        QCOMPARE(f.query("SELECT Niveau, NOM FROM PARCOURS WHERE ANNEE = '2026-2027' ORDER BY NOM"),
                 (QStringList{"CP|Alice", "CP|Bruno", "CP|Chloé", "GS|Denis"}));
        QCOMPARE(f.rowsOf("ELEVE", "NOECOLE = 7"), QStringList());
        QCOMPARE(f.classes()->count(), 2); // the lists again: the classes stay, empty
        QCOMPARE(f.pupils()->count(), 0);

        const QStringList before = f.everything();
        QVERIFY(YearChange::AlreadyChanged("2024-2025", "2025-2026") && !YearChange::AlreadyChanged("2025-2026", ""));
        YearChangeWindow(f.context, *f.window).changeYearClicked();
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Le changement d'année a déjà été effectué\nLa procédure est abandonnée."));
        QCOMPARE(f.everything(), before);

        f.select(f.schools(), "Ecole B");
        YearChangeWindow w(f.context, *f.window);
        f.change(w);
        QCOMPARE(f.query("SELECT NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE FROM CHANGEANNEE ORDER BY rowid"),
                 (QStringList{"7|7|2025-2026|<null>|<null>|<null>", "3|3|2025-2026|<null>|<null>|<null>",
                              "4|7|2026-2027|4|2027-06-15T17:45:00|Année 2026-2027",
                              "5|3|2026-2027|1|2027-06-15T17:45:00|Année 2026-2027"}));
    }

    // In 2026-2027, keeping 3 school years deletes A's archives of 2019-2020
    // and 2022-2023 only, after a question that names them with their counts
    // ("Non" by default); B's archives, a year that is no school year, and a
    // school's latest archived year however old stay. The purge is logged
    // without changing the school's last change year.
    void purgesOldArchives()
    {
        Fixture f;
        f.exec("INSERT INTO PARCOURS (ANNEE, NOECOLE, NOCLASSE, NOM) VALUES ('2019-2020', 7, 1, 'P1'), "
               "('2019-2020', 7, 1, 'P2'), ('2022-2023', 7, 1, 'P3'), ('2023-2024', 7, 1, 'P4'), "
               "('vieux', 7, 1, 'P5'), ('2019-2020', 3, 9, 'P6'), ('2018-2019', 5, 1, 'P7')");
        const QStringList before = f.everything();
        YearChangeWindow w(f.context, *f.window);
        auto *purge = w.findChild<QPushButton *>("purgeButton");
        QCOMPARE(w.findChild<QSpinBox *>("keptYearsBox")->value(), 3);
        f.dialogs.queueAnswer(false);
        purge->click();
        const ScriptedDialogs::Shown asked = f.dialogs.shown().last();
        QVERIFY(asked.isQuestion && asked.defaultNo);
        QVERIFY(asked.text.contains("\n2019-2020 : 2 élèves\n2022-2023 : 1 élève\n"));
        QCOMPARE(f.everything(), before);

        f.dialogs.queueAnswer(true);
        purge->click();
        QCOMPARE(f.query("SELECT ANNEE, NOECOLE, NOM FROM PARCOURS ORDER BY NOM, NOECOLE"),
                 (QStringList{"2025-2026|3|Ancien", "2025-2026|7|Ancien", "2023-2024|7|P4", "vieux|7|P5",
                              "2019-2020|3|P6", "2018-2019|5|P7"}));
        QCOMPARE(f.query("SELECT NO_OPER, NOECOLE, ANNEE, nb_eleve, LIBELLE FROM CHANGEANNEE ORDER BY rowid").last(),
                 QStringLiteral("4|7|2025-2026|3|Purge des archives 2019-2020 : 2 élèves, 2022-2023 : 1 élève"));
        QCOMPARE(w.lastChangeYear(), QStringLiteral("2025-2026"));
        QCOMPARE(w.historyList()->topLevelItemCount(), 2);

        QString error;
        // A school whose only archived year is old keeps it.
        QVERIFY(ArchivePurge::Plan(f.context.connection, 5, "2026-2027", 1, &error).isEmpty());
        f.dialogs.clear();
        purge->click(); // nothing older left
        QCOMPARE(f.dialogs.titles(), QStringList{"Message"});
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault"); // the step made to fail, or a statement that makes the engine fail
        for (const char *fault : {"archived", "deleted", "logged", "purge deleted", "purge logged", "purge stale"})
            QTest::newRow(fault) << QString(fault);
        for (const char *on : {"INSERT ON PARCOURS", "DELETE ON ELEVE", "INSERT ON CHANGEANNEE"})
            QTest::newRow(on)
                << QString("CREATE TRIGGER t BEFORE %1 BEGIN SELECT RAISE(ABORT, 'disque plein'); END").arg(on);
    }

    // Whatever step of a year change or of a purge fails, or when the purge's counts no longer match what the user
    // confirmed ("stale"), the pupils, the archive and the log stay as they were: each is one transaction.
    void faults()
    {
        QFETCH(QString, fault);
        Fixture f;
        f.exec("INSERT INTO PARCOURS (ANNEE, NOECOLE, NOCLASSE, NOM) VALUES ('2019-2020', 7, 1, 'P1'), "
               "('2020-2021', 7, 1, 'P2')");
        const QStringList before = f.everything();
        const auto failAt = [&](const char *s) { return fault.section(' ', -1) != QLatin1String(s); };
        QString error;
        if (fault.startsWith("CREATE")) {
            f.exec(fault);
            YearChangeWindow w(f.context, *f.window);
            f.change(w);
            QVERIFY(f.dialogs.shown().last().text.startsWith("Le changement d'année a échoué"));
        } else if (fault.startsWith("purge")) {
            QList<ArchivePurge::YearRows> plan = ArchivePurge::Plan(f.context.connection, 7, "2026-2027", 3, &error);
            QCOMPARE(plan.size(), 2);
            if (fault.endsWith("stale"))
                plan.last().rows = 5;
            QVERIFY(!ArchivePurge::Perform(f.context.connection, 7, plan, f.clock.now(), &error, failAt));
        } else {
            QVERIFY(!YearChange::Perform(f.context.connection, 7, "2026-2027", f.clock.now(), nullptr, &error, failAt));
        }
        QVERIFY2(fault.startsWith("CREATE") ||
                     error.contains(fault.endsWith("stale") ? "2020-2021" : fault.section(' ', -1)),
                 qPrintable(error));
        ++faultsTried;
        QCOMPARE(f.everything(), before);
    }

    void offers_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("klass");
        QTest::addColumn<QString>("offered"); // joined by "|"
        const auto row = [](const char *name, const QDate &today, const QString &klass, const QString &offered) {
            QTest::newRow(name) << today << klass << offered;
        };
        row("CP, in August", {2026, 8, 31}, "Martin CP", " GS : Inès| CP : Hugo");
        row("CP, Bruno left out", {2026, 9, 1}, "Martin CP", " GS : Emma| GS : Zoé| GS : Zoé| CP : Lucas");
        row("GS, Bruno of another class", {2026, 9, 1}, "Durand GS", " GS : Bruno| GS : Emma| GS : Zoé| GS : Zoé");
        row("CE1", {2026, 9, 1}, "Petit CE1", " CP : Lucas|CE1 : Chloé");
        row("nobody for the level", {2028, 9, 1}, "Martin CP", "");
    }

    // With nobody to offer, the button closes without congratulating;
    // with no archive at all the window does not open.
    void offers()
    {
        QFETCH(QDate, today);
        QFETCH(QString, klass);
        Fixture f(today, klass);
        LastYearWindow w(f.context);
        QTEST(f.texts(w.list()).join('|'), "offered");
        QCOMPARE(f.dialogs.shown().size(), w.list()->count() ? 0 : 1);
        if (w.list()->count())
            return;
        w.addClicked();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Il n'y a pas d'élèves dans la base de données pour ce niveau là."));
        f.exec("DELETE FROM PARCOURS");
        QCOMPARE(OpenLastYearWindow(f.context, f.window.get()), int(QDialog::Rejected));
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Il n'y a pas d'élèves dans la base de données."));
    }

    // Through the pupil toolbar's menu: the selected pupils join the class
    // without results (the second Zoé is left out, as Bruno was), and the
    // class stays selected with its new pupils.
    void addsSelectedPupils()
    {
        Fixture f(QDate(2026, 9, 1), "Martin CP");
        // More than the 201 entries the list once held.
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250) "
               "INSERT INTO PARCOURS (ANNEE, Niveau, NOM, CSP) SELECT '2025-2026', 'CP', 'Zz ' || i, 1 FROM n");
        int offered = 0;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *w = qobject_cast<LastYearWindow *>(modal);
            if (!w || (offered = w->list()->count()) < 5)
                return void(modal->close());
            for (int row : {0, 1, 2, 3, offered - 1})
                w->list()->item(row)->setSelected(true);
            w->button()->click();
            if (w->isVisible()) // an error was shown: the window must not stay open
                w->reject();
        });
        f.run("pupilToolbar", "ImpListe");
        QCOMPARE(offered, 254);
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Les élèves ont été ajoutés avec succès.\n"
                                "4 élèves ont été ajoutés à la classe « Martin CP ».\n"
                                "2 élève(s) déjà présent(s) dans la classe n'ont pas été ajoutés."));
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Alice", "Bruno", "Chloé", "Emma", "Lucas", "Zoé", "Zz 99"}));
        QCOMPARE(f.query("SELECT NOM, CSP, T3_E1TOT FROM ELEVE ORDER BY NOELEVE DESC LIMIT 4"),
                 (QStringList{"Zz 99|1|<null>", "Lucas|5|<null>", "Zoé|2|<null>", "Emma|1|<null>"}));
    }
};

QTEST_MAIN(TestYearChange)
#include "tst_yearchange.moc"
