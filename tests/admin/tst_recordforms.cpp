// The school, class and pupil dialogs driven through their fields and toolbar.
#include "PdfProbe.h"
#include "WindowFixture.h"

#include "admin/ClassDialog.h"
#include "admin/PupilDialog.h"
#include "admin/SchoolDialog.h"
#include "reports/ReportPrinter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

void click(RecordDialog &dialog, const char *key)
{
    QAction *action = dialog.toolbarButton(QLatin1String(key));
    QVERIFY2(action && action->isEnabled(), key);
    action->trigger();
}
QString enabledButtons(const RecordDialog &dialog)
{
    QStringList keys;
    for (const char *key : {"Modifie", "Valider", "ValidSuiv", "Abandon", "Imprime", "Sortie"})
        if (QAction *a = dialog.toolbarButton(QLatin1String(key)); a && a->isEnabled())
            keys.append(QLatin1String(key));
    return keys.join(QLatin1Char(' '));
}
QString title(const RecordDialog &dialog)
{
    return dialog.findChild<QLabel *>(QStringLiteral("title"))->text();
}
// `name` in the first field, "x" in the others, the lists' entries `entry`.
void fill(RecordDialog &dialog, const QString &name, int entry = 0)
{
    for (int i = 0; i < dialog.fieldCount(); ++i)
        dialog.textField(i)->setText(i == 0 ? name : QStringLiteral("x"));
    for (int i = 0; i < dialog.comboCount(); ++i)
        dialog.listField(i)->setCurrentIndex(entry);
}

} // namespace

class TestRecordForms : public QObject
{
    Q_OBJECT

private slots:
    void newRecordsAreNumbered_data()
    {
        QTest::addColumn<bool>("school"); // else a class of the school `in`
        QTest::addColumn<QString>("in");
        QTest::addColumn<int>("number"); // 0: refused
        QTest::newRow("first school") << true << QString() << 1;
        QTest::newRow("school after 7 then 3: the last row's plus 1") << true << "Ecole A" << 4;
        QTest::newRow("class of Ecole A") << false << "Ecole A" << 5;
        QTest::newRow("class of Ecole B") << false << "Ecole B" << 10;
        QTest::newRow("school after 32767") << true << "Ecole A" << 0;
        QTest::newRow("class after 32767") << false << "Ecole B" << 0;
    }
    void newRecordsAreNumbered()
    {
        QFETCH(bool, school);
        QFETCH(QString, in);
        QFETCH(int, number);
        WindowFixture f;
        if (!in.isEmpty())
            f.fillSample();
        if (number == 0)
            f.exec("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (32767, 'Dernière');"
                   "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (3, 32767, 'Pleine CP', 'CP')");
        QVERIFY(f.start());
        if (!in.isEmpty())
            f.select(f.schools(), in);
        const QString table = school ? "ECOLE" : "CLASSE";
        const QStringList before = f.query("SELECT * FROM " + table);
        std::unique_ptr<RecordDialog> dialog;
        if (school)
            dialog = std::make_unique<SchoolDialog>(f.context, *f.window, true);
        else
            dialog = std::make_unique<ClassDialog>(f.context, *f.window, true);
        QCOMPARE(title(*dialog), school ? QStringLiteral("Nouvelle école") : QStringLiteral("Nouvelle classe"));
        QCOMPARE(enabledButtons(*dialog), QStringLiteral("Valider Abandon"));
        fill(*dialog, QStringLiteral("  Neuve  "));
        click(*dialog, "Valider");
        if (number == 0) {
            QCOMPARE(f.dialogs.titles(), QStringList{"ATTENTION"});
            QVERIFY(f.dialogs.shown().last().text.contains(QStringLiteral("32767")));
            QCOMPARE(f.query("SELECT * FROM " + table), before);
            QVERIFY(dialog->editing());
            return;
        }
        // Stored trimmed, shown selected; the toolbars follow.
        const QString key = school ? "NOECOLE" : "NOCLASSE";
        QCOMPARE(f.query(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = 'Neuve'")
                             .arg(key, table, school ? "NOM_ECOLE" : "ENSEIGN")),
                 QStringList{QString::number(number)});
        QCOMPARE(f.selected(school ? f.schools() : f.classes()), school ? "Neuve" : "Neuve GS");
        QCOMPARE(school ? f.context.session.schoolNo() : f.context.session.classNo(), number);
        QVERIFY(f.window->toolbarButton(school ? "classToolbar" : "pupilToolbar", "Ajouter")->isEnabled());
        QCOMPARE(enabledButtons(*dialog), QStringLiteral("Modifie Imprime Sortie"));
        // From then on the dialog edits that record: no second one.
        click(*dialog, "Modifie");
        dialog->textField(0)->setText(QStringLiteral("Autre"));
        click(*dialog, "Valider");
        QCOMPARE(f.query("SELECT * FROM " + table).size(), before.size() + 1);
        QCOMPARE(f.selected(school ? f.schools() : f.classes()), school ? "Autre" : "Autre GS");
        QVERIFY(title(*dialog).startsWith(QStringLiteral("Edition des données")));
    }

    void listsStoreCodesRefuseEmptyFieldsAndPrint()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        SchoolDialog form(f.context, *f.window, false);
        QCOMPARE(title(form), QStringLiteral("Edition des données école"));
        QCOMPARE(enabledButtons(form), QStringLiteral("Modifie Imprime Sortie"));
        QVERIFY(!form.textField(0)->isEnabled());
        QCOMPARE(form.textField(0)->text(), QStringLiteral("Ecole A"));
        QCOMPARE(form.listField(0)->currentText(), QStringLiteral("Oui"));
        QCOMPARE(form.listField(1)->currentText(), QStringLiteral("Avec Personnel"));
        QCOMPARE(form.listField(2)->currentText(), QString()); // code 0 shows no entry

        click(form, "Modifie");
        QVERIFY(form.textField(0)->isEnabled() && form.listField(2)->isEnabled());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.textField(2)->clear();
        click(form, "Valider");
        QCOMPARE(f.dialogs.shown().last().title, QStringLiteral("ATTENTION"));
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Attention vous devez saisir une valeur"));
        QCOMPARE(QApplication::focusWidget(), form.textField(2));
        QVERIFY(form.editing());

        // The record sheet prints what the dialog shows, unsaved edits included.
        const QString pdf = f.dir.filePath("fiche.pdf");
        form.printer()->printer()->setOutputFileName(pdf);
        form.textField(1)->setText(QStringLiteral("Morlaix"));
        form.textField(3)->clear();
        f.dialogs.queuePrintAnswer(true);
        form.PrintRecordSheet();
        const QString text = PdfProbe::text(pdf);
        for (const char *line :
             {"Informations sur l'école", "Nom de l'école : Ecole A", "Commune : Morlaix",
              "Nom de la commune du collège :", "Zone sensible : Oui", "BCD : Avec Personnel", "Stage :"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), line);
        QVERIFY(text.contains(QRegularExpression("Le 06-12-2026 +à 18:30:05 +-1- +Rozodivo Velorin - v")));
        QCOMPARE(f.query("SELECT NOM_COMM FROM ECOLE WHERE NOECOLE = 7"), QStringList{"Brest"});

        form.textField(2)->setText(QStringLiteral("Collège"));
        form.textField(3)->setText(QStringLiteral("   "));           // blanks pass and are written empty
        form.listField(0)->setEditText(QStringLiteral("Peut-être")); // typed, not chosen
        form.listField(2)->setEditText(QStringLiteral("Sans"));      // typed as an entry reads
        click(form, "Valider");
        QCOMPARE(f.query("SELECT NOM_COLL, NOM_COMC, ZEP, BCD, STAGE FROM ECOLE WHERE NOECOLE = 7"),
                 QStringList{"Collège||0|3|2"});
        form.hide();
    }

    void classLabelsAndLevels()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        // "Abandon" closes a new record's dialog without writing, and restores an edited one.
        const QStringList before = f.query("SELECT * FROM CLASSE");
        for (bool pupil : {false, true}) {
            std::unique_ptr<RecordDialog> added;
            if (pupil)
                added = std::make_unique<PupilDialog>(f.context, *f.window, true);
            else
                added = std::make_unique<ClassDialog>(f.context, *f.window, true);
            QSignalSpy closed(added.get(), &QDialog::finished);
            added->textField(0)->setText(QStringLiteral("Leroy"));
            click(*added, "Abandon");
            QCOMPARE(closed.size(), 1);
        }
        ClassDialog edited(f.context, *f.window, false);
        QCOMPARE(edited.textField(0)->text(), QString()); // Durand GS has no teacher's name stored
        click(edited, "Modifie");
        edited.textField(0)->setText(QStringLiteral("Durand"));
        click(edited, "Abandon");
        QCOMPARE(edited.textField(0)->text(), QString());
        QCOMPARE(enabledButtons(edited), QStringLiteral("Modifie Imprime Sortie"));
        QCOMPARE(f.query("SELECT * FROM CLASSE"), before);
        QCOMPARE(f.query("SELECT count(*) FROM ELEVE"), QStringList{"5"});

        ClassDialog form(f.context, *f.window, true);
        fill(form, QStringLiteral(" Leroy "), 2);
        form.listField(0)->setEditText(QStringLiteral("cp")); // typed level, written as typed
        click(form, "Valider");
        QCOMPARE(f.query("SELECT NOCLASSE, ENSEIGN, NIVEAU, LIBELLE, TEMP_UTIL, EXPER, FORMAT "
                         "FROM CLASSE WHERE ENSEIGN = 'Leroy'"),
                 QStringList{"5|Leroy|cp|Leroy cp|3|3|3"});
        QCOMPARE(f.selected(f.classes()), QStringLiteral("Leroy cp"));
        QCOMPARE(f.context.session.classLevel(), 0);
        QCOMPARE(ClassDialog(f.context, *f.window, false).listField(0)->currentText(), QStringLiteral("cp"));

        // A changed level recomposes the label; the list carries its level code.
        click(form, "Modifie");
        form.listField(0)->setCurrentIndex(2);
        click(form, "Valider");
        QCOMPARE(f.query("SELECT NOCLASSE, LIBELLE FROM CLASSE WHERE ENSEIGN = 'Leroy'"), QStringList{"5|Leroy CE1"});
        QCOMPARE(f.texts(f.classes()), (QStringList{"Durand GS", "Leroy CE1", "Martin CP"}));
        QCOMPARE(f.classes()->currentItem()->data(MainWindow::LevelRole).toInt(), 3);
        QCOMPARE(f.context.session.classLevel(), 3);

        // Reopened, a stored level and codes show as their entries.
        f.select(f.classes(), QStringLiteral("Martin CP"));
        ClassDialog martin(f.context, *f.window, false);
        QCOMPARE(martin.listField(0)->currentText(), QStringLiteral("CP"));
        QCOMPARE(martin.listField(1)->currentIndex(), 1);
    }

    void nextPupilAndNewPupils()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        f.select(f.classes(), QStringLiteral("Martin CP"));
        PupilDialog form(f.context, *f.window, false);
        QCOMPARE(form.textField(0)->text(), QStringLiteral("Alice"));
        QCOMPARE(form.listField(0)->currentText(), QStringLiteral("Cadre supérieur"));
        click(form, "Modifie");
        QCOMPARE(enabledButtons(form), QStringLiteral("Valider ValidSuiv Abandon"));
        form.listField(0)->setCurrentIndex(3);
        QSignalSpy profiles(&f.context.session, &Session::resultsChanged);
        click(form, "ValidSuiv");
        QVERIFY(profiles.size() > 0); // the main window shows the profile afresh
        QCOMPARE(f.query("SELECT CSP FROM ELEVE WHERE NOM = 'Alice'"), QStringList{"4"});
        QCOMPARE(f.context.session.pupilKey(), qint64(2)); // Bruno
        QCOMPARE(form.textField(0)->text(), QStringLiteral("Bruno"));
        QVERIFY(form.editing() && form.textField(0)->isEnabled());

        // On the last pupil "Suivant" has nowhere to go; its command saves and stays.
        click(form, "ValidSuiv");
        QCOMPARE(form.textField(0)->text(), QStringLiteral("Chloé"));
        QCOMPARE(enabledButtons(form), QStringLiteral("Valider Abandon"));
        form.textField(0)->setText(QStringLiteral("Chloé B"));
        form.listField(0)->setCurrentIndex(0); // her code 0 shows no entry, and an empty list is refused
        form.toolbarClicked(QStringLiteral("ValidSuiv"));
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Chloé B"));
        QCOMPARE(form.textField(0)->text(), QStringLiteral("Chloé B"));
        QVERIFY(form.editing());
        QCOMPARE(f.query("SELECT count(*) FROM ELEVE WHERE NOECOLE = 7 AND NOCLASSE = 1"), QStringList{"3"});

        // "Suivant" on a new pupil saves it and offers an empty form for the next one.
        PupilDialog added(f.context, *f.window, true);
        QCOMPARE(title(added), QStringLiteral("Nouvel Elève"));
        QCOMPARE(enabledButtons(added), QStringLiteral("Valider ValidSuiv Abandon"));
        fill(added, QStringLiteral("  Zoé  "), 6);
        click(added, "ValidSuiv");
        QCOMPARE(f.query("SELECT NOECOLE, NOCLASSE, NOM, CSP FROM ELEVE WHERE NOM LIKE 'Zo%'"),
                 QStringList{"7|1|Zoé|7"});
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Zoé"));
        QCOMPARE(added.textField(0)->text(), QString());
        QVERIFY(added.creating() && added.editing());

        // That next one is a further pupil: Zoé stays.
        fill(added, QStringLiteral("Yann"));
        click(added, "Valider");
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Alice", "Bruno", "Chloé B", "Yann", "Zoé"}));
        QCOMPARE(f.selected(f.pupils()), QStringLiteral("Yann"));
        QVERIFY(f.dialogs.shown().isEmpty()); // new names ask nothing
    }
};

QTEST_MAIN(TestRecordForms)
#include "tst_recordforms.moc"
