// The school, class and pupil dialogs driven through their fields and toolbar.
#include "PdfProbe.h"
#include "WindowFixture.h"

#include "admin/ClassDialog.h"
#include "admin/PupilDialog.h"
#include "admin/SchoolDialog.h"
#include "reports/ReportPrinter.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

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
        QTest::addColumn<bool>("school"); // else a class of Ecole A
        QTest::addColumn<int>("number");  // 1: the first, in an empty file; 0: refused
        QTest::newRow("first school") << true << 1;
        QTest::newRow("school after 7 then 3: the last row's plus 1") << true << 4;
        QTest::newRow("class: the school's largest plus 1") << false << 5;
        QTest::newRow("school after 32767") << true << 0;
        QTest::newRow("class after 32767") << false << 0;
    }
    void newRecordsAreNumbered()
    {
        QFETCH(bool, school);
        QFETCH(int, number);
        WindowFixture f;
        if (number != 1)
            f.fillSample();
        if (number == 0)
            f.exec("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (32767, 'Dernière');"
                   "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (7, 32767, 'Pleine CP', 'CP')");
        QVERIFY(f.start());
        const QString table = school ? "ECOLE" : "CLASSE";
        const QStringList before = f.query("SELECT * FROM " + table);
        std::unique_ptr<RecordDialog> dialog(
            school ? static_cast<RecordDialog *>(new SchoolDialog(f.context, *f.window, true))
                   : new ClassDialog(f.context, *f.window, true));
        fill(*dialog, QStringLiteral("  Neuve  "));
        click(*dialog, "Valider");
        if (number == 0) {
            QVERIFY(f.dialogs.shown().last().text.contains(QStringLiteral("32767")));
            QCOMPARE(f.query("SELECT * FROM " + table), before);
            return;
        }
        // Stored trimmed, shown selected.
        QListWidget *list = school ? f.schools() : f.classes();
        QCOMPARE(f.selected(list), school ? "Neuve" : "Neuve GS");
        QCOMPARE(school ? f.context.session.schoolNo() : f.context.session.classNo(), number);
        QCOMPARE(enabledButtons(*dialog), QStringLiteral("Modifie Imprime Sortie"));
        // From then on the dialog edits that record: no second one.
        click(*dialog, "Modifie");
        dialog->textField(0)->setText(QStringLiteral("Autre"));
        click(*dialog, "Valider");
        QCOMPARE(f.query("SELECT * FROM " + table).size(), before.size() + 1);
        QCOMPARE(f.selected(list), school ? "Autre" : "Autre GS");
        QVERIFY(dialog->findChild<QLabel *>("title")->text().startsWith(QStringLiteral("Edition des données")));
    }

    void schoolClassAndPupilDialogs()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        SchoolDialog school(f.context, *f.window, false);
        QVERIFY(!school.textField(0)->isEnabled());
        // Ecole A; ZEP code 2 shows its entry, STAGE code 0 none.
        QCOMPARE(school.textField(0)->text() + school.listField(0)->currentText() + school.listField(2)->currentText(),
                 QStringLiteral("Ecole AOui"));
        click(school, "Modifie");
        school.textField(2)->clear();
        click(school, "Valider");
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Attention vous devez saisir une valeur"));
        // The record sheet prints what the dialog shows, unsaved edits included.
        const QString pdf = f.dir.filePath("fiche.pdf");
        school.printer()->printer()->setOutputFileName(pdf);
        school.textField(1)->setText(QStringLiteral("Morlaix"));
        f.dialogs.queuePrintAnswer(true);
        school.PrintRecordSheet();
        const QString text = PdfProbe::text(pdf);
        for (const char *line :
             {"Commune : Morlaix", "BCD : Avec Personnel", "Le 06-12-2026 +à 18:30:05 +-1- +Rozodivo"})
            QVERIFY2(text.contains(QRegularExpression(QString::fromUtf8(line))), line);
        school.textField(2)->setText(QStringLiteral("Collège"));
        school.textField(3)->setText(QStringLiteral("   "));           // blanks pass and are written empty
        school.listField(0)->setEditText(QStringLiteral("Peut-être")); // typed, not chosen
        school.listField(2)->setEditText(QStringLiteral("Sans"));      // typed as an entry reads
        click(school, "Valider");
        QCOMPARE(f.query("SELECT NOM_COLL, NOM_COMC, ZEP, BCD, STAGE FROM ECOLE WHERE NOECOLE = 7"),
                 QStringList{"Collège||0|3|2"});

        // "Abandon" closes a new record's dialog without writing, and restores an edited one.
        const QStringList before = f.query("SELECT * FROM CLASSE");
        ClassDialog added(f.context, *f.window, true);
        QSignalSpy closed(&added, &QDialog::finished);
        added.textField(0)->setText(QStringLiteral("Leroy"));
        click(added, "Abandon");
        QCOMPARE(closed.size(), 1);
        ClassDialog edited(f.context, *f.window, false); // Durand GS: no teacher's name stored
        click(edited, "Modifie");
        edited.textField(0)->setText(QStringLiteral("Durand"));
        click(edited, "Abandon");
        QCOMPARE(edited.textField(0)->text(), QString());
        QCOMPARE(f.query("SELECT * FROM CLASSE"), before);

        // The label is the teacher's name and the level; the level is chosen, typing picks it.
        ClassDialog form(f.context, *f.window, true);
        fill(form, QStringLiteral("Leroy"));
        QTest::keyClicks(form.listField(0), QStringLiteral("cp"));
        click(form, "Valider");
        QCOMPARE(f.selected(f.classes()) + QString::number(f.context.session.classLevel()),
                 QStringLiteral("Leroy CP2"));
        click(form, "Modifie");
        form.listField(0)->setCurrentIndex(2);
        click(form, "Valider");
        QCOMPARE(f.selected(f.classes()) + QString::number(f.context.session.classLevel()),
                 QStringLiteral("Leroy CE13"));
        QCOMPARE(ClassDialog(f.context, *f.window, false).listField(0)->currentText(), QStringLiteral("CE1"));

        // "Suivant" saves the pupil and moves on to the next one.
        f.select(f.classes(), QStringLiteral("Martin CP"));
        PupilDialog pupil(f.context, *f.window, false);
        click(pupil, "Modifie");
        pupil.listField(0)->setCurrentIndex(3);
        QSignalSpy profiles(&f.context.session, &Session::resultsChanged);
        click(pupil, "ValidSuiv");
        QVERIFY(profiles.size() > 0); // the main window shows the profile afresh
        QCOMPARE(f.query("SELECT CSP FROM ELEVE WHERE NOM = 'Alice'"), QStringList{"4"});
        QCOMPARE(pupil.textField(0)->text(), QStringLiteral("Bruno"));
        QVERIFY(pupil.editing() && pupil.textField(0)->isEnabled());
        // On the last pupil it has nowhere to go; its command saves and stays.
        click(pupil, "ValidSuiv");
        QCOMPARE(enabledButtons(pupil), QStringLiteral("Valider Abandon"));
        pupil.textField(0)->setText(QStringLiteral("Chloé B"));
        pupil.listField(0)->setCurrentIndex(0); // her code 0 showed no entry, which would be refused
        pupil.toolbarClicked(QStringLiteral("ValidSuiv"));
        QCOMPARE(f.selected(f.pupils()) + '|' + pupil.textField(0)->text(), QStringLiteral("Chloé B|Chloé B"));

        // On a new pupil it saves and offers an empty form for a further one.
        PupilDialog next(f.context, *f.window, true);
        fill(next, QStringLiteral("  Zoé  "), 6);
        click(next, "ValidSuiv");
        QCOMPARE(f.query("SELECT NOECOLE, NOCLASSE, NOM, CSP FROM ELEVE WHERE NOM LIKE 'Zo%'"),
                 QStringList{"7|1|Zoé|7"});
        QCOMPARE(next.textField(0)->text(), QString());
        fill(next, QStringLiteral("Yann"));
        click(next, "Valider");
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Alice", "Bruno", "Chloé B", "Yann", "Zoé"}));
        QCOMPARE(f.dialogs.titles(), (QStringList{"ATTENTION", "PrintDialog"})); // new names ask nothing
    }
    // The keyboard drives the dialog: F2 edits, Entrée validates, Échap gives up an edit or leaves;
    // every button and field is named for screen readers, tooltips showing the keys. A class stored
    // with a level that is not evaluated shows it greyed and must be given one to be saved; the
    // level is one of GS, CP, CE1: what is typed picks one, never a level of its own.
    void classDialog()
    {
        WindowFixture f;
        f.fillSample();
        f.exec("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU, ENSEIGN, TEMP_UTIL, EXPER, FORMAT) "
               "VALUES (7, 8, 'Aubry CM1', 'CM1', 'Aubry', 1, 1, 1)");
        QVERIFY(f.start());
        f.select(f.classes(), QStringLiteral("Martin CP"));
        ClassDialog form(f.context, *f.window, false);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.toolbarButton("Modifie")->toolTip() + '|' + form.toolbarButton("Valider")->toolTip() + '|' +
                     form.toolbarButton("Imprime")->toolTip(),
                 QStringLiteral("Modifier les résultats (F2)|Valiser les modifications (Entrée)|Imprimer (Ctrl+P)"));
        QTest::keyClick(&form, Qt::Key_F2);
        QVERIFY(form.editing() && form.textField(0)->isEnabled());
        form.textField(0)->setFocus();
        form.textField(0)->setText(QStringLiteral("Martinez"));
        QTest::keyClick(form.textField(0), Qt::Key_Escape); // gives the edit up, the dialog stays
        QVERIFY(!form.editing() && form.isVisible());
        QCOMPARE(form.textField(0)->text(), QStringLiteral("Martin"));
        QTest::keyClick(&form, Qt::Key_F2);
        form.textField(0)->setText(QStringLiteral("Martinez"));
        QTest::keyClick(form.textField(0), Qt::Key_Return);
        QVERIFY(!form.editing());
        QCOMPARE(f.query("SELECT ENSEIGN FROM CLASSE WHERE NOECOLE = 7 AND NOCLASSE = 1"), QStringList{"Martinez"});
        for (int i = 0; i < form.comboCount(); ++i)
            QCOMPARE(form.listField(i)->accessibleName(), form.fieldCaption(form.fieldCount() + i)->text());
        QCOMPARE(form.textField(0)->accessibleName(), QStringLiteral("Nom enseignant"));
        for (QToolButton *button : form.findChildren<QToolButton *>())
            if (!button->objectName().startsWith(QLatin1String("qt_")))
                QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->text()));
        QTest::keyClick(&form, Qt::Key_Escape); // nothing edited: leaves
        QVERIFY(!form.isVisible());

        f.select(f.classes(), QStringLiteral("Aubry CM1"));
        ClassDialog cm1(f.context, *f.window, false);
        QCOMPARE(cm1.listField(0)->currentText() + '|' + cm1.listField(0)->placeholderText(), QStringLiteral("|CM1"));
        click(cm1, "Modifie");
        click(cm1, "Valider");
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("Attention vous devez saisir une valeur"));
        QCOMPARE(f.query("SELECT NIVEAU FROM CLASSE WHERE NOCLASSE = 8"), QStringList{"CM1"});
        cm1.listField(0)->setCurrentIndex(1);
        click(cm1, "Valider");
        QCOMPARE(f.query("SELECT NIVEAU FROM CLASSE WHERE NOCLASSE = 8"), QStringList{"CP"});

        // Typed, then stored ("cm1" is no level: its "c" picks CP); the teacher is named as typed.
        for (const char *row : {"cp CP", "CE1 CE1", "ce CE1", "gs GS", "cm1 CP"}) {
            const QString typed = QString(row).section(' ', 0, 0);
            ClassDialog added(f.context, *f.window, true);
            QVERIFY(!added.listField(0)->isEditable());
            added.textField(0)->setText(typed);
            for (int i = 1; i < added.comboCount(); ++i)
                added.listField(i)->setCurrentIndex(0);
            QTest::keyClicks(added.listField(0), typed);
            click(added, "Valider");
            QCOMPARE(f.query("SELECT NIVEAU FROM CLASSE WHERE ENSEIGN = '" + typed + "'"),
                     QStringList{QString(row).section(' ', 1)});
        }
    }
};

QTEST_MAIN(TestRecordForms)
#include "tst_recordforms.moc"
