// Refilling a class from last year's pupils: who is offered when, the list's
// texts, what is added, and the two "nothing to offer" cases.
#include "TestSupport.h"
#include "WidgetSupport.h"

#include "backup/BackupCommands.h"
#include "common/ScriptedDialogs.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "transfers/LastYearPupils.h"
#include "transfers/LastYearWindow.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {} // namespace

class TestLastYear : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        FixedClock clock;
        AppContext context{dialogs, clock};
        std::unique_ptr<Form1> window;

        // A school with an empty class of each level; `archive` fills PARCOURS.
        Fixture(const QDate &today, bool archive = true) : clock(QDateTime(today, QTime(9, 0)))
        {
            TestSupport::createEmptyDataFolder(dir.path());
            TestSupport::execSql(
                dir.path(), "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole Jules Ferry');"
                            "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU) VALUES "
                            "(1, 1, 'CE1 Mme Roux', 'CE1'), (2, 1, 'CP M. Petit', 'CP'), (3, 1, 'GS Mme Blanc', 'GS')");
            if (archive)
                TestSupport::execSql(
                    dir.path(), "INSERT INTO PARCOURS (ANNEE, Niveau, NOECOLE, NOCLASSE, NOM, CSP, T3_E1TOT) VALUES "
                                "('2025-2026', 'GS', 2, 1, 'Zoé', 2, 12), ('2025-2026', 'CP', 1, 2, 'Lucas', 5, 7),"
                                "('2025-2026', 'GS', 2, 1, 'Emma', 1, 3), ('2025-2026', 'CE1', 1, 1, 'Chloé', 3, 9),"
                                "('2024-2025', 'GS', 2, 1, 'Inès', 4, 1), ('2024-2025', 'CP', 1, 2, 'Hugo', 6, 2),"
                                "('2023-2024', 'CP', 1, 2, 'Léa', 7, 5)");
            context.connection.setDataFolder(dir.path());
            window = std::make_unique<Form1>(context);
            ConnectBackupAndTransfers(*window, context);
        }
        void selectClass(const QString &label)
        {
            QVERIFY(window->Form_Activate());
            const auto found = window->classList()->findItems(label, Qt::MatchExactly);
            QVERIFY(!found.isEmpty());
            window->classList()->setCurrentItem(found.first());
        }
    };

private slots:
    void offers_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("klass");
        QTest::addColumn<QStringList>("offered");
        const QDate august(2026, 8, 31), september(2026, 9, 1);
        QTest::newRow("CP, in August") << august << "CP M. Petit" << QStringList{" GS : Inès", " CP : Hugo"};
        QTest::newRow("CP, from September")
            << september << "CP M. Petit" << QStringList{" GS : Emma", " GS : Zoé", " CP : Lucas"};
        QTest::newRow("GS") << september << "GS Mme Blanc" << QStringList{" GS : Emma", " GS : Zoé"};
        QTest::newRow("CE1") << september << "CE1 Mme Roux" << QStringList{" CP : Lucas", "CE1 : Chloé"};
    }

    void offers()
    {
        QFETCH(QDate, today);
        QFETCH(QString, klass);
        QFETCH(QStringList, offered);
        Fixture f(today);
        f.selectClass(klass);
        LastYearWindow w(f.context, *f.window);
        QCOMPARE(w.windowTitle(), QStringLiteral("Liste élèves année précédente"));
        QCOMPARE(w.findChild<QLabel *>("Label1")->text(), "Classe de : " + klass);
        QCOMPARE(TestSupport::listTexts(w.list()), offered);
        QCOMPARE(w.button()->text(), QStringLiteral("Ajouter les élèves"));
        QCOMPARE(f.dialogs.titles(), QStringList());
    }

    // Through the pupil toolbar's menu: the selected pupils join the class
    // without results, and the class stays selected with its new pupils.
    void addsSelectedPupils()
    {
        Fixture f(QDate(2026, 9, 1));
        // More than the 201 entries the list once held.
        TestSupport::execSql(
            f.dir.path(),
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250) "
            "INSERT INTO PARCOURS (ANNEE, Niveau, NOM, CSP) SELECT '2025-2026', 'CP', 'Zz ' || i, 1 FROM n");
        f.selectClass("CP M. Petit");
        int offered = 0;
        QTimer::singleShot(0, [&] {
            auto *w = qobject_cast<LastYearWindow *>(QApplication::activeModalWidget());
            if (!w)
                return;
            offered = w->list()->count();
            for (int row : {0, 2, offered - 1})
                w->list()->item(row)->setSelected(true);
            w->button()->click();
        });
        QTimer::singleShot(5000, [] {
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                d->reject();
        });
        f.window->runListCommand("Toolbar4", "ImpListe");
        QCOMPARE(offered, 253);
        QCOMPARE(f.dialogs.titles(), QStringList{"Message"});
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Les élèves ont été ajoutés avec succès."));
        QCOMPARE(f.window->classList()->currentItem()->text(), QStringLiteral("CP M. Petit"));
        QCOMPARE(TestSupport::listTexts(f.window->pupilList()), (QStringList{"Emma", "Lucas", "Zz 99"}));
        QSqlQuery q(f.context.connection.database());
        QVERIFY(q.exec("SELECT NOECOLE, NOCLASSE, NOM, CSP, T3_E1TOT FROM ELEVE ORDER BY rowid"));
        QStringList added;
        while (q.next())
            added.append(QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                     q.value(3).toString(), q.isNull(4) ? "<null>" : "result"}
                             .join('|'));
        QCOMPARE(added, (QStringList{"1|2|Emma|1|<null>", "1|2|Lucas|5|<null>", "1|2|Zz 99|1|<null>"}));
    }

    void nothingToOffer()
    {
        {
            Fixture f(QDate(2026, 9, 1), false);
            f.selectClass("CP M. Petit");
            QCOMPARE(OpenLastYearWindow(f.context, *f.window), int(QDialog::Rejected));
            QCOMPARE(f.dialogs.titles(), QStringList{"Message"});
            QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Il n'y a pas d'élèves dans la base de données."));
        }
        // Nobody archived for the level: "Retour" closes without adding or congratulating.
        Fixture f(QDate(2028, 9, 1));
        f.selectClass("CP M. Petit");
        LastYearWindow w(f.context, *f.window);
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Il n'y a pas d'élèves dans la base de données pour ce niveau là."));
        QCOMPARE(w.button()->text(), QStringLiteral("Retour"));
        w.Command1_Click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(f.dialogs.titles(), QStringList{"Message"});
        QCOMPARE(TestSupport::rowCount(f.dir.path(), "ELEVE"), 0);
    }
};

QTEST_MAIN(TestLastYear)
#include "tst_lastyear.moc"
