// Pictures of the main window (at the screen's size and at its smallest), of
// the three entry windows (GS, CP, CE1, at their opening size and at their
// smallest), of a class and a pupil dialog, of the folder chooser, of the year-change window, of the synthesis viewer and of the class grid (a
// 25-pupil CE1 class on trimester 3), of the "Tableur" menu, an import's
// preview and an administration list's classes, on sample data, into the
// folder given (default /tmp/shots): to look at them as a teacher would.
#include "WindowFixture.h"

#include "admin/ClassDialog.h"
#include "admin/PupilDialog.h"
#include "backup/FolderChooser.h"
#include "evaluation/ClassGridView.h"
#include "evaluation/ClassGridWindow.h"
#include "evaluation/EntryWindow.h"
#include "reports/ReportViewer.h"
#include "spreadsheets/CsvText.h"
#include "spreadsheets/ImportPreviewDialog.h"
#include "spreadsheets/ResultsCsv.h"
#include "spreadsheets/ResultsImport.h"
#include "spreadsheets/SchoolList.h"
#include "spreadsheets/SchoolListDialog.h"
#include "transfers/YearChangeWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {

void save(QWidget *w, const QString &path)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        std::printf("%s: not shown\n", qPrintable(path));
    QTest::qWait(300);
    w->grab().save(path);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/shots");
    QDir().mkpath(folder);
    WindowFixture f;
    f.fillSample();
    if (!f.start())
        return 2;
    f.select(f.classes(), QStringLiteral("Martin CP"));
    const QSize screen = QGuiApplication::primaryScreen()->availableSize();
    f.window->resize(screen);
    save(f.window.get(), folder + "/main_screen.png");
    f.window->resize(f.window->minimumSize());
    QTest::qWait(300);
    save(f.window.get(), folder + "/main_minimum.png");
    std::printf("minimum %dx%d, screen %dx%d\n", f.window->minimumWidth(), f.window->minimumHeight(), screen.width(),
                screen.height());

    // One pupil's entry window per level, on its last trimester.
    const struct
    {
        int school, klass, level, tab;
        const char *name;
    } entries[] = {{7, 4, 1, 1, "entry_GS"}, {7, 1, 2, 2, "entry_CP"}, {3, 9, 3, 2, "entry_CE1"}};
    for (const auto &e : entries) {
        f.window->showSelection({e.school, e.klass, 0});
        EntryWindow entry(f.context, e.level, e.tab, f.window.get());
        entry.setModal(false);
        save(&entry, folder + QStringLiteral("/%1.png").arg(QLatin1String(e.name)));
        entry.resize(entry.minimumSizeHint());
        QTest::qWait(200);
        save(&entry, folder + QStringLiteral("/%1_minimum.png").arg(QLatin1String(e.name)));
        std::printf("%s: %dx%d, smallest %dx%d\n", e.name, entry.sizeHint().width(), entry.sizeHint().height(),
                    entry.width(), entry.height());
        entry.hide();
    }
    f.window->showSelection({7, 1, 0});

    FolderChooser chooser({false, QStringLiteral("*.mdb"), QStringLiteral("Choisir la sauvegarde à restaurer"),
                           QStringLiteral("sauvegarde"), true},
                          f.folder(), f.window.get());
    chooser.setModal(false);
    save(&chooser, folder + "/chooser.png");
    chooser.hide();

    ClassDialog dialog(f.context, *f.window, false, f.window.get());
    dialog.setModal(false);
    save(&dialog, folder + "/class_dialog.png");
    dialog.hide();
    PupilDialog pupil(f.context, *f.window, false, f.window.get());
    pupil.setModal(false);
    save(&pupil, folder + "/pupil_dialog.png");
    pupil.hide();
    YearChangeWindow yearChange(f.context, *f.window, f.window.get());
    save(&yearChange, folder + "/year_change.png");
    yearChange.hide();
    // The synthesis viewer, with « Fiches élèves » in its toolbar.
    ReportViewer viewer(f.dialogs, f.folder() + QLatin1Char('/'), ReadSynthesisInput(f.context.connection, 7, 1),
                        f.window.get());
    viewer.setSheetsOpener([](QWidget *) {});
    viewer.setModal(false);
    save(&viewer, folder + "/synthesis_viewer.png");
    viewer.hide();

    // "Petit CE1" filled up to 25 pupils with trimester-3 answers; the last
    // pupil's second series is half typed.
    const QStringList names = {"Adam",   "Chloé", "Diane", "Élise", "Fanny", "Gabin", "Hugo",   "Inès",
                               "Jules",  "Karim", "Léa",   "Lina",  "Louis", "Manon", "Nathan", "Noé",
                               "Océane", "Paul",  "Rose",  "Sacha", "Théo",  "Tom",   "Yanis",  "Zoé"};
    QString sql;
    for (int p = 0; p < names.size(); ++p) {
        QStringList columns, values;
        for (int e = 1; e <= 3; ++e)
            for (int i = 1; i <= 7; ++i) {
                columns << QStringLiteral("T3_E%1P%2").arg(e).arg(i);
                values << QString::number(p == names.size() - 1 && e == 2 ? 99 : (p * 7 + e * 3 + i * 5) % 4 != 0);
            }
        sql += QStringLiteral("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, %1) VALUES (3, 9, '%2', %3);")
                   .arg(columns.join(','), names.at(p), values.join(','));
    }
    f.exec(sql);
    f.window->showSelection({3, 9, 0});
    ClassGridWindow grid(f.context, 3, f.window.get());
    grid.setModal(false);
    grid.resize(screen);
    grid.show();
    grid.view()->setFocus();
    grid.view()->setCurrentIndex(grid.model()->index(grid.model()->rowCount() - 1, grid.model()->firstItemColumn(2)));
    QTest::keyClicks(grid.view(), "1\r3\r");
    save(&grid, folder + "/grid-CE1-T3.png");
    grid.hide();

    f.window->showSelection({7, 1, 0});
    ClassGridWindow cp(f.context, 1, f.window.get());
    cp.setModal(false);
    cp.resize(screen);
    save(&cp, folder + "/grid-CP-T1.png");
    cp.hide();

    // The "Tableur" menu; the preview of an import of "Petit CE1"'s results
    // with a few values changed; the classes of an administration list.
    f.window->resize(screen);
    if (auto *menu = f.window->findChild<QMenu *>(QStringLiteral("spreadsheetMenu"))) {
        menu->popup(f.window->mapToGlobal(QPoint(200, 60)));
        QTest::qWait(300);
        menu->grab().save(folder + "/spreadsheet_menu.png");
        menu->hide();
    }
    QTemporaryDir temp;
    ClassResults ce1;
    QString error;
    ReadClassResults(f.context.connection, 3, 9, &ce1, &error);
    QList<QStringList> rows = ResultsCsv::Rows(ce1);
    const auto flip = [&rows](int row, const char *column) {
        QString &cell = rows[row][rows.constFirst().indexOf(QString::fromUtf8(column))];
        cell = cell == QStringLiteral("1") ? QStringLiteral("0") : QStringLiteral("1");
    };
    flip(1, "T3 ARI Q2");
    flip(2, "T3 Compr.texte Nar. Q5");
    flip(2, "T3 Compr.texte Nar. Q6");
    flip(6, "T3 ARI Q7");
    QFile csv(temp.filePath(QStringLiteral("Petit CE1.csv")));
    csv.open(QIODevice::WriteOnly);
    csv.write(CsvText::Encode(rows));
    csv.close();
    ResultsImport::Plan plan;
    if (!ResultsImport::Prepare(f.context.connection, csv.fileName(), 3, 9, &plan, &error))
        std::printf("preview: %s\n", qPrintable(error));
    for (const ResultsImport::Refusal &r : plan.refusals)
        std::printf("refused: %s\n", qPrintable(r.text()));
    ImportPreviewDialog preview(QStringLiteral("Petit CE1.csv"), plan, f.window.get());
    save(&preview, folder + "/import_preview.png");
    preview.hide();
    QList<SchoolList::Group> groups;
    SchoolList::Parse(QStringLiteral("Nom élève;Prénom élève;Nom d'usage élève;Niveau;Libellé classe\n"
                                     "Dupont;Léa;;CP;CP Mme Martin\nDurand;Noé;;CP;CP Mme Martin\n"
                                     "Bernard;Zoé;;GS;Grande section\nPetit;Jules;;CE1;CE1 M. Petit\n"
                                     "Roux;Éric;;CM1;CM1 M. Roux\n"),
                      QStringLiteral("liste.csv"), &groups, &error);
    SchoolListDialog mapping(f.context.connection, f.dialogs, 7, QStringLiteral("ExportONDE.csv"), groups,
                             f.window.get());
    save(&mapping, folder + "/school_list.png");
    return 0;
}
