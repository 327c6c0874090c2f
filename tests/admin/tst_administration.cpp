// The list toolbars' deletions, asked twice, with their cascades, all or
// nothing; the printed pupil list.
#include "PdfProbe.h"
#include "WindowFixture.h"

#include "reports/ReportPrinter.h"

#include <QAction>
#include <QListWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>

namespace {

QMap<QString, QStringList> snapshot(const WindowFixture &f)
{
    QMap<QString, QStringList> tables;
    for (const char *table : {"ECOLE", "CLASSE", "ELEVE", "PARCOURS", "CHANGEANNEE"})
        tables.insert(table, TestSupport::tableRows(f.context.connection.database(), table));
    return tables;
}

// The sample (and `more`), on Bruno of Martin CP.
bool startOnBruno(WindowFixture &f, const QString &more = QString())
{
    f.fillSample();
    if (!more.isEmpty())
        f.exec(more);
    if (!f.start())
        return false;
    f.select(f.classes(), QStringLiteral("Martin CP"));
    f.select(f.pupils(), QStringLiteral("Bruno"));
    return f.context.session.pupilKey() == 2;
}

void remove(WindowFixture &f, const QString &toolbar, const QList<bool> &answers = {true, true})
{
    f.dialogs.clear();
    for (bool yes : answers)
        f.dialogs.queueAnswer(yes);
    QAction *action = f.window->toolbarButton(toolbar, QStringLiteral("Supprimer"));
    QVERIFY(action->isEnabled());
    action->trigger();
}

QString keys(const WindowFixture &f)
{
    const SelectionKeys k = f.context.session.keys();
    return QStringLiteral("%1/%2/%3").arg(k.schoolNo).arg(k.classNo).arg(k.pupilKey);
}

} // namespace

class TestAdministration : public QObject
{
    Q_OBJECT

private slots:
    void deletionsCascade_data()
    {
        QTest::addColumn<QString>("toolbar");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QStringList>("classes"); // what remains
        QTest::addColumn<QStringList>("pupils");
        QTest::addColumn<QString>("selection"); // the first school, class and pupil left
        QTest::newRow("school") << "schoolToolbar"
                                << "Vous allez supprimer l'école : Ecole A\nCette opération va supprimer toutes les "
                                   "données (classes et élèves)."
                                << QStringList{"3|9"} << QStringList{"Emma"} << "3/9/5";
        QTest::newRow("class") << "classToolbar"
                               << "Vous allez supprimer la classe : Martin CP\nCette opération va supprimer tous "
                                  "les élèves."
                               << QStringList{"7|4", "3|9"} << QStringList{"Denis", "Emma"} << "7/4/4";
        QTest::newRow("pupil") << "pupilToolbar"
                               << "Vous allez supprimer l'élève : Bruno" << QStringList{"7|1", "7|4", "3|9"}
                               << QStringList{"Alice", "Chloé", "Denis", "Emma"} << "7/1/1";
    }
    void deletionsCascade()
    {
        QFETCH(QString, toolbar);
        QFETCH(QString, question);
        QFETCH(QStringList, classes);
        QFETCH(QStringList, pupils);
        QFETCH(QString, selection);
        WindowFixture f;
        QVERIFY(startOnBruno(f));
        const auto before = snapshot(f);
        remove(f, toolbar);
        QCOMPARE(f.dialogs.titles(), (QStringList{"ATTENTION", "Confirmer"}));
        QCOMPARE(f.dialogs.shown().at(0).text, question + "\nVoulez vous continuer ?");
        QCOMPARE(f.dialogs.shown().at(1).text, QStringLiteral("Est-te vous sûr ?"));
        QCOMPARE(f.query("SELECT NOECOLE || '|' || NOCLASSE FROM CLASSE ORDER BY rowid"), classes);
        QCOMPARE(f.query("SELECT NOM FROM ELEVE ORDER BY NOELEVE"), pupils);
        QCOMPARE(keys(f), selection);
        QCOMPARE(f.dialogs.busyDepth(), 0);
        QVERIFY(f.dialogs.busyCount() > 0);
        // The archive and the year-change log are never touched.
        const auto after = snapshot(f);
        QCOMPARE(after.value("PARCOURS"), before.value("PARCOURS"));
        QCOMPARE(after.value("CHANGEANNEE"), before.value("CHANGEANNEE"));
    }

    void deletingTheLastSchoolLeavesNothingOnShow()
    {
        WindowFixture f;
        f.fillSample();
        f.exec("UPDATE ELEVE SET T1_E1CAT = 2, T1_E1PRO = 'A' WHERE NOM = 'Emma'");
        QVERIFY(f.start());
        remove(f, "schoolToolbar");
        QVERIFY(f.panelValues("classProfilePanel") != QStringList(4, "_")); // Emma's class
        remove(f, "schoolToolbar");
        QCOMPARE(f.query("SELECT (SELECT count(*) FROM ECOLE) + (SELECT count(*) FROM CLASSE) + "
                         "(SELECT count(*) FROM ELEVE)"),
                 QStringList{"0"});
        QCOMPARE(f.schools()->count() + f.classes()->count() + f.pupils()->count(), 0);
        QCOMPARE(keys(f), QStringLiteral("0/0/0"));
        QCOMPARE(f.panelValues("pupilProfilePanel") + f.panelValues("classProfilePanel"), QStringList(8, "_"));
        QVERIFY(f.window->toolbarButton("schoolToolbar", "Ajouter")->isEnabled());
        QVERIFY(!f.window->toolbarButton("schoolToolbar", "Supprimer")->isEnabled());
        QVERIFY(!f.window->toolbarButton("classToolbar", "Ajouter")->isEnabled());
    }

    void deletionsAreAllOrNothing_data()
    {
        QTest::addColumn<QString>("toolbar");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QString>("refusing"); // a table whose deletions fail
        for (const char *toolbar : {"schoolToolbar", "classToolbar", "pupilToolbar"}) {
            QTest::addRow("%s Non", toolbar) << toolbar << QList<bool>{false} << QString();
            QTest::addRow("%s Oui Non", toolbar) << toolbar << QList<bool>{true, false} << QString();
            // A school's classes go after its pupils: their refusal must bring the pupils back.
            QTest::addRow("%s disk full", toolbar)
                << toolbar << QList<bool>{true, true} << (toolbar[0] == 'p' ? "ELEVE" : "CLASSE");
        }
    }
    void deletionsAreAllOrNothing()
    {
        QFETCH(QString, toolbar);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, refusing);
        WindowFixture f;
        QVERIFY(startOnBruno(f));
        if (!refusing.isEmpty())
            QCOMPARE(f.query(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON %1 BEGIN "
                                            "SELECT RAISE(ABORT, 'disque plein'); END")
                                 .arg(refusing)),
                     QStringList());
        const auto before = snapshot(f);
        remove(f, toolbar, answers);
        QCOMPARE(f.dialogs.shown().size(), answers.size() + (refusing.isEmpty() ? 0 : 1));
        QCOMPARE(snapshot(f), before);
        // Everything stays on show as it was.
        QCOMPARE(f.texts(f.schools()), (QStringList{"Ecole A", "Ecole B"}));
        QCOMPARE(f.texts(f.pupils()), (QStringList{"Alice", "Bruno", "Chloé"}));
        QCOMPARE(keys(f), QStringLiteral("7/1/2"));
        if (!refusing.isEmpty()) {
            QCOMPARE(f.dialogs.shown().last().title, QStringLiteral("ATTENTION"));
            QVERIFY(f.dialogs.shown().last().text.contains(QStringLiteral("rien n'a été supprimé")));
            QVERIFY(f.dialogs.shown().last().text.contains(QStringLiteral("disque plein")));
        }
    }

    void printedPupilList()
    {
        WindowFixture f;
        QVERIFY(startOnBruno(f, "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM) VALUES (7, 1, 'Jean {Jeannot}')"));
        auto *printer = f.window->findChild<ReportPrinter *>("printer", Qt::FindDirectChildrenOnly);
        QVERIFY(printer);
        const QString pdf = f.dir.filePath("liste.pdf");
        printer->printer()->setOutputFileName(pdf);

        f.dialogs.queuePrintAnswer(false);
        f.run("pupilToolbar", "Imprime");
        QVERIFY(!QFile::exists(pdf));

        f.dialogs.queuePrintAnswer(true);
        f.run("pupilToolbar", "Imprime");
        const QString text = PdfProbe::text(pdf);
        QVERIFY(text.contains(QStringLiteral("Liste des élèves")));
        // A code from 1 to 7 adds the occupation; code 0 or none, the name alone.
        for (const char *line : {"\\nAlice +Cadre supérieur\\n", "\\nBruno +Agriculteur / Pêcheur\\n", "\\nChloé\\n",
                                 "\\nJean \\{Jeannot\\}\\n", "Le 06-12-2026 +à 18:30:05 +-1- +Rozodivo"})
            QVERIFY2(text.contains(QRegularExpression(QString::fromUtf8(line))), line);
        QCOMPARE(keys(f), QStringLiteral("7/1/2"));
    }
};

QTEST_MAIN(TestAdministration)
#include "tst_administration.moc"
