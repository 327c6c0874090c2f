// The year change: window, refusal, confirmations, archive, log, and a change
// failing at any step.
#include "WindowFixture.h"

#include "transfers/ArchivePurge.h"
#include "transfers/YearChange.h"
#include "transfers/YearChangeWindow.h"

#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

namespace {

int faultsTried = 0;

// The sample in June 2027 (the year closed is 2026-2027), Alice with results.
struct Fixture : WindowFixture
{
    explicit Fixture(const QString &breakage = {})
    {
        clock.set(QDateTime(QDate(2027, 6, 15), QTime(17, 45)));
        fillSample();
        exec("UPDATE ELEVE SET T1_E1P1 = 3, T1_E1TOT = 12, T2_E3PRO = 'A', T3_E2P7 = 99, PROFIL_CT = 'F', "
             "MOYCAT_L = 2.5 WHERE NOM = 'Alice'");
        if (!start())
            qFatal("database not opened");
        if (!breakage.isEmpty())
            exec(breakage);
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

    // The purge is one transaction: a step that fails, or counts that no
    // longer match what the user confirmed, leave every row.
    void purgeIsAllOrNothing()
    {
        Fixture f;
        f.exec("INSERT INTO PARCOURS (ANNEE, NOECOLE, NOCLASSE, NOM) VALUES ('2019-2020', 7, 1, 'P1'), "
               "('2020-2021', 7, 1, 'P2')");
        const QStringList before = f.everything();
        QString error;
        const QList<ArchivePurge::YearRows> plan = ArchivePurge::Plan(f.context.connection, 7, "2026-2027", 3, &error);
        QCOMPARE(plan.size(), 2);
        for (const char *step : {"deleted", "logged"}) {
            QVERIFY(!ArchivePurge::Perform(f.context.connection, 7, plan, f.clock.now(), &error,
                                           [&](const char *s) { return qstrcmp(s, step) != 0; }));
            QCOMPARE(f.everything(), before);
        }
        QList<ArchivePurge::YearRows> stale = plan;
        stale.last().rows = 5;
        QVERIFY(!ArchivePurge::Perform(f.context.connection, 7, stale, f.clock.now(), &error));
        QVERIFY(error.contains("2020-2021"));
        QCOMPARE(f.everything(), before);
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault"); // the step made to fail, or a statement that makes the engine fail
        for (const char *fault : {"archived", "deleted", "logged"})
            QTest::newRow(fault) << QString(fault);
        for (const char *on : {"INSERT ON PARCOURS", "DELETE ON ELEVE", "INSERT ON CHANGEANNEE"})
            QTest::newRow(on)
                << QString("CREATE TRIGGER t BEFORE %1 BEGIN SELECT RAISE(ABORT, 'disque plein'); END").arg(on);
    }

    // Whatever step fails, the pupils, the archive and the log stay as they were.
    void faults()
    {
        QFETCH(QString, fault);
        const bool step = !fault.contains(' ');
        Fixture f(step ? QString() : fault);
        const QStringList before = f.everything();
        if (step) {
            QString error;
            QVERIFY(!YearChange::Perform(f.context.connection, 7, "2026-2027", f.clock.now(), nullptr, &error,
                                         [&](const char *s) { return fault != QLatin1String(s); }));
            QVERIFY(error.contains(fault));
        } else {
            YearChangeWindow w(f.context, *f.window);
            f.change(w);
            QVERIFY(f.dialogs.shown().last().text.startsWith("Le changement d'année a échoué"));
        }
        ++faultsTried;
        QCOMPARE(f.everything(), before);
    }
};

QTEST_MAIN(TestYearChange)
#include "tst_yearchange.moc"
