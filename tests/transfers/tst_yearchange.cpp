// The year change: window, refusal, confirmations, archive, log, and a change
// failing at any step.
#include "WindowFixture.h"

#include "transfers/YearChange.h"
#include "transfers/YearChangeWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

int faultsTried = 0;
int rowsLost = 0;

// The sample in June 2027 (the year closed is 2026-2027), Alice with results.
struct Fixture : WindowFixture
{
    explicit Fixture(const QString &breakage = {})
    {
        clock.set(QDateTime(QDate(2027, 6, 15), QTime(17, 45)));
        fillSample();
        exec("UPDATE ELEVE SET T1_E1P1 = 3, T1_E1TOT = 12, T2_E3PRO = 'A', T3_E2P7 = 99, PROFIL_CT = 'F', "
             "MOYCAT_L = 2.5 WHERE NOM = 'Alice'");
        if (!breakage.isEmpty())
            exec(breakage);
        if (!start())
            qFatal("database not opened");
    }
    QString lastChange() const { return window->findChild<QLabel *>("lastChangeLabel")->text(); }
    // Every archived column of the pupils `where` selects in `table` (ELEVE or the archive).
    QStringList rowsOf(const QString &table, const QString &where) const
    {
        const QStringList columns = query("SELECT name FROM pragma_table_info('PARCOURS') WHERE name NOT IN "
                                          "('ANNEE', 'Niveau')");
        return query(QString("SELECT %1 FROM %2 WHERE %3 ORDER BY NOM").arg(columns.join(','), table, where));
    }
    // Runs the change in `w`, answering the two questions.
    void change(YearChangeWindow &w, bool first = true, bool second = true)
    {
        dialogs.queueAnswer(first);
        if (first)
            dialogs.queueAnswer(second);
        w.changeYearClicked();
    }
    QStringList everything() const
    {
        QStringList all;
        for (const char *table : {"ELEVE", "PARCOURS", "CHANGEANNEE"})
            all += TestSupport::tableRows(context.connection.database(), QLatin1String(table));
        return all;
    }
};

} // namespace

class TestYearChange : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase()
    {
        qInfo("fault injection (year change): %d faults tried, %d rows lost", faultsTried, rowsLost);
    }

    // The first years are compared as texts; an empty last change never refuses.
    void alreadyChanged()
    {
        using YearChange::AlreadyChanged;
        QCOMPARE((QList<bool>{AlreadyChanged("2025-2026", ""), AlreadyChanged("2025-2026", "2025-2026"),
                              AlreadyChanged("2026-2027", "2025-2026"), AlreadyChanged("2024-2025", "2025-2026")}),
                 (QList<bool>{false, true, false, true}));
    }

    // School A is archived with all its results under the closing year, its
    // pupils deleted and the change logged (the log's last number plus 1);
    // school B is untouched until its own change.
    void changesSchoolsInTurn()
    {
        Fixture f;
        const QStringList schoolA = f.rowsOf("ELEVE", "NOECOLE = 7");
        QStringList schoolB = f.rowsOf("ELEVE", "NOECOLE = 3");
        const QStringList unchanged = f.everything();
        {
            YearChangeWindow w(f.context, *f.window);
            // "Non" to either question changes nothing.
            f.change(w, false);
            f.change(w, true, false);
            QCOMPARE(f.everything(), unchanged);
            f.dialogs.clear();

            QCOMPARE(w.findChild<QLabel *>("ClosingYear")->text(), QStringLiteral("2026-2027"));
            QCOMPARE(w.findChild<QLabel *>("NextYear")->text(), QStringLiteral("2027-2028"));
            QCOMPARE(w.historyList()->topLevelItemCount(), 1);
            QCOMPARE(f.lastChange(), QStringLiteral("Dernier changement d'année : 2025-2026"));
            f.change(w);
            QCOMPARE(f.dialogs.titles(), (QStringList{"Confirmez", "Confirmez", "Message"}));
            QCOMPARE(f.dialogs.shown().last().text,
                     QStringLiteral("La procédure de changement d'année s'est déroulée avec succès !"));
            QCOMPARE(w.historyList()->topLevelItemCount(), 2);
            const QTreeWidgetItem *latest = w.historyList()->currentItem();
            QVERIFY(latest);
            QCOMPARE(QStringList({latest->text(0), latest->text(1), latest->text(2), latest->text(3)}),
                     (QStringList{"4", "15/06/2027 17:45", "4", "Année 2026-2027"}));
        }
        QCOMPARE(f.lastChange(), QStringLiteral("Dernier changement d'année : 2026-2027"));
        QCOMPARE(f.rowsOf("PARCOURS", "NOECOLE = 7 AND ANNEE = '2026-2027'"), schoolA);
        QCOMPARE(f.query("SELECT Niveau, NOM FROM PARCOURS WHERE ANNEE = '2026-2027' ORDER BY NOM"),
                 (QStringList{"CP|Alice", "CP|Bruno", "CP|Chloé", "GS|Denis"}));
        QCOMPARE(f.rowsOf("ELEVE", "NOECOLE = 7"), QStringList());
        QCOMPARE(f.rowsOf("ELEVE", "NOECOLE = 3"), schoolB);
        QCOMPARE(f.classes()->count(), 2);
        QCOMPARE(f.pupils()->count(), 0);

        // A second change in the same year is refused.
        f.dialogs.clear();
        const QStringList before = f.everything();
        YearChangeWindow(f.context, *f.window).changeYearClicked();
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Le changement d'année a déjà été effectué\nLa procédure est abandonnée."));
        QCOMPARE(f.everything(), before);

        f.select(f.schools(), "Ecole B");
        schoolB = f.rowsOf("ELEVE", "NOECOLE = 3"); // with the profile shown on selection
        QCOMPARE(f.lastChange(), QStringLiteral("Dernier changement d'année : 2025-2026"));
        YearChangeWindow w(f.context, *f.window);
        f.change(w);
        QCOMPARE(f.query("SELECT NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE FROM CHANGEANNEE ORDER BY rowid"),
                 (QStringList{"7|7|2025-2026|<null>|<null>|<null>", "3|3|2025-2026|<null>|<null>|<null>",
                              "4|7|2026-2027|4|2027-06-15T17:45:00|Année 2026-2027",
                              "5|3|2026-2027|1|2027-06-15T17:45:00|Année 2026-2027"}));
        QCOMPARE(f.rowsOf("PARCOURS", "NOECOLE = 3 AND ANNEE = '2026-2027'"), schoolB);
        QCOMPARE(f.dialogs.unansweredQuestions(), 0);
        QCOMPARE(f.dialogs.pendingAnswers(), 0);
    }

    void faults_data()
    {
        QTest::addColumn<QByteArray>("step");  // the step made to fail
        QTest::addColumn<QString>("breakage"); // or a statement that makes the engine fail
        for (const char *step : {"archived", "deleted", "logged"})
            QTest::newRow(step) << QByteArray(step) << QString();
        const QString refused =
            QStringLiteral("CREATE TRIGGER t BEFORE %1 BEGIN SELECT RAISE(ABORT, 'disque plein'); END");
        QTest::newRow("archive refused") << QByteArray() << refused.arg("INSERT ON PARCOURS");
        QTest::newRow("deletion refused") << QByteArray() << refused.arg("DELETE ON ELEVE");
        QTest::newRow("log refused") << QByteArray() << refused.arg("INSERT ON CHANGEANNEE");
        QTest::newRow("delete query missing")
            << QByteArray() << "DELETE FROM REQUETES WHERE NOM_REQUETE = 'SUP_ELEVE_ECOLE'";
    }

    // Whatever step fails, the pupils, the archive and the log stay as they were.
    void faults()
    {
        QFETCH(QByteArray, step);
        QFETCH(QString, breakage);
        Fixture f(breakage);
        const QStringList before = f.everything();
        if (!step.isEmpty()) {
            QString error;
            QVERIFY(!YearChange::Perform(f.context.connection, 7, "2026-2027", f.clock.now(), nullptr, &error,
                                         [step](const char *s) { return step != s; }));
            QVERIFY(error.contains(QLatin1String(step)));
        } else {
            YearChangeWindow w(f.context, *f.window);
            f.change(w);
            QCOMPARE(f.dialogs.titles().last(), QStringLiteral("Abandon"));
            const QString text = f.dialogs.shown().last().text;
            QVERIFY2(text.startsWith("Le changement d'année a échoué") && !text.section("\n\n", 1).isEmpty(),
                     qPrintable(text));
        }
        ++faultsTried;
        const QStringList after = f.everything();
        for (const QString &row : before)
            rowsLost += after.contains(row) ? 0 : 1;
        QCOMPARE(after, before);
    }
};

QTEST_MAIN(TestYearChange)
#include "tst_yearchange.moc"
