// The list toolbars' commands of the main window: deletions with their
// confirmations and cascades, the dialogs they open, the printed pupil list.
#include "AdminFixture.h"
#include "PdfProbe.h"

#include "admin/RecordForm.h"
#include "reports/ReportPrinter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QTest>
#include <QTimer>

namespace {

const QStringList Tables = {"ECOLE", "CLASSE", "ELEVE", "PARCOURS", "CHANGEANNEE"};

QMap<QString, QStringList> snapshot(const AdminFixture &f)
{
    QMap<QString, QStringList> tables;
    for (const QString &t : Tables)
        tables.insert(t, f.rows(t));
    return tables;
}

void trigger(AdminFixture &f, const char *toolbar, int button)
{
    QAction *action = f.form1->toolbarButton(QLatin1String(toolbar), button);
    QVERIFY(action->isEnabled());
    action->trigger();
}

} // namespace

class TestAdministration : public QObject
{
    Q_OBJECT

private slots:
    void deletingASchoolTakesItsClassesAndPupils()
    {
        AdminFixture f;
        QVERIFY(f.start());
        const auto before = snapshot(f);
        f.dialogs.queueAnswer(true);
        f.dialogs.queueAnswer(true);
        trigger(f, "Toolbar1", 3);
        QCOMPARE(f.dialogs.shown().size(), 2);
        QCOMPARE(f.dialogs.shown().at(0).title, QStringLiteral("ATTENTION"));
        QCOMPARE(f.dialogs.shown().at(0).text,
                 QStringLiteral("Vous allez supprimer l'école : Ecole A\nCette opération va supprimer toutes les "
                                "données (classes et élèves).\nVoulez vous continuer ?"));
        QCOMPARE(f.dialogs.shown().at(1).title, QStringLiteral("Confirmer"));
        QCOMPARE(f.dialogs.shown().at(1).text, QStringLiteral("Est-te vous sûr ?"));
        QCOMPARE(f.dialogs.busyDepth(), 0);
        QVERIFY(f.dialogs.busyCount() > 0);

        QCOMPARE(f.query("SELECT NOECOLE FROM ECOLE"), QStringList{"3"});
        QCOMPARE(f.query("SELECT DISTINCT NOECOLE FROM CLASSE"), QStringList{"3"});
        QCOMPARE(f.query("SELECT NOM FROM ELEVE ORDER BY rowid"), QStringList{"Emma"});
        QCOMPARE(f.rows("PARCOURS"), before.value("PARCOURS"));
        QCOMPARE(f.rows("CHANGEANNEE"), before.value("CHANGEANNEE"));
        // The remaining school is selected, with its class and pupil.
        QCOMPARE(f.texts(f.schools()), QStringList{"Ecole B"});
        QCOMPARE(f.selected(f.classes()), QStringLiteral("Petit CE1"));
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Emma"));
        QCOMPARE(f.context.state.CurrentSchoolNo, qint16(3));

        // The last school: empty lists, only "Ajouter" of the schools.
        f.dialogs.queueAnswer(true);
        f.dialogs.queueAnswer(true);
        trigger(f, "Toolbar1", 3);
        QCOMPARE(f.schools()->count(), 0);
        QCOMPARE(f.classes()->count() + f.pupils()->count(), 0);
        QCOMPARE(f.query("SELECT count(*) FROM ECOLE"), QStringList{"0"});
        QCOMPARE(f.query("SELECT count(*) FROM ELEVE"), QStringList{"0"});
        QVERIFY(f.form1->toolbarButton("Toolbar1", 1)->isEnabled());
        QVERIFY(!f.form1->toolbarButton("Toolbar1", 3)->isEnabled());
        QVERIFY(!f.form1->toolbarButton("Toolbar3", 1)->isEnabled());
        QCOMPARE(f.form1->Label6(0)->text(), QStringLiteral("_"));
        QCOMPARE(f.rows("PARCOURS"), before.value("PARCOURS"));
    }

    void deletingAClassOrAPupil()
    {
        AdminFixture f;
        QVERIFY(f.start());
        f.select(f.classes(), QStringLiteral("Martin CP"));
        f.dialogs.queueAnswer(true);
        f.dialogs.queueAnswer(true);
        trigger(f, "Toolbar3", 3);
        QCOMPARE(f.dialogs.shown().at(0).text, QStringLiteral("Vous allez supprimer la classe : Martin CP\nCette "
                                                              "opération va supprimer tous les élèves.\nVoulez vous "
                                                              "continuer ?"));
        QCOMPARE(f.query("SELECT NOECOLE, NOCLASSE FROM CLASSE ORDER BY rowid"), (QStringList{"7|4", "3|9"}));
        QCOMPARE(f.query("SELECT NOM FROM ELEVE ORDER BY rowid"), (QStringList{"Denis", "Emma"}));
        QCOMPARE(f.query("SELECT count(*) FROM PARCOURS"), QStringList{"2"});
        // The first remaining class is selected and keeps its level code.
        QCOMPARE(f.texts(f.classes()), QStringList{"Durand GS"});
        QCOMPARE(f.form1->selectedLevelCode(), 1);
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Denis"));

        f.select(f.schools(), QStringLiteral("Ecole B"));
        f.dialogs.clear();
        f.dialogs.queueAnswer(true);
        f.dialogs.queueAnswer(true);
        trigger(f, "Toolbar4", 3);
        QCOMPARE(f.dialogs.shown().at(0).text,
                 QStringLiteral("Vous allez supprimer l'élève : Emma\nVoulez vous continuer ?"));
        QCOMPARE(f.query("SELECT NOM FROM ELEVE ORDER BY rowid"), QStringList{"Denis"});
        QCOMPARE(f.pupils()->count(), 0);
        // A class without pupils: "Ajouter" and "Importe" only, no "Saisie".
        QVERIFY(!f.form1->toolbarButton("Toolbar4", 3)->isEnabled());
        QVERIFY(f.form1->toolbarButton("Toolbar4", 6)->isEnabled());
        QVERIFY(!f.form1->toolbarButton("Toolbar2", 1)->isEnabled());
    }

    void anythingButYesTwiceChangesNothing_data()
    {
        QTest::addColumn<QString>("toolbar");
        QTest::addColumn<bool>("first");
        for (const char *toolbar : {"Toolbar1", "Toolbar3", "Toolbar4"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1 Non").arg(toolbar))) << toolbar << false;
            QTest::newRow(qPrintable(QStringLiteral("%1 Oui, Non").arg(toolbar))) << toolbar << true;
        }
    }
    void anythingButYesTwiceChangesNothing()
    {
        QFETCH(QString, toolbar);
        QFETCH(bool, first);
        AdminFixture f;
        QVERIFY(f.start());
        const auto before = snapshot(f);
        f.dialogs.queueAnswer(first);
        if (first)
            f.dialogs.queueAnswer(false);
        trigger(f, qPrintable(toolbar), 3);
        QCOMPARE(f.dialogs.shown().size(), first ? 2 : 1);
        QCOMPARE(snapshot(f), before);
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Denis"));
    }

    void aFailureInACascadeDeletesNothing_data()
    {
        QTest::addColumn<QString>("toolbar");
        QTest::newRow("school") << "Toolbar1";
        QTest::newRow("class") << "Toolbar3";
    }
    void aFailureInACascadeDeletesNothing()
    {
        QFETCH(QString, toolbar);
        AdminFixture f;
        QVERIFY(f.start());
        f.select(f.classes(), QStringLiteral("Martin CP"));
        f.select(f.pupils(), QStringLiteral("Bruno"));
        // The classes refuse to go once the pupils are gone.
        QSqlQuery q(f.context.connection.database());
        QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE DELETE ON CLASSE BEGIN SELECT RAISE(ABORT, 'disque plein'); END"));
        const auto before = snapshot(f);
        f.dialogs.queueAnswer(true);
        f.dialogs.queueAnswer(true);
        trigger(f, qPrintable(toolbar), 3);
        QCOMPARE(snapshot(f), before);
        QCOMPARE(f.dialogs.shown().last().title, QStringLiteral("ATTENTION"));
        QVERIFY(f.dialogs.shown().last().text.contains(QStringLiteral("rien n'a été supprimé")));
        QVERIFY(f.dialogs.shown().last().text.contains(QStringLiteral("disque plein")));
        QCOMPARE(f.texts(f.schools()), (QStringList{"Ecole A", "Ecole B"}));
        QCOMPARE(f.selected(f.classes()), QStringLiteral("Martin CP"));
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Bruno"));
        QCOMPARE(f.context.connection.VIEW_ELEVE.recordCount(), 3);
    }

    void printedPupilList()
    {
        AdminFixture f;
        TestSupport::insertRow(f.dir.path(), "ELEVE", {{"NOECOLE", 7}, {"NOCLASSE", 1}, {"NOM", "Jean {Jeannot}"}});
        QVERIFY(f.start());
        f.select(f.classes(), QStringLiteral("Martin CP"));
        f.select(f.pupils(), QStringLiteral("Bruno"));
        auto *printer = f.form1->findChild<ReportPrinter *>(QStringLiteral("vsPrinter3"));
        QVERIFY(printer);
        const QString pdf = f.dir.filePath("liste.pdf");
        printer->printer()->setOutputFileName(pdf);

        f.dialogs.queuePrintAnswer(false);
        trigger(f, "Toolbar4", 8);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Bruno"));
        QCOMPARE(f.context.connection.VIEW_ELEVE.value("NOM").toString(), QStringLiteral("Bruno"));

        f.dialogs.queuePrintAnswer(true);
        trigger(f, "Toolbar4", 8);
        const QString text = PdfProbe::text(pdf);
        QVERIFY(text.contains(QStringLiteral("Liste des élèves")));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\nAlice +Cadre supérieur\\n"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\nBruno +Agriculteur / Pêcheur\\n"))));
        // Code 0 and no code: the name alone.
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\nChloé\\n"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\nJean \\{Jeannot\\}\\n"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Le 06-12-2026 +à 18:30:05 +-1- +Rozodivo"))));
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Bruno"));
        QCOMPARE(f.context.connection.VIEW_ELEVE.value("NOM").toString(), QStringLiteral("Bruno"));
    }

    void toolbarsOpenTheDialogs()
    {
        AdminFixture f;
        QVERIFY(f.start());
        QString seenTitle;
        // "Ajouter" of the pupils: a new pupil typed, saved, then the dialog left.
        QTimer::singleShot(0, [&] {
            auto *form = qobject_cast<RecordForm *>(QApplication::activeModalWidget());
            QVERIFY(form);
            seenTitle = form->findChild<QLabel *>("Label1")->text();
            form->ChampSais(1)->setText(QStringLiteral("Gaston"));
            form->Combo1(0)->setCurrentIndex(2);
            form->toolbarButton("Valider")->trigger();
            form->toolbarButton("Sortie")->trigger();
        });
        trigger(f, "Toolbar4", 1);
        QCOMPARE(seenTitle, QStringLiteral("Nouvel Elève"));
        QCOMPARE(f.query("SELECT NOECOLE, NOCLASSE, CSP FROM ELEVE WHERE NOM = 'Gaston'"), QStringList{"7|4|3"});
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Gaston"));
        QVERIFY(f.context.state.NewPupilFlag);

        // A double-click on a school opens it for editing even with a new-record flag left set.
        f.context.state.NewSchoolFlag = true;
        QTimer::singleShot(0, [&] {
            auto *form = qobject_cast<RecordForm *>(QApplication::activeModalWidget());
            QVERIFY(form);
            seenTitle = form->findChild<QLabel *>("Label1")->text() + " " + form->ChampSais(1)->text();
            form->toolbarButton("Sortie")->trigger();
        });
        f.form1->List3_DblClick();
        QCOMPARE(seenTitle, QStringLiteral("Edition des données école Ecole A"));
        // Any click on the pupil toolbar clears its flag.
        QTimer::singleShot(0, [&] { QApplication::activeModalWidget()->close(); });
        trigger(f, "Toolbar4", 2);
        QVERIFY(!f.context.state.NewPupilFlag);
    }
};

QTEST_MAIN(TestAdministration)
#include "tst_administration.moc"
