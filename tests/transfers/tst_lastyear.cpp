// Refilling a class from last year's pupils: who is offered when (never a
// name the class has), what is added, what is counted as left out, and the
// two "nothing to offer" cases.
#include "WindowFixture.h"

#include "transfers/LastYearWindow.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

// The sample with an archive over three years, on a class: Bruno is in
// "Martin CP" already, and two archived pupils of last year are called Zoé.
struct Fixture : WindowFixture
{
    Fixture(const QDate &today, const QString &klass)
    {
        clock.set(QDateTime(today, QTime(9, 0)));
        fillSample();
        exec("INSERT INTO PARCOURS (ANNEE, Niveau, NOM, CSP, T3_E1TOT) VALUES ('2025-2026', 'GS', 'Zoé', 2, 12), "
             "('2025-2026', 'CP', 'Lucas', 5, 7), ('2025-2026', 'GS', 'Emma', 1, 3), "
             "('2025-2026', 'CE1', 'Chloé', 3, 9), ('2025-2026', 'GS', 'Bruno', 4, 2), "
             "('2025-2026', 'GS', 'Zoé', 6, 1), ('2024-2025', 'GS', 'Inès', 4, 1), "
             "('2024-2025', 'CP', 'Hugo', 6, 2), ('2023-2024', 'CP', 'Léa', 7, 5)");
        if (!start())
            qFatal("database not opened");
        select(schools(), klass.endsWith("CE1") ? "Ecole B" : "Ecole A");
        select(classes(), klass);
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

QTEST_MAIN(TestLastYear)
#include "tst_lastyear.moc"
