// The year change: window, refusal, confirmations, archive, log, and a change failing at any step.
#include "TestSupport.h"

#include "backup/BackupCommands.h"
#include "common/ScriptedDialogs.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "transfers/YearChange.h"
#include "transfers/YearChangeWindow.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

QStringList rows(const QSqlDatabase &db, const QString &sql)
{
    QStringList result;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        return {QStringLiteral("<error>")};
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values.append(q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
        result.append(values.join(QLatin1Char('|')));
    }
    return result;
}

// Every column of ELEVE for the school's pupils, read from `table` (ELEVE or the archive).
QStringList pupils(const QSqlDatabase &db, const char *table, int school)
{
    const QStringList columns = rows(db, "SELECT group_concat(name) FROM pragma_table_info('ELEVE')");
    return rows(db, QStringLiteral("SELECT %1 FROM %2 WHERE NOECOLE = %3 ORDER BY NOM")
                        .arg(columns.value(0), QLatin1String(table))
                        .arg(school));
}

QStringList texts(const QTreeWidgetItem *item)
{
    return {item->text(0), item->text(1), item->text(2), item->text(3)};
}

int faultsTried = 0;
int rowsLost = 0;

} // namespace

class TestYearChange : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        FixedClock clock{QDateTime(QDate(2026, 6, 15), QTime(17, 45))};
        AppContext context{dialogs, clock};
        std::unique_ptr<Form1> window;

        // School 1: a CP and a CE1 class, three pupils with results; school 2: two pupils.
        Fixture()
        {
            const QString folder = dir.path();
            TestSupport::createEmptyDataFolder(folder);
            TestSupport::execSql(
                folder, "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole Jules Ferry'), (2, 'Ecole du Port');"
                        "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU) VALUES "
                        "(1, 1, 'CP A', 'CP'), (2, 1, 'CE1 B', 'CE1'), (1, 2, 'CP du port', 'CP');"
                        "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1TOT, T2_E3PRO, T3_E2P7, "
                        "PROFIL_CT, MOYCAT_L) VALUES "
                        "(1, 1, 'Zoé', 2, 3, 12, 'A', 99, 'F', 2.5), (1, 1, 'Jean \"Jeannot\" Dupont', 5, 1, 4, "
                        "'F', 7, 'A', 1.25), (1, 2, 'Lucas', 3, NULL, NULL, NULL, NULL, NULL, NULL),"
                        "(2, 1, 'Inès', 1, 2, 8, 'A', 3, 'A', 3), (2, 1, 'Hugo', 4, 0, 0, 'F', 0, 'F', 4)");
            context.connection.setDataFolder(folder);
            window = std::make_unique<Form1>(context);
            ConnectBackupAndTransfers(*window, context);
        }
        QSqlDatabase db() { return context.connection.database(); }
        // Runs the change in `w` (a new window by default), answering the two questions.
        void change(YearChangeWindow *w = nullptr, bool first = true, bool second = true)
        {
            dialogs.queueAnswer(first);
            if (first)
                dialogs.queueAnswer(second);
            w ? w->Command1_Click() : YearChangeWindow(context, *window).Command1_Click();
        }
        QStringList everything()
        {
            QStringList all;
            for (const char *table : {"ELEVE", "PARCOURS", "CHANGEANNEE"})
                all += TestSupport::tableRows(db(), QLatin1String(table));
            return all;
        }
    };

private slots:
    void cleanupTestCase()
    {
        qInfo("fault injection (year change): %d faults tried, %d rows lost", faultsTried, rowsLost);
    }

    // The first years are compared as texts; an empty last change never refuses.
    void alreadyChanged()
    {
        QVERIFY(!YearChange::AlreadyChanged("2025-2026", ""));
        QVERIFY(YearChange::AlreadyChanged("2025-2026", "2025-2026"));
        QVERIFY(!YearChange::AlreadyChanged("2026-2027", "2025-2026"));
        QVERIFY(YearChange::AlreadyChanged("2024-2025", "2025-2026"));
    }

    // School 1 is archived with all its results under the clock's closing
    // year, its pupils deleted and the change logged; school 2 is untouched
    // until its own change, which gets the next operation number.
    void changesSchoolsInTurn()
    {
        Fixture f;
        QVERIFY(f.window->Form_Activate());
        auto *label7 = f.window->findChild<QLabel *>("Label7");
        const QStringList school1 = pupils(f.db(), "ELEVE", 1);
        const QStringList school2 = pupils(f.db(), "ELEVE", 2);
        QCOMPARE(school1.size() + school2.size(), 5);
        const QStringList unchanged = f.everything();
        {
            YearChangeWindow w(f.context, *f.window);
            // "Non" to either question changes nothing.
            f.change(&w, false);
            f.change(&w, true, false);
            QCOMPARE(f.everything(), unchanged);
            f.dialogs.clear();

            QCOMPARE(w.windowTitle(), QStringLiteral("Changement d'année"));
            QCOMPARE(w.findChild<QLabel *>("ClosingYear")->text(), QStringLiteral("2025-2026"));
            QCOMPARE(w.findChild<QLabel *>("NextYear")->text(), QStringLiteral("2026-2027"));
            QVERIFY(w.findChild<QLabel *>("Description")
                        ->text()
                        .startsWith("La procédure de changement d'année a pour but :\n1- "));
            QCOMPARE(texts(w.historyList()->headerItem()), (QStringList{"Ordre", "Date", "Nb. élèves", "Libellé"}));
            QCOMPARE(w.historyList()->topLevelItemCount(), 0);
            QCOMPARE(label7->text(), QStringLiteral("Dernier changement d'année : "));
            f.change(&w);
            QCOMPARE(f.dialogs.titles(), (QStringList{"Confirmez", "Confirmez", "Message"}));
            QCOMPARE(f.dialogs.shown().last().text,
                     QStringLiteral("La procédure de changement d'année s'est déroulée avec succès !"));
            QCOMPARE(w.historyList()->topLevelItemCount(), 1);
            QVERIFY(w.historyList()->currentItem());
            QCOMPARE(texts(w.historyList()->currentItem()),
                     (QStringList{"1", "15/06/2026 17:45", "3", "Année 2025-2026"}));
            QCOMPARE(w.lastChangeYear(), QStringLiteral("2025-2026"));
        }
        QCOMPARE(label7->text(), QStringLiteral("Dernier changement d'année : 2025-2026"));
        QCOMPARE(pupils(f.db(), "PARCOURS", 1), school1);
        QCOMPARE(rows(f.db(), "SELECT DISTINCT ANNEE FROM PARCOURS"), QStringList{"2025-2026"});
        QCOMPARE(rows(f.db(), "SELECT Niveau, NOM FROM PARCOURS ORDER BY NOM"),
                 (QStringList{"CP|Jean \"Jeannot\" Dupont", "CE1|Lucas", "CP|Zoé"}));
        QCOMPARE(pupils(f.db(), "ELEVE", 1), QStringList());
        QCOMPARE(pupils(f.db(), "ELEVE", 2), school2);
        QCOMPARE(TestSupport::tableRows(f.db(), "CLASSE").size(), 3);
        QCOMPARE(f.window->classList()->count(), 2);
        QCOMPARE(f.window->pupilList()->count(), 0);

        // A second change in the same year is refused.
        f.dialogs.clear();
        const QStringList before = f.everything();
        YearChangeWindow(f.context, *f.window).Command1_Click();
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Le changement d'année a déjà été effectué\nLa procédure est abandonnée."));
        QCOMPARE(f.everything(), before);

        f.window->schoolList()->setCurrentRow(1);
        QCOMPARE(label7->text(), QStringLiteral("Dernier changement d'année : "));
        f.change();
        QCOMPARE(
            rows(f.db(), "SELECT NO_OPER, NOECOLE, ANNEE, nb_eleve, date, LIBELLE FROM CHANGEANNEE ORDER BY rowid"),
            (QStringList{"1|1|2025-2026|3|2026-06-15T17:45:00|Année 2025-2026",
                         "2|2|2025-2026|2|2026-06-15T17:45:00|Année 2025-2026"}));
        QCOMPARE(pupils(f.db(), "PARCOURS", 2), school2);
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
        Fixture f;
        if (!breakage.isEmpty())
            TestSupport::execSql(f.dir.path(), breakage);
        QVERIFY(f.window->Form_Activate());
        const QStringList before = f.everything();
        if (!step.isEmpty()) {
            QString error;
            QVERIFY(!YearChange::Perform(f.context.connection, 1, "2025-2026", f.clock.now(), nullptr, &error,
                                         [step](const char *s) { return step != s; }));
            QVERIFY(error.contains(QLatin1String(step)));
        } else {
            f.change();
            QCOMPARE(f.dialogs.titles().last(), QStringLiteral("Abandon"));
            QVERIFY(f.dialogs.shown().last().text.startsWith("Le changement d'année a échoué"));
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
