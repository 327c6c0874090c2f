#pragma once

#include "TestSupport.h"

#include "admin/AdministrationCommands.h"
#include "common/ScriptedDialogs.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "mainwindow/MainWiring.h"

#include <QListWidget>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

// A main window wired to the administration commands, over a data folder
// with two schools whose numbers are out of order (7 then 3):
//   "Ecole A" (7): "Martin CP" (class 1: Alice CSP 5, Bruno CSP 2, Chloé CSP 0),
//                  "Durand GS" (class 4: Denis);
//   "Ecole B" (3): "Petit CE1" (class 9: Emma);
// one archived pupil of each school and one year change of each.
struct AdminFixture
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5))};
    AppContext context{dialogs, clock};
    std::unique_ptr<Form1> form1;
    int pupilScorings = 0;

    explicit AdminFixture(bool withData = true)
    {
        const QString folder = dir.path();
        TestSupport::createEmptyDataFolder(folder);
        if (withData)
            fill(folder);
    }

    static void fill(const QString &folder)
    {
        using TestSupport::insertRow;
        insertRow(
            folder, "ECOLE",
            {{"NOECOLE", 7}, {"NOM_ECOLE", "Ecole A"}, {"NOM_COMM", "Brest"}, {"ZEP", 2}, {"BCD", 3}, {"STAGE", 0}});
        insertRow(folder, "ECOLE", {{"NOECOLE", 3}, {"NOM_ECOLE", "Ecole B"}});
        insertRow(folder, "CLASSE",
                  {{"NOECOLE", 7},
                   {"NOCLASSE", 1},
                   {"LIBELLE", "Martin CP"},
                   {"ENSEIGN", "Martin"},
                   {"NIVEAU", "CP"},
                   {"TEMP_UTIL", 2},
                   {"EXPER", 3},
                   {"FORMAT", 1}});
        insertRow(folder, "CLASSE", {{"NOECOLE", 7}, {"NOCLASSE", 4}, {"LIBELLE", "Durand GS"}, {"NIVEAU", "GS"}});
        insertRow(folder, "CLASSE", {{"NOECOLE", 3}, {"NOCLASSE", 9}, {"LIBELLE", "Petit CE1"}, {"NIVEAU", "CE1"}});
        insertRow(folder, "ELEVE", {{"NOECOLE", 7}, {"NOCLASSE", 1}, {"NOM", "Alice"}, {"CSP", 5}, {"T1_E2CAT", 4}});
        insertRow(folder, "ELEVE", {{"NOECOLE", 7}, {"NOCLASSE", 1}, {"NOM", "Bruno"}, {"CSP", 2}});
        insertRow(folder, "ELEVE", {{"NOECOLE", 7}, {"NOCLASSE", 1}, {"NOM", "Chloé"}, {"CSP", 0}});
        insertRow(folder, "ELEVE", {{"NOECOLE", 7}, {"NOCLASSE", 4}, {"NOM", "Denis"}, {"CSP", 1}});
        insertRow(folder, "ELEVE", {{"NOECOLE", 3}, {"NOCLASSE", 9}, {"NOM", "Emma"}, {"CSP", 1}});
        for (int school : {7, 3}) {
            insertRow(folder, "PARCOURS",
                      {{"ANNEE", "2025-2026"}, {"NOECOLE", school}, {"NOCLASSE", 1}, {"NOM", "Ancien"}});
            insertRow(folder, "CHANGEANNEE", {{"NO_OPER", school}, {"NOECOLE", school}, {"ANNEE", "2025-2026"}});
        }
    }

    // Starts the main window on the first school, its first class ("Durand GS"
    // comes first by label) and first pupil.
    bool start()
    {
        context.connection.setDataFolder(dir.path());
        form1 = std::make_unique<Form1>(context);
        ConnectMainWindow(*form1, context);
        auto score = form1->routes().computePupilProfile;
        form1->routes().computePupilProfile = [this, score](int level) {
            ++pupilScorings;
            score(level);
        };
        return form1->Form_Activate();
    }

    QListWidget *schools() const { return form1->schoolList(); }
    QListWidget *classes() const { return form1->classList(); }
    QListWidget *pupils() const { return form1->pupilList(); }
    static QStringList texts(const QListWidget *list)
    {
        QStringList t;
        for (int i = 0; i < list->count(); ++i)
            t.append(list->item(i)->text());
        return t;
    }
    QString selected(const QListWidget *list) const
    {
        return list->currentItem() ? list->currentItem()->text() : QString();
    }
    void select(QListWidget *list, const QString &text) const { list->setCurrentRow(texts(list).indexOf(text)); }

    QStringList rows(const QString &table) const
    {
        return TestSupport::tableRows(context.connection.database(), table);
    }
    // One query's rows as texts ("a|b").
    QStringList query(const QString &sql) const
    {
        QSqlQuery q(context.connection.database());
        QStringList out;
        if (!q.exec(sql))
            return {QStringLiteral("error: ") + sql};
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
            out.append(row.join(QLatin1Char('|')));
        }
        return out;
    }
};
