// The year change: window, refusal, confirmations, archive, log, and a change
// failing at any step.
#include "WindowFixture.h"

#include "transfers/YearChange.h"
#include "transfers/YearChangeWindow.h"

#include <QListWidget>
#include <QTest>

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

    void faults_data()
    {
        QTest::addColumn<QString>("fault"); // the step made to fail, or a statement that makes the engine fail
        for (const char *fault :
             {"archived", "deleted", "logged"})
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
