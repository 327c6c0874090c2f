// The class grid driven through its widgets, over the main window on the
// sample data: "Martin CP" (Alice, Bruno, Chloé) and twin CP classes typed
// once in the grid and once in the entry windows.
#include "WindowFixture.h"

#include "evaluation/ClassGridView.h"
#include "evaluation/ClassGridWindow.h"
#include "evaluation/EntryWindow.h"
#include "evaluation/EvaluationModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

#include <memory>

namespace {

// Scores of CP trimester 1, items E1 1-5, E2 1-3, E3 1, for a class of 25:
// five sets of answers (an absent series among them), in turn.
const QList<QStringList> Scores = [] {
    const QList<QStringList> sets = {
        {"1", "3", "2", "1", "1", "4", "2", "1", "6"}, {"0", "1", "0", "0", "1", "2", "1", "0", "3"},
        {"1", "2", "2", "0", "1", "_", "_", "_", "5"}, {"0", "0", "0", "0", "0", "1", "0", "1", "0"},
        {"1", "3", "1", "1", "0", "3", "2", "0", "4"},
    };
    QList<QStringList> scores;
    for (int p = 0; p < 25; ++p)
        scores.append(sets.at(p % sets.size()));
    return scores;
}();
constexpr int ItemsPerExercise[] = {5, 3, 1};

struct Fixture : WindowFixture
{
    Fixture()
    {
        fillSample();
        // Two twin CP classes of the same pupils: "Grille CP" (class 5) and "Fenêtres CP" (class 6).
        QString sql = "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (7, 5, 'Grille CP', 'CP'), "
                      "(7, 6, 'Fenêtres CP', 'CP');";
        for (int p = 0; p < Scores.size(); ++p)
            sql += QStringLiteral("INSERT INTO ELEVE (NOELEVE, NOECOLE, NOCLASSE, NOM) VALUES (5%1, 7, 5, 'P%2'), "
                                  "(6%1, 7, 6, 'P%2');")
                       .arg(p, 2, 10, QLatin1Char('0'))
                       .arg(p + 1, 2, 10, QLatin1Char('0'));
        exec(sql);
        QVERIFY(start());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath(QStringLiteral("réglages")));
        QSettings::setDefaultFormat(QSettings::IniFormat);
    }
    // The grid of `klass` (of "Ecole A"), shown and active, on its first trimester.
    std::unique_ptr<ClassGridWindow> open(const QString &klass)
    {
        select(schools(), "Ecole A");
        select(classes(), klass);
        auto w = std::make_unique<ClassGridWindow>(context, 0, window.get());
        w->show();
        if (!QTest::qWaitForWindowActive(w.get()))
            qWarning("the grid is not active");
        w->view()->setFocus();
        return w;
    }
    QString cell(const ClassGridWindow &w, int row, int column, int role = Qt::DisplayRole) const
    {
        return w.model()->index(row, column).data(role).toString();
    }
};

// The row's cells, "|" between them.
QString rowText(const ClassGridWindow &w, int row)
{
    QStringList cells;
    for (int c = 0; c < w.model()->columnCount(); ++c)
        cells.append(w.model()->index(row, c).data().toString());
    return cells.join('|');
}

// Every field the entry windows store for a CP pupil, and its domain profiles, one column each.
QStringList storedFields(const WindowFixture &f, qint64 key)
{
    QStringList fields = PupilResultFields(2);
    for (const char *suffix : {"L", "PG", "RM", "CT"})
        fields << QStringLiteral("PROFIL_%1").arg(suffix) << QStringLiteral("MOYCAT_%1").arg(suffix);
    return f.query(QStringLiteral("SELECT %1 FROM ELEVE WHERE NOELEVE = %2").arg(fields.join(", ")).arg(key));
}

// Sends `keys` to the focused widget, counting them ("\r" is Entrée).
int type(QWidget *target, const QString &keys)
{
    QTest::keyClicks(target, keys);
    return int(keys.size());
}

} // namespace

class TestClassGrid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setOrganizationName(QStringLiteral("velorin-tests")); }

    // A CP trimester-1 class typed with the keyboard only stores what the
    // entry windows store for a twin class typed box by box: every item,
    // total, category, profile letter and domain profile, and the class's.
    void keyboardEntryStoresWhatTheEntryWindowsStore()
    {
        Fixture f;
        auto grid = f.open("Grille CP");
        QCOMPARE(grid->model()->rowCount(), 25);
        // Entrée goes along the exercise's items, then to the next pupil's,
        // then to the next exercise from the first pupil.
        int gridKeys = 0;
        for (int e = 0; e < 3; ++e) {
            const int first = e == 0 ? 0 : e == 1 ? 5 : 8;
            for (const QStringList &pupil : Scores)
                for (int i = first; i < first + ItemsPerExercise[e]; ++i)
                    gridKeys += type(grid->view(), pupil.at(i) + "\r");
        }
        QVERIFY2(grid->refusalText().isEmpty(), qPrintable(grid->refusalText()));
        QCOMPARE(rowText(*grid, 0), QStringLiteral("1|3|2|1|1|8|1|A|4|2|1|7|1|A|6|1|A"));
        QCOMPARE(rowText(*grid, 2).section('|', 8, 13), QStringLiteral("_|_|_|_|_|_"));
        QTest::keyClick(grid->view(), Qt::Key_Return, Qt::ControlModifier); // Valider
        ++gridKeys;
        QVERIFY(!grid->model()->hasChanges());
        grid.reset();

        // The same scores through the entry windows: Saisie, then per pupil
        // Modifie, the boxes, Valider and the next pupil.
        f.select(f.classes(), "Fenêtres CP");
        int windowKeys = 1; // F5
        auto entry = std::make_unique<EntryWindow>(f.context, 2, 0, f.window.get());
        entry->show();
        QVERIFY(QTest::qWaitForWindowActive(entry.get()));
        for (int p = 0; p < Scores.size(); ++p) {
            QTest::keyClick(entry.get(), Qt::Key_F2);
            for (const QString &score : Scores.at(p))
                windowKeys += type(nullptr, score + "\r");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
            QVERIFY2(!entry->editing(), qPrintable(entry->refusalText()));
            windowKeys += 2;
            if (p + 1 < Scores.size()) {
                QTest::keyClick(entry.get(), Qt::Key_PageDown);
                ++windowKeys;
            }
        }
        entry.reset();

        for (int p = 0; p < Scores.size(); ++p) {
            // The entry window's pupil's domain profiles are computed as it is selected.
            f.context.session.selectPupil(600 + p);
            QCOMPARE(storedFields(f, 500 + p), storedFields(f, 600 + p));
        }
        QCOMPARE(
            f.query("SELECT T1_E1P2 || T1_E1TOT || T1_E1CAT || T1_E1PRO || T1_E2P1 FROM ELEVE WHERE NOELEVE = 502"),
            QStringList{"262A99"});
        const QStringList classes = f.query("SELECT T1_E1CAT, T1_E2CAT, T1_E3CAT, PROFIL_L, PROFIL_PG, PROFIL_RM, "
                                            "PROFIL_CT FROM CLASSE WHERE NOECOLE = 7 AND NOCLASSE IN (5, 6)");
        QVERIFY(classes.size() == 2);
        QCOMPARE(classes.at(0), classes.at(1));

        // The keys typed: the grid's Ctrl+G, two keys per score and Valider;
        // the windows' F5 and, per pupil, F2, the scores, Valider and Page
        // suivante (none after the last).
        qInfo("keys for a CP trimester-1 class of %d: grid %d, entry windows %d", int(Scores.size()), gridKeys + 1,
              windowKeys);
        QVERIFY(gridKeys + 1 < windowKeys);
    }

    // A refused value is marked in its cell and the status bar and leaves "_";
    // a part-filled series marks its row and "Valider" names its pupils;
    // Suppr clears, Ctrl+Z takes back; nothing is stored before "Valider".
    void refusedValuesAndIncompleteSeries()
    {
        Fixture f;
        auto w = f.open("Martin CP"); // Alice, Bruno, Chloé
        ClassGridView *view = w->view();
        // Columns: the items under their exercise's heading, the maximum in the tooltip.
        const auto heading = [&w](int column, int role) {
            return w->model()->headerData(column, Qt::Horizontal, role).toString() + '|';
        };
        QCOMPARE(heading(0, Qt::ToolTipRole) + heading(8, ClassGridModel::HeadingRole) + heading(5, Qt::DisplayRole) +
                     heading(16, Qt::DisplayRole),
                 QStringLiteral("Parole en général — maximum 1|Phono-graphique|Total|Profil|"));
        type(view, "7\r"); // E1 item 1, maximum 1
        QCOMPARE(view->currentIndex(), w->model()->index(0, 0));
        QCOMPARE(f.cell(*w, 0, 0) + '|' + f.cell(*w, 0, 0, ClassGridModel::RefusalRole) + '|' +
                     f.cell(*w, 0, 0, Qt::ToolTipRole),
                 NoResult + "|Vous devez saisir une valeur entre 0 et 1|Vous devez saisir une valeur entre 0 et 1");
        QCOMPARE(w->refusalText(), QStringLiteral("Alice : Vous devez saisir une valeur entre 0 et 1"));
        type(view, "x\r");
        QCOMPARE(w->refusalText(), QStringLiteral("Alice : Vous devez saisir une valeur numérique ou le signe _"));
        // Typing over a refused cell clears its mark; one character kept below 10.
        type(view, "1\r35\r");
        QCOMPARE(f.cell(*w, 0, 0, ClassGridModel::RefusalRole) + '|' + f.cell(*w, 0, 1), QStringLiteral("|3"));
        QCOMPARE(w->refusalText(), QStringLiteral("Alice : ") + IncompleteSeriesMessage);
        // The whole row, and that row only.
        QCOMPARE(w->model()->headerData(0, Qt::Vertical, Qt::ToolTipRole).toString() + '|' +
                     f.cell(*w, 0, 7, Qt::ToolTipRole) + '|' + f.cell(*w, 1, 0, Qt::ToolTipRole),
                 IncompleteSeriesMessage + '|' + IncompleteSeriesMessage + '|');

        const QStringList before = f.query("SELECT T1_E1P1, T1_E1P2 FROM ELEVE ORDER BY NOELEVE");
        QTest::keyClick(view, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(w->model()->hasChanges());
        QCOMPARE(f.dialogs.shown().constLast().text,
                 IncompleteSeriesMessage + QStringLiteral("\nÉlèves concernés : Alice"));
        QCOMPARE(f.query("SELECT T1_E1P1, T1_E1P2 FROM ELEVE ORDER BY NOELEVE"), before);

        // Ctrl+Z takes the "3" back, then the "1": the series is whole "_" again.
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.cell(*w, 0, 1) + f.cell(*w, 0, 0), QStringLiteral("_1"));
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!w->model()->hasChanges());
        QCOMPARE(w->model()->headerData(0, Qt::Vertical, Qt::ToolTipRole).toString(), QString());
        // Suppr clears the selected cells to "_" in one step.
        view->setCurrentIndex(w->model()->index(0, 8));
        type(view, "4\r2\r1\r");
        QCOMPARE(rowText(*w, 0).section('|', 8, 13), QStringLiteral("4|2|1|7|1|A"));
        view->setCurrentIndex(w->model()->index(0, 8));
        view->selectionModel()->select(QItemSelection(w->model()->index(0, 8), w->model()->index(0, 10)),
                                       QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(rowText(*w, 0).section('|', 8, 13), QStringLiteral("_|_|_|_|_|_"));
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rowText(*w, 0).section('|', 8, 13), QStringLiteral("4|2|1|7|1|A"));
        QTest::keyClick(view, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(!w->model()->hasChanges());
        QCOMPARE(f.query("SELECT T1_E2P1 || T1_E2TOT || T1_E2CAT || T1_E2PRO FROM ELEVE WHERE NOM = 'Alice'"),
                 QStringList{"471A"});
        // The main window's class panel follows the stored results.
        QCOMPARE(f.panelValues("classProfilePanel").value(1), QStringLiteral("A"));
    }

    // A spreadsheet's block fills from the current cell over the item
    // columns; bad values are listed in one message and left as they were.
    void pasteWithBadCells()
    {
        Fixture f;
        auto w = f.open("Martin CP");
        type(w->view(), "1\r"); // Alice E1 item 1
        w->view()->setCurrentIndex(w->model()->index(0, 0));
        QApplication::clipboard()->setText("0\t3\t9\t1\t1\t4\t2\r\n1\tx\t2\t1\t0\t1\t1\t0\t6\t5\r\n");
        QTest::keyClick(w->view(), Qt::Key_V, Qt::ControlModifier);
        const ScriptedDialogs::Shown message = f.dialogs.shown().constLast();
        QCOMPARE(message.title, QStringLiteral("ATTENTION"));
        QCOMPARE(message.text.split('\n').mid(1),
                 QStringList({"Alice — Syntaxe — Exercice 1 : Langage : Vous devez saisir une valeur entre 0 et 2",
                              "Bruno — Lexique — Exercice 1 : Langage : Vous devez saisir une valeur numérique ou le "
                              "signe _"}));
        // Alice: "9" refused, the derived columns skipped, "4 2" into E2.
        QCOMPARE(rowText(*w, 0), QStringLiteral("0|3|_|1|1|_|_|_|4|2|_|_|_|_|_|_|_"));
        QCOMPARE(rowText(*w, 1), QStringLiteral("1|_|2|1|0|_|_|_|1|1|0|2|3|F|6|1|A"));
        QCOMPARE(f.cell(*w, 0, 2, ClassGridModel::RefusalRole), QString());
        // One Ctrl+Z takes back the whole paste.
        QTest::keyClick(w->view(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rowText(*w, 0).left(9), QStringLiteral("1|_|_|_|_"));
        QCOMPARE(rowText(*w, 1), QStringLiteral("_|_|_|_|_|_|_|_|_|_|_|_|_|_|_|_|_"));
    }

    // "Abandon" brings the stored values back; closing with changes asks,
    // and Oui stores, Non drops, Annuler stays.
    void abandonAndClosing_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("Oui") << int(Dialogs::Answer::Yes) << true << "6";
        QTest::newRow("Non") << int(Dialogs::Answer::No) << true << "<null>";
        QTest::newRow("Annuler") << int(Dialogs::Answer::Cancel) << false << "<null>";
    }
    void abandonAndClosing()
    {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(QString, stored);
        Fixture f;
        auto w = f.open("Martin CP");
        const QModelIndex bruno = w->model()->index(1, w->model()->firstItemColumn(3)); // E3
        w->view()->setCurrentIndex(bruno);
        type(w->view(), "5\r");
        w->findChild<QAction *>("Abandon")->trigger();
        QVERIFY(!w->model()->hasChanges() && bruno.data().toString() == NoResult);
        w->view()->setCurrentIndex(bruno);
        type(w->view(), "6");
        f.dialogs.queueThreeWayAnswer(Dialogs::Answer(answer));
        QCOMPARE(w->close(), closed);
        QVERIFY(f.dialogs.shown().constLast().text == "Enregistrer les modifications ?" &&
                f.dialogs.unansweredQuestions() == 0);
        QCOMPARE(f.query("SELECT T1_E3P1 FROM ELEVE WHERE NOM = 'Bruno'"), QStringList{stored});
        QVERIFY(w->isVisible() != closed && w->model()->hasChanges() == (answer != int(Dialogs::Answer::Yes)));
    }

    // Another trimester with changes asks first: Annuler stays, Non drops
    // them. The usual editor (F2) checks as typing does.
    void changingTrimester()
    {
        Fixture f;
        auto w = f.open("Martin CP");
        auto *selector = w->findChild<QComboBox *>("trimesterSelector");
        QTest::keyClick(w->view(), Qt::Key_F2);
        QLineEdit *editor = w->view()->findChild<QLineEdit *>();
        QVERIFY(editor && editor->isVisible());
        QTest::keyClicks(editor, "5");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(w->refusalText(), QStringLiteral("Alice : Vous devez saisir une valeur entre 0 et 1"));
        type(w->view(), "1\r");
        f.dialogs.queueThreeWayAnswer(Dialogs::Answer::Cancel);
        selector->setCurrentIndex(1);
        QCOMPARE(selector->currentText() + f.cell(*w, 0, 0), QStringLiteral("1er Trimestre1"));
        f.dialogs.queueThreeWayAnswer(Dialogs::Answer::No);
        selector->setCurrentIndex(1);
        QCOMPARE(w->model()->trimester(), 2);
        QCOMPARE(w->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Consc.\nphonémique"));
        QCOMPARE(f.query("SELECT count(*) FROM ELEVE WHERE T1_E1P1 IS NOT NULL"), QStringList{"0"});
        QVERIFY(!w->model()->hasChanges());
    }

    // "Grille" and "Toute la classe…" need a class of an evaluated level; the
    // grid opens on the level's first trimester (GS: the second), Entrée's
    // direction is remembered.
    void openedFromTheMainWindow()
    {
        Fixture f;
        f.select(f.schools(), "Ecole A");
        f.select(f.classes(), "Durand GS");
        QAction *button = f.window->toolbarButton("classToolbar", "Grille");
        QAction *menu = f.window->toolbarButton("mainToolbar", "Grille");
        QVERIFY(button && menu && button->isEnabled() && menu->isEnabled());
        QCOMPARE(menu->text(), QStringLiteral("Toute la classe…"));
        QVERIFY(button->toolTip().startsWith(QStringLiteral("Saisie des résultats de toute la classe")));
        QStringList trimesters;
        f.onNextModal([&trimesters](QWidget *modal) {
            auto *grid = qobject_cast<ClassGridWindow *>(modal);
            QVERIFY(grid);
            const auto *selector = grid->findChild<QComboBox *>("trimesterSelector");
            for (int i = 0; i < selector->count(); ++i)
                trimesters << selector->itemText(i);
            grid->findChild<QComboBox *>("enterDirection")->setCurrentIndex(1);
            grid->close();
        });
        button->trigger();
        QCOMPARE(trimesters, QStringList({"2ème Trimestre", "3ème Trimestre"}));

        // Entrée now goes down, in the next grid too.
        auto w = f.open("Martin CP");
        QCOMPARE(w->findChild<QComboBox *>("enterDirection")->currentText(), QStringLiteral("vers le bas"));
        type(w->view(), "1\r0\r");
        QCOMPARE(f.cell(*w, 0, 0) + f.cell(*w, 1, 0) + f.cell(*w, 0, 1), QStringLiteral("10_"));
        QCOMPARE(w->view()->currentIndex(), w->model()->index(2, 0));
        w->findChild<QComboBox *>("enterDirection")->setCurrentIndex(0);
        w->findChild<QAction *>("Abandon")->trigger();
        w.reset();

        // A class of a level that is not evaluated has no grid.
        f.exec("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (7, 8, 'Aubry CM1', 'CM1')");
        f.window->showSelection({7, 8, 0});
        QCOMPARE(WindowFixture::selected(f.classes()), QStringLiteral("Aubry CM1"));
        QVERIFY(!button->isEnabled() && !menu->isEnabled());
    }
};

QTEST_MAIN(TestClassGrid)
#include "tst_classgrid.moc"
