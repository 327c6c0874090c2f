#include "../common/TestSupport.h"
#include "../common/WindowFixture.h"
#include "Generator.h"
#include "common/TextUtil.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/Roster.h"
#include "evaluation/ClassGridModel.h"
#include "evaluation/EvaluationModel.h"
#include "spreadsheets/CsvText.h"
#include "spreadsheets/ImportPreviewDialog.h"
#include "spreadsheets/ResultColumns.h"
#include "spreadsheets/ResultsCsv.h"
#include "spreadsheets/ResultsImport.h"
#include "spreadsheets/SchoolList.h"
#include "spreadsheets/SchoolListDialog.h"
#include "spreadsheets/XlsxExport.h"
#include "spreadsheets/XlsxReader.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <zip.h>

namespace {

// The test's own writer: puts `value` into cell `ref` of a sheet part of the
// workbook, as a number, or as an inline string when it is no number.
void setCell(const QString &xlsx, const QString &part, const QString &ref, const QString &value)
{
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(xlsx).constData(), 0, &code);
    QVERIFY(archive);
    zip_stat_t st;
    QCOMPARE(zip_stat(archive, part.toUtf8().constData(), 0, &st), 0);
    QByteArray xml(qsizetype(st.size), 0);
    zip_file_t *f = zip_fopen(archive, part.toUtf8().constData(), 0);
    QCOMPARE(zip_fread(f, xml.data(), st.size), zip_int64_t(st.size));
    zip_fclose(f);
    QString text = QString::fromUtf8(xml);
    bool number = false;
    value.toInt(&number);
    const QString content = value.isEmpty() ? QString()
                            : number        ? QStringLiteral("<v>%1</v>").arg(value)
                                            : QStringLiteral("<is><t>%1</t></is>").arg(value);
    const QString type = number || value.isEmpty() ? QString() : QStringLiteral(" t=\"inlineStr\"");
    const QRegularExpression cell(QStringLiteral("<c r=\"%1\"( s=\"\\d+\")?[^>]*?(/>|>.*?</c>)").arg(ref));
    QVERIFY2(cell.match(text).hasMatch(), qPrintable(ref));
    text.replace(cell, QStringLiteral("<c r=\"%1\"\\1%2>%3</c>").arg(ref, type, content));
    static QList<QByteArray> keep; // libzip reads the buffer at zip_close
    keep.append(text.toUtf8());
    zip_source_t *source =
        zip_source_buffer(archive, keep.constLast().constData(), zip_uint64_t(keep.constLast().size()), 0);
    QVERIFY(zip_file_add(archive, part.toUtf8().constData(), source, ZIP_FL_OVERWRITE) >= 0);
    QCOMPARE(zip_close(archive), 0);
}

// A workbook of one sheet made of the given parts, as another program might write it.
void makeWorkbook(const QString &path, const QByteArray &sheet, const QByteArray &strings = {})
{
    QFile::remove(path);
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE, &code);
    QVERIFY(archive);
    static QList<QByteArray> keep;
    const auto add = [&](const char *name, const QByteArray &bytes) {
        keep.append(bytes);
        zip_source_t *source = zip_source_buffer(archive, keep.constLast().constData(), zip_uint64_t(bytes.size()), 0);
        QVERIFY(zip_file_add(archive, name, source, 0) >= 0);
    };
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    add("xl/workbook.xml",
        "<workbook xmlns:r=\"" + rel + "\"><sheets><sheet name=\"Feuille\" r:id=\"rId1\"/></sheets></workbook>");
    add("xl/_rels/workbook.xml.rels",
        "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
            "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" + rel +
            "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>");
    add("xl/worksheets/sheet1.xml", sheet);
    add("xl/sharedStrings.xml", strings.isEmpty() ? QByteArray("<sst/>") : strings);
    QCOMPARE(zip_close(archive), 0);
}

QString ref(int row, int column)
{
    return XlsxReader::ColumnName(column) + QString::number(row + 1);
}

} // namespace

class TestSpreadsheets : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Connection m_connection;
    int m_school = 0;

    QString dataFolder() const { return m_dir.filePath(QStringLiteral("data")); }
    QStringList stored() const
    {
        return TestSupport::tableRows(m_connection.database(), QStringLiteral("ELEVE")) +
               TestSupport::tableRows(m_connection.database(), QStringLiteral("CLASSE"));
    }

private slots:
    void initTestCase()
    {
        GenData::Options o;
        o.schools = 1;
        o.classesPerSchool = 3;
        o.pupilsPerClass = 12;
        o.archivedYears = 0;
        o.today = QDate(2026, 12, 6);
        QString error;
        QVERIFY2(GenData::GenerateDataFolder(dataFolder(), o, false, nullptr, &error), qPrintable(error));
        m_connection.setDataFolder(DataFiles::WithTrailingSeparator(dataFolder()));
        QVERIFY2(m_connection.OpenDatabase(&error), qPrintable(error));
        m_school = Roster::Schools(m_connection).constFirst().schoolNo;
    }

    // Exported, changed in the file, read back: the import stores exactly what
    // typing the same values into the class grid stores; a refused value or a
    // part-filled series refuses the whole file and changes nothing.
    void workbookRoundTrip()
    {
        QList<ClassResults> classes;
        QString error;
        QVERIFY(ReadSchoolResults(m_connection, m_school, &classes, &error));
        QCOMPARE(classes.size(), 3);
        const QString xlsx = m_dir.filePath(QStringLiteral("ecole.xlsx"));
        QVERIFY2(XlsxExport::Write(xlsx, classes, QStringLiteral("2026-2027"), QDate(2026, 12, 6), &error),
                 qPrintable(error));

        // Read back as written: every cell as stored, the key sheets hidden.
        QList<XlsxReader::Sheet> sheets;
        QVERIFY2(XlsxReader::Read(xlsx, &sheets, &error), qPrintable(error));
        QCOMPARE(sheets.size(), 6);
        QVERIFY(!sheets.at(0).hidden && sheets.at(3).hidden);
        const ClassResults &c = classes.at(0);
        const QList<ResultColumn> columns = ResultColumns(c.level);
        QCOMPARE(sheets.at(0).name, c.label);
        QCOMPARE(sheets.at(0).cell(1, 1), c.label);
        for (int p = 0; p < c.pupils.size(); ++p) {
            QCOMPARE(sheets.at(0).cell(XlsxExport::FirstPupilRow + p, 0), c.pupils.at(p).name);
            for (int k = 0; k < columns.size(); ++k) {
                const QVariant v = CellValue(columns.at(k), c.pupils.at(p).fields);
                QCOMPARE(sheets.at(0).cell(XlsxExport::FirstPupilRow + p, k + 1),
                         v.isValid() ? v.toString() : QString());
            }
        }
        ResultsImport::Plan plan;
        QVERIFY2(ResultsImport::Prepare(m_connection, xlsx, m_school, 0, &plan, &error), qPrintable(error));
        QVERIFY(plan.changes.isEmpty() && plan.refusals.isEmpty());

        // Two scored items of a complete exercise change, through the file.
        int row = -1, first = -1;
        for (int p = 0; p < c.pupils.size() && row < 0; ++p)
            for (int k = 0; k + 1 < columns.size() && row < 0; ++k)
                if (columns.at(k).kind == ResultColumn::Kind::Item &&
                    columns.at(k + 1).kind == ResultColumn::Kind::Item &&
                    columns.at(k).exercise == columns.at(k + 1).exercise &&
                    CellValue(columns.at(k), c.pupils.at(p).fields).isValid() &&
                    ItemMax(c.level, columns.at(k).trimester, columns.at(k).exercise, columns.at(k).item) > 0)
                    row = p, first = k;
        QVERIFY(row >= 0);
        const auto newValue = [&](int k) {
            const ResultColumn &col = columns.at(k);
            const int max = ItemMax(c.level, col.trimester, col.exercise, col.item);
            return QString::number((CellValue(col, c.pupils.at(row).fields).toInt() + 1) % (max + 1));
        };
        const QString part = QStringLiteral("xl/worksheets/sheet1.xml");
        const int sheetRow = XlsxExport::FirstPupilRow + row;
        setCell(xlsx, part, ref(sheetRow, first + 1), newValue(first));
        setCell(xlsx, part, ref(sheetRow, first + 2), newValue(first + 1));

        // What the class grid stores for the same two values, on a copy.
        const QString copy = m_dir.filePath(QStringLiteral("copy"));
        QVERIFY(QDir().mkpath(copy));
        QVERIFY(QFile::copy(DataFiles::LiveDatabase(dataFolder()), copy + QStringLiteral("/donnees.mdb")));
        QStringList expected;
        {
            Connection other;
            other.setDataFolder(copy + QLatin1Char('/'));
            QVERIFY(other.OpenDatabase(&error));
            ClassGridModel grid(other, c.level, c.schoolNo, c.classNo);
            grid.load(columns.at(first).trimester);
            for (int k : {first, first + 1})
                for (int gc = 0; gc < grid.columnCount(); ++gc)
                    if (grid.boxOfColumn(gc) ==
                        BoxNumber(c.level, columns.at(k).trimester, columns.at(k).exercise, columns.at(k).item))
                        QVERIFY(grid.enter(row, gc, newValue(k)).accepted);
            QVERIFY(grid.save(&error));
            expected = TestSupport::tableRows(other.database(), QStringLiteral("ELEVE")) +
                       TestSupport::tableRows(other.database(), QStringLiteral("CLASSE"));
        }
        QVERIFY(ResultsImport::Prepare(m_connection, xlsx, m_school, 0, &plan, &error));
        QVERIFY(plan.refusals.isEmpty());
        QCOMPARE(plan.changes.size(), 2);
        QCOMPARE(plan.changes.at(0).pupil, c.pupils.at(row).name);
        QCOMPARE(plan.changes.at(0).after, newValue(first));
        const QStringList before = stored();
        QVERIFY2(ResultsImport::Apply(m_connection, plan, &error), qPrintable(error));
        QVERIFY(stored() != before);
        QCOMPARE(stored(), expected);

        // Refused: a value above the maximum, a text, a part-filled series.
        const QStringList after = stored();
        setCell(xlsx, part, ref(sheetRow, first + 1), QStringLiteral("12"));
        setCell(xlsx, part, ref(sheetRow + 1, first + 1), QStringLiteral("abs"));
        QVERIFY(ResultsImport::Prepare(m_connection, xlsx, m_school, 0, &plan, &error));
        QCOMPARE(plan.refusals.size(), 2);
        QCOMPARE(plan.refusals.at(0).sheet, c.label);
        QCOMPARE(plan.refusals.at(0).row, sheetRow + 1);
        QVERIFY2(plan.refusals.at(0).column.startsWith(XlsxReader::ColumnName(first + 1) + QStringLiteral(" (T")),
                 qPrintable(plan.refusals.at(0).text()));
        QVERIFY(!ResultsImport::Apply(m_connection, plan, &error));
        setCell(xlsx, part, ref(sheetRow, first + 1), QString());
        setCell(xlsx, part, ref(sheetRow + 1, first + 1), newValue(first));
        QVERIFY(ResultsImport::Prepare(m_connection, xlsx, m_school, 0, &plan, &error));
        QVERIFY(!plan.refusals.isEmpty());
        QVERIFY2(plan.refusals.constLast().reason.startsWith(QStringLiteral("Vous devez remplir la série complète")),
                 qPrintable(plan.refusals.constLast().text()));
        QCOMPARE(stored(), after);
    }

    // The exported workbook as a real spreadsheet program reads it.
    void openedByLibreOffice()
    {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed");
        ClassResults c;
        QString error;
        QVERIFY(ReadClassResults(m_connection, m_school, Roster::Classes(m_connection, m_school).constFirst().classNo,
                                 &c, &error));
        const QString xlsx = m_dir.filePath(QStringLiteral("classe.xlsx"));
        QVERIFY(XlsxExport::Write(xlsx, {c}, QStringLiteral("2026-2027"), QDate(2026, 12, 6), &error));
        QProcess lo;
        lo.setWorkingDirectory(m_dir.path());
        lo.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + m_dir.filePath(QStringLiteral("lo")),
                           QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                           QStringLiteral("csv:Text - txt - csv (StarCalc):59,34,76,1"), QStringLiteral("--outdir"),
                           m_dir.filePath(QStringLiteral("lo-out")), xlsx});
        QVERIFY(lo.waitForFinished(180000));
        QFile out(m_dir.filePath(QStringLiteral("lo-out/classe.csv")));
        QVERIFY2(out.open(QIODevice::ReadOnly), lo.readAllStandardError().constData());
        QList<QStringList> rows;
        QVERIFY(CsvText::Parse(QString::fromUtf8(out.readAll()), QStringLiteral("classe.csv"), 1000, &rows, nullptr,
                               &error));
        // The header block, then the pupils' values; LibreOffice drops the blank row.
        QCOMPARE(rows.at(1).value(1), c.label);
        QCOMPARE(rows.at(4).value(1), QStringLiteral("2026-2027"));
        const QList<QStringList> expected = ResultsCsv::Rows(c);
        const int first = int(rows.size()) - int(c.pupils.size());
        QCOMPARE(rows.at(first - 1).value(0), QStringLiteral("Nom"));
        for (int p = 0; p < c.pupils.size(); ++p)
            QCOMPARE(rows.at(first + p).mid(0, expected.at(p + 1).size() - 1),
                     expected.at(p + 1).mid(0, expected.at(p + 1).size() - 1));
        // Saved again by LibreOffice, the workbook reads back as written: nothing changes.
        lo.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + m_dir.filePath(QStringLiteral("lo")),
                           QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("xlsx"),
                           QStringLiteral("--outdir"), m_dir.filePath(QStringLiteral("lo-xlsx")), xlsx});
        QVERIFY(lo.waitForFinished(180000));
        ResultsImport::Plan plan;
        QVERIFY2(ResultsImport::Prepare(m_connection, m_dir.filePath(QStringLiteral("lo-xlsx/classe.xlsx")), m_school,
                                        0, &plan, &error),
                 qPrintable(error));
        QVERIFY(plan.refusals.isEmpty() && plan.changes.isEmpty() && plan.notes.isEmpty());
    }

    // The class CSV read back by name when the key column is gone: an
    // ambiguous name is refused with its line.
    void classCsvByName()
    {
        const Roster::ClassEntry klass = Roster::Classes(m_connection, m_school).constFirst();
        ClassResults c;
        QString error;
        QVERIFY(ReadClassResults(m_connection, m_school, klass.classNo, &c, &error));
        QList<QStringList> rows = ResultsCsv::Rows(c);
        for (QStringList &r : rows)
            r.removeLast(); // the key column
        std::swap(rows[1], rows[2]);
        const QString path = m_dir.filePath(QStringLiteral("classe.csv"));
        TestSupport::writeFile(path, CsvText::Encode(rows));
        ResultsImport::Plan plan;
        QVERIFY2(ResultsImport::Prepare(m_connection, path, m_school, klass.classNo, &plan, &error), qPrintable(error));
        QVERIFY(plan.changes.isEmpty() && plan.refusals.isEmpty());
        TestSupport::execSql(dataFolder(), QStringLiteral("UPDATE ELEVE SET NOM = '%1' WHERE NOELEVE = %2")
                                               .arg(c.pupils.at(1).name)
                                               .arg(c.pupils.at(0).key));
        QVERIFY(ResultsImport::Prepare(m_connection, path, m_school, klass.classNo, &plan, &error));
        QCOMPARE(plan.refusals.size(), 2);
        QCOMPARE(plan.refusals.at(0).row, 2);
        QVERIFY(plan.refusals.at(0).reason.contains(QStringLiteral("2 élèves nommés")));
        TestSupport::writeFile(path, "Nom;Prenom\r\nX;Y\r\n");
        TestSupport::execSql(dataFolder(), QStringLiteral("UPDATE ELEVE SET NOM = '%1' WHERE NOELEVE = %2")
                                               .arg(c.pupils.at(0).name)
                                               .arg(c.pupils.at(0).key));
    }

    // Another program's workbook: shared strings with runs, inline strings,
    // numbers; then parts that are refused with a French message.
    void workbookParts()
    {
        const QString path = m_dir.filePath(QStringLiteral("autre.xlsx"));
        makeWorkbook(
            path,
            "<worksheet><sheetData><row r=\"2\"><c r=\"B2\" t=\"s\"><v>0</v></c><c t=\"inlineStr\"><is><t>é</t>"
            "</is></c><c r=\"E2\"><v>4.0</v></c><c r=\"F2\" t=\"b\"><v>1</v></c></row></sheetData></worksheet>",
            "<sst><si><r><t>Lé</t></r><r><rPr/><t>a</t></r></si></sst>");
        QList<XlsxReader::Sheet> sheets;
        QString error;
        QVERIFY2(XlsxReader::Read(path, &sheets, &error), qPrintable(error));
        QCOMPARE(sheets.constFirst().rows.value(1), QStringList({"", "Léa", "é", "", "4", "VRAI"}));
        const QByteArray spaces(2 << 20, ' ');
        for (const auto &[sheet, why] : std::initializer_list<std::pair<QByteArray, const char *>>{
                 {"<!DOCTYPE w [<!ENTITY a \"aa\">]><worksheet/>", "DTD"},
                 {"<worksheet><sheetData><row><c r=\"A5000\"><v>1</v></c></row></sheetData></worksheet>", "lignes"},
                 {"<worksheet><sheetData><row><c r=\"A1\" t=\"s\"><v>7</v></c></row></sheetData></worksheet>",
                  "texte partagé"},
                 {"<worksheet><sheetData><row>", "XML"},
                 {"<worksheet>" + spaces + "</worksheet>", "compressé plus de"}}) {
            makeWorkbook(path, sheet);
            QVERIFY(!XlsxReader::Read(path, &sheets, &error));
            QVERIFY2(error.contains(QString::fromUtf8(why)), qPrintable(error));
        }
        TestSupport::writeFile(path, QByteArray("PK\x03\x04", 4) + QByteArray(100, 'x'));
        QVERIFY(!XlsxReader::Read(path, &sheets, &error));
        QVERIFY(!XlsxReader::Read(m_dir.path(), &sheets, &error));
        QVERIFY2(error.contains(QStringLiteral("est un dossier")), qPrintable(error));
    }

    // Through the main window's menu: the class's CSV written, a series typed
    // in it read back after its preview; an administration list mapped.
    void commandsOfTheMenu()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        WindowFixture::select(f.classes(), QStringLiteral("Martin CP"));
        QTemporaryDir out;
        f.dialogs.queueChoice(out.path());
        f.run(QStringLiteral("spreadsheetMenu"), QStringLiteral("ExportCsv"));
        QCOMPARE(f.dialogs.titles().constLast(), QStringLiteral("Succès"));
        const QString csv = out.filePath(QStringLiteral("Martin CP.csv"));
        QString text;
        QString error;
        QList<QStringList> rows;
        QVERIFY(CsvText::ReadFile(csv, 1 << 20, &text, &error) &&
                CsvText::Parse(text, QStringLiteral("csv"), 100, &rows, nullptr, &error));
        QCOMPARE(rows.value(1).value(0), QStringLiteral("Alice"));
        const QStringList typed = {"1", "2", "1", "1", "0"};
        for (int i = 0; i < typed.size(); ++i)
            rows[1][rows[0].indexOf(QStringLiteral("T1 Langage Q%1").arg(i + 1))] = typed.at(i);
        TestSupport::writeFile(csv, CsvText::Encode(rows));
        int previewed = 0;
        WindowFixture::onNextModal([&previewed](QWidget *modal) {
            auto *preview = qobject_cast<ImportPreviewDialog *>(modal);
            previewed = preview ? preview->changeList()->topLevelItemCount() : -1;
            modal->findChild<QPushButton *>(QStringLiteral("importButton"))->click();
        });
        f.dialogs.queueChoice(out.path(), QStringLiteral("Martin CP.csv"));
        f.run(QStringLiteral("spreadsheetMenu"), QStringLiteral("ImportResults"));
        QCOMPARE(previewed, 5);
        QCOMPARE(f.dialogs.titles().constLast(), QStringLiteral("Succès"));
        QCOMPARE(f.query("SELECT T1_E1P1, T1_E1P2, T1_E1P5, T1_E1TOT FROM ELEVE WHERE NOM = 'Alice'"),
                 QStringList{"1|2|0|5"});

        TestSupport::writeFile(
            out.filePath(QStringLiteral("onde.csv")),
            "Nom \xC3\xA9l\xC3\xA8ve;Pr\xC3\xA9nom \xC3\xA9l\xC3\xA8ve;Niveau;Libell\xC3\xA9 classe\r\n"
            "ALICE;;CP;CP A\r\nNOUVEAU;Jean;CP;CP A\r\nPETIT;Ana;CE1;CE1 B\r\n");
        WindowFixture::onNextModal([](QWidget *modal) {
            modal->findChild<QLineEdit *>(QStringLiteral("teacher1"))->setText(QStringLiteral("M. Petit"));
            modal->findChild<QPushButton *>(QStringLiteral("importButton"))->click();
        });
        f.dialogs.queueChoice(out.path(), QStringLiteral("onde.csv"));
        f.run(QStringLiteral("spreadsheetMenu"), QStringLiteral("ImportSchoolList"));
        QCOMPARE(f.dialogs.shown().constLast().text,
                 QStringLiteral(
                     "3 élève(s) ajouté(s), 0 ignoré(s) (déjà présents ou non importés) ; 1 classe(s) créée(s)."));
        QCOMPARE(f.query("SELECT c.LIBELLE, c.NIVEAU, e.NOM FROM ELEVE e JOIN CLASSE c USING (NOECOLE, NOCLASSE) "
                         "WHERE e.NOM IN ('NOUVEAU Jean', 'PETIT Ana') ORDER BY e.NOM"),
                 QStringList({"Martin CP|CP|NOUVEAU Jean", "M. Petit CE1|CE1|PETIT Ana"}));
    }

    // The administration's list in either encoding, columns in any order:
    // classes by level, a new class and an existing one filled in one go, the
    // pupils already there skipped; a file without its header line refused.
    void schoolListImport()
    {
        const QString text =
            QStringLiteral("Prénom élève;Libellé classe;Autre;Nom d'usage élève;Niveau;Nom élève;Date naissance\r\n"
                           "Léa;CP-CE1 Dupré;x;;CP;Dupont;01/02/2019\r\n"
                           "Noé;CP-CE1 Dupré;x;Martin;ce1;Bernard;03/04/2018\r\n"
                           "Zoé;GS Lopez;;;Grande section;\"Lefèvre; dit \"\"Lef\"\"\";05/06/2020\r\n"
                           "Éric;CM1 Roux;;;CM1;Roux;01/01/2016\r\n"
                           "Inès;CP-CE1 Dupré;;;CP;Ferré;01/09/2019\r\n");
        QList<SchoolList::Group> utf8, latin;
        QString error;
        QVERIFY(
            SchoolList::Parse(QString::fromUtf8(CsvText::Encode({})) + text, QStringLiteral("a.csv"), &utf8, &error));
        QVERIFY2(SchoolList::Parse(DecodeUtf8OrWindows1252(text.toLatin1()), QStringLiteral("b.csv"), &latin, &error),
                 qPrintable(error));
        QCOMPARE(utf8.size(), 4);
        for (const QList<SchoolList::Group> *g : {&utf8, &latin}) {
            QCOMPARE(g->at(0).classLabel, QStringLiteral("CP-CE1 Dupré"));
            QCOMPARE(g->at(0).level, 2);
            QCOMPARE(g->at(0).pupils.at(0).name, QStringLiteral("DUPONT Léa"));
            QCOMPARE(g->at(0).pupils.at(1).name, QStringLiteral("FERRÉ Inès"));
            QCOMPARE(g->at(1).level, 3);
            QCOMPARE(g->at(1).pupils.at(0).name, QStringLiteral("MARTIN Noé")); // the usage name
            QCOMPARE(g->at(2).level, 1);
            QCOMPARE(g->at(2).pupils.at(0).name, QStringLiteral("LEFÈVRE; DIT \"LEF\" Zoé"));
            QCOMPARE(g->at(3).level, 0);
        }
        const Roster::ClassEntry cp = [&] {
            for (const Roster::ClassEntry &k : Roster::Classes(m_connection, m_school))
                if (k.level == QLatin1String("CP"))
                    return k;
            return Roster::ClassEntry();
        }();
        QVERIFY(cp.classNo != 0);
        using Kind = SchoolList::Target::Kind;
        const QList<SchoolList::Target> targets = {
            {Kind::Existing, cp.classNo, {}}, {Kind::New, 0, QStringLiteral("Mme Dupré")}, {Kind::Skip, 0, {}}, {}};
        SchoolList::Outcome outcome;
        QVERIFY2(SchoolList::Apply(m_connection, m_school, utf8, targets, &outcome, &error), qPrintable(error));
        QCOMPARE(outcome.added, 3);
        QCOMPARE(outcome.skipped, 2);
        QCOMPARE(outcome.classesCreated, 1);
        QCOMPARE(Roster::Classes(m_connection, m_school).size(), 4);
        // Again: the pupils are there already, the new class is made anew only when asked.
        QVERIFY(SchoolList::Apply(m_connection, m_school, latin, {targets.at(0), {}, {}, {}}, &outcome, &error));
        QCOMPARE(outcome.added, 0);
        QCOMPARE(outcome.skipped, 5);

        QVERIFY(
            !SchoolList::Parse(QStringLiteral("Dupont;Léa;CP;CP Dupré\r\n"), QStringLiteral("c.csv"), &utf8, &error));
        QVERIFY2(error.contains(QStringLiteral("première ligne")), qPrintable(error));
        QVERIFY(!SchoolList::Parse(QStringLiteral("Nom élève;Prénom élève;Niveau;Libellé classe\r\n\"Dupont;Léa\r\n"),
                                   QStringLiteral("d.csv"), &utf8, &error));
        QVERIFY2(error.contains(QStringLiteral("ligne 2")), qPrintable(error));
    }
};

QTEST_MAIN(TestSpreadsheets)
#include "tst_spreadsheets.moc"
