// The list toolbars' deletions, asked twice ("Non" by default), with their
// cascades, all or nothing; the printed pupil list.
#include "PdfProbe.h"
#include "WindowFixture.h"

#include "reports/ReportPrinter.h"

#include <QAction>
#include <QListWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>

namespace {

// The sample, on Bruno of Martin CP.
bool startOnBruno(WindowFixture &f)
{
    f.fillSample();
    if (!f.start())
        return false;
    f.select(f.classes(), QStringLiteral("Martin CP"));
    f.select(f.pupils(), QStringLiteral("Bruno"));
    return f.context.session.pupilKey() == 2;
}

} // namespace

class TestAdministration : public QObject
{
    Q_OBJECT

private slots:
    void deletions_data()
    {
        QTest::addColumn<QString>("toolbar");
        QTest::addColumn<QString>("refusing");  // a table whose deletions fail, or "Non" as the second answer
        QTest::addColumn<QString>("shown");     // in the first question
        QTest::addColumn<QString>("remaining"); // schools | classes (by key) | pupils | archive and year-change rows
        QTest::addColumn<QString>("selection"); // the first school, class and pupil left
        const auto row = [](const char *tag, const QString &toolbar, const QString &refusing, const QString &shown,
                            const QString &remaining, const QString &selection) {
            QTest::newRow(tag) << toolbar << refusing << shown << remaining << selection;
        };
        row("school", "schoolToolbar", "",
            "l'école : Ecole A\nCette opération va supprimer toutes les données (classes et élèves).",
            "3 | 9 | Emma | 4", "3/9/5");
        row("class", "classToolbar", "", "la classe : Martin CP\nCette opération va supprimer tous les élèves.",
            "3 7 | 9 4 | Denis Emma | 4", "7/4/4");
        row("pupil", "pupilToolbar", "", "l'élève : Bruno", "3 7 | 9 1 4 | Alice Chloé Denis Emma | 4", "7/1/1");
        // Nothing or all: a school's classes go after its pupils, whose deletion their refusal must undo.
        const QString all = "3 7 | 9 1 4 | Alice Bruno Chloé Denis Emma | 4";
        row("pupil, Non", "pupilToolbar", "Non", "l'élève : Bruno", all, "7/1/2");
        for (const char *toolbar : {"schoolToolbar", "classToolbar", "pupilToolbar"})
            row(qPrintable(QString(toolbar) + ", disk full"), toolbar, toolbar[0] == 'p' ? "ELEVE" : "CLASSE", "", all,
                "7/1/2");
    }
    void deletions()
    {
        QFETCH(QString, toolbar);
        QFETCH(QString, refusing);
        QFETCH(QString, shown);
        QFETCH(QString, selection);
        WindowFixture f;
        QVERIFY(startOnBruno(f));
        const bool fails = !refusing.isEmpty() && refusing != "Non";
        if (fails)
            f.exec("CREATE TRIGGER refuse BEFORE DELETE ON " + refusing +
                   " BEGIN SELECT RAISE(ABORT, 'disque plein'); END");
        f.dialogs.queueAnswer(true);
        f.dialogs.queueAnswer(refusing != "Non");
        const int busy = f.dialogs.busyCount();
        f.window->toolbarButton(toolbar, "Supprimer")->trigger();
        QCOMPARE(f.dialogs.titles().mid(0, 2), (QStringList{"ATTENTION", "Confirmer"}));
        // Both questions answer "Non" to Enter alone.
        QVERIFY(f.dialogs.shown().at(0).defaultNo && f.dialogs.shown().at(1).defaultNo);
        QVERIFY(shown.isEmpty() ||
                f.dialogs.shown().at(0).text == "Vous allez supprimer " + shown + "\nVoulez vous continuer ?");
        QCOMPARE(f.dialogs.shown().size(), fails ? 3 : 2);
        QVERIFY(!fails || f.dialogs.shown().last().text.contains(
                              QRegularExpression("rien n'a été supprimé\\.\\n.*disque plein")));
        QTEST(f.query("SELECT (SELECT group_concat(NOECOLE, ' ') FROM ECOLE) || ' | ' || (SELECT "
                      "group_concat(NOCLASSE, ' ') FROM CLASSE) || ' | ' || (SELECT group_concat(NOM, ' ') FROM "
                      "ELEVE) || ' | ' || ((SELECT count(*) FROM PARCOURS) + (SELECT count(*) FROM CHANGEANNEE))")
                  .value(0),
              "remaining");
        const SelectionKeys k = f.context.session.keys();
        QCOMPARE(QStringLiteral("%1/%2/%3").arg(k.schoolNo).arg(k.classNo).arg(k.pupilKey), selection);
        QVERIFY(f.dialogs.busyDepth() == 0 && (f.dialogs.busyCount() > busy) == (refusing != "Non"));
    }

    void printedPupilList()
    {
        WindowFixture f;
        QVERIFY(startOnBruno(f));
        f.exec("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM) VALUES (7, 1, 'Jean {Jeannot}')");
        auto *printer = f.window->findChild<ReportPrinter *>("printer", Qt::FindDirectChildrenOnly);
        QVERIFY(printer);
        const QString pdf = f.dir.filePath("liste.pdf");
        printer->printer()->setOutputFileName(pdf);
        f.dialogs.queuePrintAnswer(true);
        f.run("pupilToolbar", "Imprime");
        const QString text = PdfProbe::text(pdf);
        // The header: the title, then the school and the class.
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("^ *Liste des élèves\\n *École : Ecole A +Classe : "
                                                                 "Martin CP\\n"))),
                 qPrintable(text.left(300)));
        // A code from 1 to 7 adds the occupation; code 0 or none, the name alone.
        for (const char *line : {"\\nAlice +Cadre supérieur\\n", "\\nBruno +Agriculteur / Pêcheur\\n", "\\nChloé\\n",
                                 "\\nJean \\{Jeannot\\}\\n"})
            QVERIFY2(text.contains(QRegularExpression(QString::fromUtf8(line))), line);
    }
};

QTEST_MAIN(TestAdministration)
#include "tst_administration.moc"
