// Refilling a class from last year's pupils: who is offered when (never a
// name the class has), what is added, what is counted as left out, and the
// two "nothing to offer" cases.
#include "WindowFixture.h"

#include "transfers/LastYearWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

// The sample with an archive over three years, on "school/class": Bruno is in
// "Martin CP" already, and two archived pupils of last year are called Zoé.
struct Fixture : WindowFixture
{
    Fixture(const QDate &today, const QString &place, bool archive = true)
    {
        clock.set(QDateTime(today, QTime(9, 0)));
        fillSample();
        exec(archive ? "INSERT INTO PARCOURS (ANNEE, Niveau, NOECOLE, NOCLASSE, NOM, CSP, T3_E1TOT) VALUES "
                       "('2025-2026', 'GS', 2, 1, 'Zoé', 2, 12), ('2025-2026', 'CP', 1, 2, 'Lucas', 5, 7),"
                       "('2025-2026', 'GS', 2, 1, 'Emma', 1, 3), ('2025-2026', 'CE1', 1, 1, 'Chloé', 3, 9),"
                       "('2025-2026', 'GS', 2, 1, 'Bruno', 4, 2), ('2025-2026', 'GS', 5, 1, 'Zoé', 6, 1),"
                       "('2024-2025', 'GS', 2, 1, 'Inès', 4, 1), ('2024-2025', 'CP', 1, 2, 'Hugo', 6, 2),"
                       "('2023-2024', 'CP', 1, 2, 'Léa', 7, 5)"
                     : "DELETE FROM PARCOURS");
        if (!start())
            qFatal("database not opened");
        select(schools(), place.section('/', 0, 0));
        select(classes(), place.section('/', 1));
    }
};

} // namespace

class TestLastYear : public QObject
{
    Q_OBJECT

private slots:
    void offers_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QStringList>("offered");
        const QDate august(2026, 8, 31), september(2026, 9, 1);
        QTest::newRow("CP, in August") << august << "Ecole A/Martin CP" << QStringList{" GS : Inès", " CP : Hugo"};
        QTest::newRow("CP, from September, Bruno left out")
            << september << "Ecole A/Martin CP" << QStringList{" GS : Emma", " GS : Zoé", " GS : Zoé", " CP : Lucas"};
        QTest::newRow("GS, Bruno is in another class")
            << september << "Ecole A/Durand GS" << QStringList{" GS : Bruno", " GS : Emma", " GS : Zoé", " GS : Zoé"};
        QTest::newRow("CE1") << september << "Ecole B/Petit CE1" << QStringList{" CP : Lucas", "CE1 : Chloé"};
        QTest::newRow("nobody for the level") << QDate(2028, 9, 1) << "Ecole A/Martin CP" << QStringList();
    }

    // With nobody to offer, "Retour" closes without adding or congratulating.
    void offers()
    {
        QFETCH(QDate, today);
        QFETCH(QString, place);
        QFETCH(QStringList, offered);
        Fixture f(today, place);
        LastYearWindow w(f.context);
        QCOMPARE(w.findChild<QLabel *>("title")->text(), "Classe de : " + place.section('/', 1));
        QCOMPARE(f.texts(w.list()), offered);
        if (!offered.isEmpty()) {
            QCOMPARE(w.button()->text(), QStringLiteral("Ajouter les élèves"));
            QCOMPARE(f.dialogs.titles(), QStringList());
            return;
        }
        const QStringList before = f.query("SELECT NOELEVE FROM ELEVE");
        QCOMPARE(w.button()->text(), QStringLiteral("Retour"));
        w.addClicked();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(f.dialogs.titles(), QStringList{"Message"});
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Il n'y a pas d'élèves dans la base de données pour ce niveau là."));
        QCOMPARE(f.query("SELECT NOELEVE FROM ELEVE"), before);
    }

    // Through the pupil toolbar's menu: the selected pupils join the class
    // without results (the second Zoé is left out, as Bruno was), and the
    // class stays selected with its new pupils.
    void addsSelectedPupils()
    {
        Fixture f(QDate(2026, 9, 1), "Ecole A/Martin CP");
        // More than the 201 entries the list once held.
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250) "
               "INSERT INTO PARCOURS (ANNEE, Niveau, NOM, CSP) SELECT '2025-2026', 'CP', 'Zz ' || i, 1 FROM n");
        int offered = 0;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *w = qobject_cast<LastYearWindow *>(modal);
            if (!w || w->list()->count() < 5)
                return void(modal->close());
            offered = w->list()->count();
            for (int row : {0, 1, 2, 3, offered - 1})
                w->list()->item(row)->setSelected(true);
            w->button()->click();
            if (w->isVisible()) // an error was shown: the window must not stay open
                w->reject();
        });
        f.run("pupilToolbar", "ImpListe");
        QCOMPARE(offered, 254);
        QCOMPARE(f.dialogs.titles(), QStringList{"Message"});
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Les élèves ont été ajoutés avec succès.\n"
                                "2 élève(s) déjà présent(s) dans la classe n'ont pas été ajoutés."));
        QCOMPARE(f.selected(f.classes()), QStringLiteral("Martin CP"));
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Alice", "Bruno", "Chloé", "Emma", "Lucas", "Zoé", "Zz 99"}));
        QCOMPARE(f.query("SELECT NOM, CSP, T3_E1TOT FROM ELEVE WHERE NOECOLE = 7 AND NOCLASSE = 1 ORDER BY NOELEVE"),
                 (QStringList{"Alice|5|<null>", "Bruno|2|<null>", "Chloé|0|<null>", "Emma|1|<null>", "Zoé|2|<null>",
                              "Lucas|5|<null>", "Zz 99|1|<null>"}));
    }

    void nothingArchived()
    {
        Fixture f(QDate(2026, 9, 1), "Ecole A/Martin CP", false);
        QCOMPARE(OpenLastYearWindow(f.context, f.window.get()), int(QDialog::Rejected));
        QCOMPARE(f.dialogs.titles(), QStringList{"Message"});
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Il n'y a pas d'élèves dans la base de données."));
    }
};

QTEST_MAIN(TestLastYear)
#include "tst_lastyear.moc"
