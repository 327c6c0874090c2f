// The school, class and pupil dialogs driven through their fields and toolbar.
#include "AdminFixture.h"
#include "PdfProbe.h"

#include "admin/FormClasse.h"
#include "admin/FormEcole.h"
#include "admin/FormEleve.h"
#include "reports/ReportPrinter.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QSignalSpy>
#include <QTest>

namespace {

void type(RecordForm &form, int field, const QString &text)
{
    form.ChampSais(field)->setText(text);
}
void choose(RecordForm &form, int list, int entry)
{
    form.Combo1(list)->setCurrentIndex(entry);
}
void click(RecordForm &form, const char *key)
{
    QAction *action = form.toolbarButton(QLatin1String(key));
    QVERIFY2(action && action->isEnabled(), key);
    action->trigger();
}
QStringList enabledButtons(const RecordForm &form)
{
    QStringList keys;
    for (const char *key : {"Modifie", "Valider", "ValidSuiv", "Abandon", "Imprime", "Sortie"})
        if (QAction *a = form.toolbarButton(QLatin1String(key)); a && a->isEnabled())
            keys.append(QLatin1String(key));
    return keys;
}
QString title(const RecordForm &form)
{
    return form.findChild<QLabel *>(QStringLiteral("Label1"))->text();
}
// Types `name` into the first field and "x" into the others, and chooses each list's first entry.
void fill(RecordForm &form, const QString &name, int fields, int lists)
{
    for (int i = 1; i <= fields; ++i)
        type(form, i, i == 1 ? name : QStringLiteral("x"));
    for (int i = 0; i < lists; ++i)
        choose(form, i, 0);
}

} // namespace

class TestRecordForms : public QObject
{
    Q_OBJECT

private slots:
    void schoolsAreNumberedAfterTheLastRow()
    {
        AdminFixture empty(false);
        QVERIFY(empty.start());
        empty.context.state.NewSchoolFlag = true;
        FormEcole form(empty.context, *empty.form1);
        QCOMPARE(title(form), QStringLiteral("Nouvelle école"));
        QCOMPARE(enabledButtons(form), (QStringList{"Valider", "Abandon"}));
        for (auto [field, text] : {std::pair{1, "  Les Tilleuls  "}, {2, "Brest"}, {3, "Collège Jean Moulin"}, {4, "Brest"}})
            type(form, field, QString::fromUtf8(text));
        for (auto [list, entry] : {std::pair{0, 1}, {1, 2}, {2, 0}})
            choose(form, list, entry);
        click(form, "Valider");
        QCOMPARE(empty.query("SELECT NOECOLE, NOM_ECOLE, ZEP, BCD, STAGE FROM ECOLE"),
                 QStringList{"1|Les Tilleuls|2|3|1"});
        // The school list shows the saved school, selected; its toolbar is usable.
        QCOMPARE(empty.selected(empty.schools()), QStringLiteral("Les Tilleuls"));
        QCOMPARE(empty.context.state.CurrentSchoolNo, qint16(1));
        QVERIFY(empty.form1->toolbarButton("Toolbar3", 1)->isEnabled());
        QCOMPARE(enabledButtons(form), (QStringList{"Modifie", "Imprime", "Sortie"}));

        // Editing again edits that school: no second one.
        click(form, "Modifie");
        type(form, 2, QStringLiteral("Quimper"));
        click(form, "Valider");
        QCOMPARE(empty.query("SELECT NOECOLE, NOM_COMM FROM ECOLE"), QStringList{"1|Quimper"});
        QCOMPARE(title(form), QStringLiteral("Edition des données école"));

        // With schools 7 then 3, the next one is 4: the last row's number plus 1.
        AdminFixture f;
        QVERIFY(f.start());
        f.context.state.NewSchoolFlag = true;
        FormEcole next(f.context, *f.form1);
        fill(next, QStringLiteral("Ecole C"), 4, 3);
        click(next, "Valider");
        QCOMPARE(f.query("SELECT NOECOLE FROM ECOLE WHERE NOM_ECOLE = 'Ecole C'"), QStringList{"4"});
        QCOMPARE(f.texts(f.schools()), (QStringList{"Ecole A", "Ecole B", "Ecole C"}));
        QCOMPARE(f.schools()->currentRow(), 2);
    }

    void numbersStayWithinSixteenBits()
    {
        AdminFixture f;
        TestSupport::insertRow(f.dir.path(), "ECOLE", {{"NOECOLE", 32767}, {"NOM_ECOLE", "Dernière"}});
        TestSupport::insertRow(f.dir.path(), "CLASSE",
                               {{"NOECOLE", 3}, {"NOCLASSE", 32767}, {"LIBELLE", "Pleine CP"}, {"NIVEAU", "CP"}});
        QVERIFY(f.start());
        const QStringList schools = f.rows("ECOLE");
        f.context.state.NewSchoolFlag = true;
        FormEcole school(f.context, *f.form1);
        fill(school, QStringLiteral("x"), 4, 3);
        click(school, "Valider");
        QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
        QVERIFY(f.dialogs.shown().last().text.contains(QStringLiteral("32767")));
        QCOMPARE(f.rows("ECOLE"), schools);
        QVERIFY(school.editing());

        f.select(f.schools(), QStringLiteral("Ecole B"));
        const QStringList classes = f.rows("CLASSE");
        f.context.state.NewClassFlag = true;
        FormClasse klass(f.context, *f.form1);
        fill(klass, QStringLiteral("Roux"), 1, 4);
        click(klass, "Valider");
        QCOMPARE(f.dialogs.titles(), (QStringList{"ATTENTION", "ATTENTION"}));
        QCOMPARE(f.rows("CLASSE"), classes);
    }

    void listsStoreCodesRefuseEmptyFieldsAndPrint()
    {
        AdminFixture f;
        QVERIFY(f.start());
        FormEcole form(f.context, *f.form1);
        QCOMPARE(title(form), QStringLiteral("Edition des données école"));
        QCOMPARE(enabledButtons(form), (QStringList{"Modifie", "Imprime", "Sortie"}));
        QVERIFY(!form.ChampSais(1)->isEnabled());
        QCOMPARE(form.ChampSais(1)->text(), QStringLiteral("Ecole A"));
        QCOMPARE(form.Combo1(0)->currentText(), QStringLiteral("Oui"));
        QCOMPARE(form.Combo1(1)->currentText(), QStringLiteral("Avec Personnel"));
        QCOMPARE(form.Combo1(2)->currentText(), QString()); // code 0 shows no entry

        click(form, "Modifie");
        QVERIFY(form.ChampSais(1)->isEnabled() && form.Combo1(2)->isEnabled());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        type(form, 3, QString());
        click(form, "Valider");
        QCOMPARE(f.dialogs.shown().last().title, QStringLiteral("ATTENTION"));
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Attention vous devez saisir une valeur"));
        QCOMPARE(QApplication::focusWidget(), form.ChampSais(3));
        QVERIFY(form.editing());

        // The record sheet prints what the dialog shows, unsaved edits included.
        const QString pdf = f.dir.filePath("fiche.pdf");
        form.printer()->printer()->setOutputFileName(pdf);
        type(form, 2, QStringLiteral("Morlaix"));
        type(form, 4, QString());
        f.dialogs.queuePrintAnswer(true);
        form.PrintRecordSheet();
        const QString text = PdfProbe::text(pdf);
        QVERIFY(text.contains(QStringLiteral("Informations sur l'école")));
        for (const char *line : {"Nom de l'école : Ecole A", "Commune : Morlaix", "Nom de la commune du collège :",
                                 "Zone sensible : Oui", "BCD : Avec Personnel", "Stage :"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), line);
        QVERIFY(text.contains(QRegularExpression("Le 06-12-2026 +à 18:30:05 +-1- +Rozodivo Velorin - v")));
        QCOMPARE(f.query("SELECT NOM_COMM FROM ECOLE WHERE NOECOLE = 7"), QStringList{"Brest"});

        type(form, 3, QStringLiteral("Collège"));
        type(form, 4, QStringLiteral("   "));                     // blanks pass and are written empty
        form.Combo1(0)->setEditText(QStringLiteral("Peut-être")); // typed, not chosen
        form.Combo1(2)->setEditText(QStringLiteral("Sans"));      // typed as an entry reads
        click(form, "Valider");
        QCOMPARE(f.query("SELECT NOM_COLL, NOM_COMC, ZEP, BCD, STAGE FROM ECOLE WHERE NOECOLE = 7"),
                 QStringList{"Collège||0|3|2"});
        form.hide();
    }

    void classNumbersLabelsAndLevels()
    {
        AdminFixture f;
        QVERIFY(f.start());
        // "Abandon" closes a new record's dialog without writing, and restores an edited one.
        const QStringList before = f.rows("CLASSE");
        f.context.state.NewClassFlag = true;
        FormClasse added(f.context, *f.form1);
        QSignalSpy closed(&added, &QDialog::finished);
        type(added, 1, QStringLiteral("Leroy"));
        click(added, "Abandon");
        QCOMPARE(closed.size(), 1);
        f.context.state.NewClassFlag = false;
        FormClasse edited(f.context, *f.form1);
        QCOMPARE(edited.ChampSais(1)->text(), QString()); // Durand GS has no teacher's name stored
        click(edited, "Modifie");
        type(edited, 1, QStringLiteral("Durand"));
        click(edited, "Abandon");
        QCOMPARE(edited.ChampSais(1)->text(), QString());
        QCOMPARE(enabledButtons(edited), (QStringList{"Modifie", "Imprime", "Sortie"}));
        QCOMPARE(f.rows("CLASSE"), before);

        f.select(f.classes(), QStringLiteral("Martin CP"));
        f.context.state.NewPupilFlag = true;
        FormEleve more(f.context, *f.form1);
        QSignalSpy pupilClosed(&more, &QDialog::finished);
        type(more, 1, QStringLiteral("Xavier"));
        click(more, "Abandon");
        QCOMPARE(pupilClosed.size(), 1);
        QCOMPARE(f.query("SELECT count(*) FROM ELEVE"), QStringList{"5"});

        f.select(f.classes(), QStringLiteral("Durand GS"));
        f.context.state.NewClassFlag = true;
        FormClasse form(f.context, *f.form1);
        QCOMPARE(title(form), QStringLiteral("Nouvelle classe"));
        type(form, 1, QStringLiteral(" Leroy "));
        form.Combo1(0)->setEditText(QStringLiteral("cp")); // typed level, written as typed
        for (auto [list, entry] : {std::pair{1, 1}, {2, 2}, {3, 2}})
            choose(form, list, entry);
        click(form, "Valider");
        QCOMPARE(f.query("SELECT NOECOLE, NOCLASSE, ENSEIGN, NIVEAU, LIBELLE, TEMP_UTIL, EXPER, FORMAT "
                         "FROM CLASSE WHERE ENSEIGN = 'Leroy'"),
                 QStringList{"7|5|Leroy|cp|Leroy cp|2|3|3"});
        QCOMPARE(f.selected(f.classes()), QStringLiteral("Leroy cp"));
        QCOMPARE(f.form1->selectedLevelCode(), 0);
        QCOMPARE(f.context.state.CurrentClassNo, qint16(5));

        // A changed level recomposes the label; the list carries its level code.
        click(form, "Modifie");
        choose(form, 0, 2);
        click(form, "Valider");
        QCOMPARE(f.query("SELECT NOCLASSE, LIBELLE FROM CLASSE WHERE ENSEIGN = 'Leroy'"), QStringList{"5|Leroy CE1"});
        QCOMPARE(f.texts(f.classes()), (QStringList{"Durand GS", "Leroy CE1", "Martin CP"}));
        QCOMPARE(f.form1->selectedLevelCode(), 3);

        // Numbers are counted per school: Ecole B's next class is 10.
        f.select(f.schools(), QStringLiteral("Ecole B"));
        FormClasse other(f.context, *f.form1);
        fill(other, QStringLiteral("Roux"), 1, 4);
        click(other, "Valider");
        QCOMPARE(f.query("SELECT NOECOLE, NOCLASSE, LIBELLE FROM CLASSE WHERE ENSEIGN = 'Roux'"),
                 QStringList{"3|10|Roux GS"});

        // Reopened, the typed level shows as typed.
        f.context.state.NewClassFlag = false;
        f.select(f.schools(), QStringLiteral("Ecole A"));
        f.select(f.classes(), QStringLiteral("Martin CP"));
        FormClasse martin(f.context, *f.form1);
        QCOMPARE(martin.Combo1(0)->currentText(), QStringLiteral("CP"));
        QCOMPARE(martin.Combo1(1)->currentIndex(), 1);
    }

    void nextPupilAndNewPupils()
    {
        AdminFixture f;
        QVERIFY(f.start());
        f.select(f.classes(), QStringLiteral("Martin CP"));
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Alice", "Bruno", "Chloé"}));
        FormEleve form(f.context, *f.form1);
        QCOMPARE(form.ChampSais(1)->text(), QStringLiteral("Alice"));
        QCOMPARE(form.Combo1(0)->currentText(), QStringLiteral("Cadre supérieur"));
        click(form, "Modifie");
        QCOMPARE(enabledButtons(form), (QStringList{"Valider", "ValidSuiv", "Abandon"}));
        choose(form, 0, 3);
        const int scorings = f.pupilScorings;
        click(form, "ValidSuiv");
        QCOMPARE(f.pupilScorings > scorings, true); // the profile follows the dialog
        QCOMPARE(f.query("SELECT CSP FROM ELEVE WHERE NOM = 'Alice'"), QStringList{"4"});
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Bruno"));
        QCOMPARE(form.ChampSais(1)->text(), QStringLiteral("Bruno"));
        QVERIFY(form.editing() && form.ChampSais(1)->isEnabled());

        // On the last pupil "Suivant" has nowhere to go; its command saves and
        // stays on the same pupil.
        click(form, "ValidSuiv");
        QCOMPARE(form.ChampSais(1)->text(), QStringLiteral("Chloé"));
        QCOMPARE(enabledButtons(form), (QStringList{"Valider", "Abandon"}));
        type(form, 1, QStringLiteral("Chloé B"));
        choose(form, 0, 0); // her code 0 shows no entry, and an empty list is refused
        form.Toolbar1_ButtonClick(QStringLiteral("ValidSuiv"));
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Chloé B"));
        QCOMPARE(form.ChampSais(1)->text(), QStringLiteral("Chloé B"));
        QVERIFY(form.editing());
        QCOMPARE(f.query("SELECT count(*) FROM ELEVE WHERE NOECOLE = 7 AND NOCLASSE = 1"), QStringList{"3"});

        // "Suivant" on a new pupil saves it and offers an empty form for the next one.
        f.context.state.NewPupilFlag = true;
        FormEleve added(f.context, *f.form1);
        QCOMPARE(title(added), QStringLiteral("Nouvel Elève"));
        QCOMPARE(enabledButtons(added), (QStringList{"Valider", "ValidSuiv", "Abandon"}));
        type(added, 1, QStringLiteral("  Zoé  "));
        choose(added, 0, 6);
        click(added, "ValidSuiv");
        QCOMPARE(f.query("SELECT NOECOLE, NOCLASSE, NOM, CSP FROM ELEVE WHERE NOM LIKE 'Zo%'"),
                 QStringList{"7|1|Zoé|7"});
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Zoé"));
        // An empty form for the next new pupil of the class.
        QCOMPARE(added.ChampSais(1)->text(), QString());
        QCOMPARE(title(added), QStringLiteral("Nouvel Elève"));
        QVERIFY(added.creating() && added.editing());

        type(added, 1, QStringLiteral("Yann"));
        choose(added, 0, 0);
        click(added, "Valider");
        click(added, "Modifie");
        type(added, 1, QStringLiteral("Yannick"));
        click(added, "Valider");
        QCOMPARE(f.query("SELECT NOM FROM ELEVE WHERE NOM LIKE 'Yan%'"), QStringList{"Yannick"});
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Alice", "Bruno", "Chloé B", "Yannick", "Zoé"}));
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Yannick"));
    }
};

QTEST_MAIN(TestRecordForms)
#include "tst_recordforms.moc"
