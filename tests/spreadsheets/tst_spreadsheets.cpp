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
#include "spreadsheets/XlsxExport.h"
#include "spreadsheets/XlsxReader.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <zip.h>

using namespace Qt::StringLiterals;

namespace {

// Adds or replaces a part of an open archive; libzip reads the bytes at zip_close, so they are kept.
void put(zip_t *archive, const char *name, const QByteArray &bytes)
{
    static QList<QByteArray> keep;
    keep.append(bytes);
    zip_source_t *source = zip_source_buffer(archive, keep.constLast().constData(), zip_uint64_t(bytes.size()), 0);
    QVERIFY(zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) >= 0);
}

// The test's own writer: puts `value` into the cell (row, column) of the first sheet,
// as a number, or as an inline string when it is no number.
void setCell(const QString &xlsx, int row, int column, const QString &value)
{
    const char *part = "xl/worksheets/sheet1.xml";
    zip_t *archive = zip_open(QFile::encodeName(xlsx).constData(), 0, nullptr);
    QVERIFY(archive);
    zip_stat_t st;
    QCOMPARE(zip_stat(archive, part, 0, &st), 0);
    QByteArray xml(qsizetype(st.size), 0);
    zip_file_t *f = zip_fopen(archive, part, 0);
    QCOMPARE(zip_fread(f, xml.data(), st.size), zip_int64_t(st.size));
    zip_fclose(f);
    QString text = QString::fromUtf8(xml);
    bool number = false;
    value.toInt(&number);
    const QString content = value.isEmpty() ? QString()
                            : number        ? "<v>" + value + "</v>"
                                            : "<is><t>" + value + "</t></is>";
    const QString type = number || value.isEmpty() ? QString() : QStringLiteral(" t=\"inlineStr\"");
    const QString ref = XlsxReader::ColumnName(column) + QString::number(row + 1);
    const QRegularExpression cell(QStringLiteral("<c r=\"%1\"( s=\"\\d+\")?[^>]*?(/>|>.*?</c>)").arg(ref));
    QVERIFY2(cell.match(text).hasMatch(), qPrintable(ref));
    text.replace(cell, QStringLiteral("<c r=\"%1\"\\1%2>%3</c>").arg(ref, type, content));
    put(archive, part, text.toUtf8());
    QCOMPARE(zip_close(archive), 0);
}

// A workbook of one sheet made of the given parts, as another program might write it.
void makeWorkbook(const QString &path, const QByteArray &sheet, const QByteArray &strings = "<sst/>")
{
    QFile::remove(path);
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE, nullptr);
    QVERIFY(archive);
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    put(archive, "xl/workbook.xml",
        "<workbook xmlns:r=\"" + rel + "\"><sheets><sheet name=\"Feuille\" r:id=\"rId1\"/></sheets></workbook>");
    put(archive, "xl/_rels/workbook.xml.rels",
        "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
            "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" + rel +
            "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>");
    put(archive, "xl/worksheets/sheet1.xml", sheet);
    put(archive, "xl/sharedStrings.xml", strings);
    QCOMPARE(zip_close(archive), 0);
}

QStringList stored(const Connection &connection)
{
    return TestSupport::tableRows(connection.database(), "ELEVE") +
           TestSupport::tableRows(connection.database(), "CLASSE");
}

} // namespace

class TestSpreadsheets : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Connection m_connection;
    int m_school = 0;

    QString dataFolder() const { return m_dir.filePath("data"); }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(GenData::GenerateDataFolder(dataFolder(),
                                             {.pupilsPerClass = 12, .archivedYears = 0, .today = {2026, 12, 6}}, false,
                                             nullptr, &error),
                 qPrintable(error));
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
        const QString xlsx = m_dir.filePath("ecole.xlsx");
        QVERIFY2(XlsxExport::Write(xlsx, classes, "2026-2027", QDate(2026, 12, 6), &error), qPrintable(error));

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
        const auto max = [&](int k) {
            const ResultColumn &col = columns.at(k);
            return ItemMax(c.level, col.trimester, col.exercise, col.item);
        };
        for (int p = 0; p < c.pupils.size() && row < 0; ++p)
            for (int k = 0; k + 1 < columns.size() && row < 0; ++k)
                if (columns.at(k).kind == ResultColumn::Kind::Item &&
                    columns.at(k + 1).kind == ResultColumn::Kind::Item &&
                    columns.at(k).exercise == columns.at(k + 1).exercise &&
                    CellValue(columns.at(k), c.pupils.at(p).fields).isValid() && max(k) > 0)
                    row = p, first = k;
        QVERIFY(row >= 0);
        const auto newValue = [&](int k) {
            return QString::number((CellValue(columns.at(k), c.pupils.at(row).fields).toInt() + 1) % (max(k) + 1));
        };
        const int sheetRow = XlsxExport::FirstPupilRow + row;
        setCell(xlsx, sheetRow, first + 1, newValue(first));
        setCell(xlsx, sheetRow, first + 2, newValue(first + 1));

        // What the class grid stores for the same two values, on a copy.
        const QString copy = m_dir.filePath("copy");
        QVERIFY(QDir().mkpath(copy));
        QVERIFY(QFile::copy(DataFiles::LiveDatabase(dataFolder()), copy + "/donnees.mdb"));
        QStringList expected;
        {
            Connection other;
            other.setDataFolder(copy + '/');
            QVERIFY(other.OpenDatabase(&error));
            ClassGridModel grid(other, c.level, c.schoolNo, c.classNo);
            grid.load(columns.at(first).trimester);
            for (int k : {first, first + 1})
                for (int gc = 0; gc < grid.columnCount(); ++gc)
                    if (grid.boxOfColumn(gc) ==
                        BoxNumber(c.level, columns.at(k).trimester, columns.at(k).exercise, columns.at(k).item))
                        QVERIFY(grid.enter(row, gc, newValue(k)).accepted);
            QVERIFY(grid.save(&error));
            expected = stored(other);
        }
        QVERIFY(ResultsImport::Prepare(m_connection, xlsx, m_school, 0, &plan, &error));
        QVERIFY(plan.refusals.isEmpty());
        QCOMPARE(plan.changes.size(), 2);
        QCOMPARE(plan.changes.at(0).pupil, c.pupils.at(row).name);
        QCOMPARE(plan.changes.at(0).after, newValue(first));
        const QStringList before = stored(m_connection);
        QVERIFY2(ResultsImport::Apply(m_connection, plan, &error), qPrintable(error));
        QVERIFY(stored(m_connection) != before);
        QCOMPARE(stored(m_connection), expected);

        // Refused: a value above the maximum, a text, a part-filled series.
        setCell(xlsx, sheetRow, first + 1, "12");
        setCell(xlsx, sheetRow + 1, first + 1, "abs");
        QVERIFY(ResultsImport::Prepare(m_connection, xlsx, m_school, 0, &plan, &error));
        QCOMPARE(plan.refusals.size(), 2);
        QCOMPARE(plan.refusals.at(0).sheet, c.label);
        QCOMPARE(plan.refusals.at(0).row, sheetRow + 1);
        QVERIFY2(plan.refusals.at(0).column.startsWith(XlsxReader::ColumnName(first + 1) + " (T"),
                 qPrintable(plan.refusals.at(0).text()));
        QVERIFY(!ResultsImport::Apply(m_connection, plan, &error));
        setCell(xlsx, sheetRow, first + 1, QString());
        setCell(xlsx, sheetRow + 1, first + 1, newValue(first));
        QVERIFY(ResultsImport::Prepare(m_connection, xlsx, m_school, 0, &plan, &error));
        QVERIFY(!plan.refusals.isEmpty());
        QVERIFY2(plan.refusals.constLast().reason.startsWith("Vous devez remplir la série complète"),
                 qPrintable(plan.refusals.constLast().text()));
        QCOMPARE(stored(m_connection), expected);
    }

    // The exported workbook as a real spreadsheet program reads it.
    void openedByLibreOffice()
    {
        const QString soffice = QStandardPaths::findExecutable("soffice");
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed");
        ClassResults c;
        QString error;
        QVERIFY(ReadClassResults(m_connection, m_school, Roster::Classes(m_connection, m_school).constFirst().classNo,
                                 &c, &error));
        const QString xlsx = m_dir.filePath("classe.xlsx");
        QVERIFY(XlsxExport::Write(xlsx, {c}, "2026-2027", QDate(2026, 12, 6), &error));
        const auto convert = [&](const QString &format, const QString &outdir) {
            QProcess lo;
            lo.setWorkingDirectory(m_dir.path());
            lo.start(soffice, {"-env:UserInstallation=file://" + m_dir.filePath("lo"), "--headless", "--convert-to",
                               format, "--outdir", m_dir.filePath(outdir), xlsx});
            const bool done = lo.waitForFinished(180000) &&
                              QFile::exists(m_dir.filePath(outdir + "/classe." + format.section(':', 0, 0)));
            if (!done)
                qWarning("%s", lo.readAllStandardError().constData());
            return done;
        };
        QVERIFY(convert("csv:Text - txt - csv (StarCalc):59,34,76,1", "lo-out"));
        QList<QStringList> rows;
        QVERIFY(CsvText::Parse(QString::fromUtf8(TestSupport::fileBytes(m_dir.filePath("lo-out/classe.csv"))),
                               "classe.csv", 1000, &rows, nullptr, &error));
        // The header block, then the pupils' values; LibreOffice drops the blank row.
        QCOMPARE(rows.at(1).value(1), c.label);
        QCOMPARE(rows.at(4).value(1), "2026-2027");
        const QList<QStringList> expected = ResultsCsv::Rows(c);
        const int first = int(rows.size()) - int(c.pupils.size());
        QCOMPARE(rows.at(first - 1).value(0), "Nom");
        for (int p = 0; p < c.pupils.size(); ++p)
            QCOMPARE(rows.at(first + p).mid(0, expected.at(p + 1).size() - 1),
                     expected.at(p + 1).mid(0, expected.at(p + 1).size() - 1));
        // Saved again by LibreOffice, the workbook reads back as written: nothing changes.
        QVERIFY(convert("xlsx", "lo-xlsx"));
        ResultsImport::Plan plan;
        QVERIFY2(
            ResultsImport::Prepare(m_connection, m_dir.filePath("lo-xlsx/classe.xlsx"), m_school, 0, &plan, &error),
            qPrintable(error));
        QVERIFY(plan.refusals.isEmpty() && plan.changes.isEmpty() && plan.notes.isEmpty());
    }

    // The class CSV read back by name when the key column is gone: an
    // ambiguous name is refused with its line.
    void classCsvByName()
    {
        const int classNo = Roster::Classes(m_connection, m_school).constFirst().classNo;
        ClassResults c;
        QString error;
        QVERIFY(ReadClassResults(m_connection, m_school, classNo, &c, &error));
        QList<QStringList> rows = ResultsCsv::Rows(c);
        for (QStringList &r : rows)
            r.removeLast(); // the key column
        std::swap(rows[1], rows[2]);
        const QString path = m_dir.filePath("classe.csv");
        TestSupport::writeFile(path, CsvText::Encode(rows));
        ResultsImport::Plan plan;
        QVERIFY2(ResultsImport::Prepare(m_connection, path, m_school, classNo, &plan, &error), qPrintable(error));
        QVERIFY(plan.changes.isEmpty() && plan.refusals.isEmpty());
        const auto rename = [&](const QString &name) {
            TestSupport::execSql(dataFolder(),
                                 u"UPDATE ELEVE SET NOM = '%1' WHERE NOELEVE = %2"_s.arg(name).arg(c.pupils.at(0).key));
        };
        rename(c.pupils.at(1).name);
        QVERIFY(ResultsImport::Prepare(m_connection, path, m_school, classNo, &plan, &error));
        rename(c.pupils.at(0).name);
        QCOMPARE(plan.refusals.size(), 2);
        QCOMPARE(plan.refusals.at(0).row, 2);
        QVERIFY(plan.refusals.at(0).reason.contains("2 élèves nommés"));
    }

    // Another program's workbook: shared strings with runs, inline strings,
    // numbers; then parts that are refused with a French message.
    void workbookParts()
    {
        const QString path = m_dir.filePath(u"autre.xlsx"_s);
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
        QVERIFY2(error.contains(u"est un dossier"_s), qPrintable(error));
    }

    // Through the main window's menu: the class's CSV written, a series typed
    // in it read back after its preview; an administration list mapped.
    void commandsOfTheMenu()
    {
        WindowFixture f;
        f.fillSample();
        QVERIFY(f.start());
        WindowFixture::select(f.classes(), u"Martin CP"_s);
        QTemporaryDir out;
        f.dialogs.queueChoice(out.path());
        f.run(u"spreadsheetMenu"_s, u"ExportCsv"_s);
        QCOMPARE(f.dialogs.titles().constLast(), u"Succès"_s);
        const QString csv = out.filePath(u"Martin CP.csv"_s);
        QString text, error;
        QList<QStringList> rows;
        QVERIFY(CsvText::ReadFile(csv, 1 << 20, &text, &error) &&
                CsvText::Parse(text, u"csv"_s, 100, &rows, nullptr, &error));
        QCOMPARE(rows.value(1).value(0), u"Alice"_s);
        const QStringList typed = {"1", "2", "1", "1", "0"};
        for (int i = 0; i < typed.size(); ++i)
            rows[1][rows[0].indexOf(u"T1 Langage Q%1"_s.arg(i + 1))] = typed.at(i);
        TestSupport::writeFile(csv, CsvText::Encode(rows));
        int previewed = 0;
        WindowFixture::onNextModal([&previewed](QWidget *modal) {
            auto *preview = qobject_cast<ImportPreviewDialog *>(modal);
            previewed = preview ? preview->changeList()->topLevelItemCount() : -1;
            modal->findChild<QPushButton *>(u"importButton"_s)->click();
        });
        f.dialogs.queueChoice(out.path(), u"Martin CP.csv"_s);
        f.run(u"spreadsheetMenu"_s, u"ImportResults"_s);
        QCOMPARE(previewed, 5);
        QCOMPARE(f.dialogs.titles().constLast(), u"Succès"_s);
        QCOMPARE(f.query("SELECT T1_E1P1, T1_E1P2, T1_E1P5, T1_E1TOT FROM ELEVE WHERE NOM = 'Alice'"),
                 QStringList{"1|2|0|5"});

        TestSupport::writeFile(
            out.filePath(u"onde.csv"_s),
            "Nom \xC3\xA9l\xC3\xA8ve;Pr\xC3\xA9nom \xC3\xA9l\xC3\xA8ve;Niveau;Libell\xC3\xA9 classe\r\n"
            "ALICE;;CP;CP A\r\nNOUVEAU;Jean;CP;CP A\r\nPETIT;Ana;CE1;CE1 B\r\n");
        WindowFixture::onNextModal([](QWidget *modal) {
            modal->findChild<QLineEdit *>(u"teacher1"_s)->setText(u"M. Petit"_s);
            modal->findChild<QPushButton *>(u"importButton"_s)->click();
        });
        f.dialogs.queueChoice(out.path(), u"onde.csv"_s);
        f.run(u"spreadsheetMenu"_s, u"ImportSchoolList"_s);
        QCOMPARE(f.dialogs.shown().constLast().text,
                 u"3 élève(s) ajouté(s), 0 ignoré(s) (déjà présents ou non importés) ; 1 classe(s) créée(s)."_s);
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
        QVERIFY(SchoolList::Parse(QString::fromUtf8(CsvText::Encode({})) + text, u"a.csv"_s, &utf8, &error));
        QVERIFY2(SchoolList::Parse(DecodeUtf8OrWindows1252(text.toLatin1()), u"b.csv"_s, &latin, &error),
                 qPrintable(error));
        QCOMPARE(utf8.size(), 4);
        for (const QList<SchoolList::Group> *g : {&utf8, &latin}) {
            QCOMPARE(g->at(0).classLabel, u"CP-CE1 Dupré"_s);
            QCOMPARE(g->at(0).level, 2);
            QCOMPARE(g->at(0).pupils.at(0).name, u"DUPONT Léa"_s);
            QCOMPARE(g->at(0).pupils.at(1).name, u"FERRÉ Inès"_s);
            QCOMPARE(g->at(1).level, 3);
            QCOMPARE(g->at(1).pupils.at(0).name, u"MARTIN Noé"_s); // the usage name
            QCOMPARE(g->at(2).level, 1);
            QCOMPARE(g->at(2).pupils.at(0).name, u"LEFÈVRE; DIT \"LEF\" Zoé"_s);
            QCOMPARE(g->at(3).level, 0);
        }
        const QList<Roster::ClassEntry> classes = Roster::Classes(m_connection, m_school);
        const auto cp = std::ranges::find(classes, u"CP"_s, &Roster::ClassEntry::level);
        QVERIFY(cp != classes.end());
        using Kind = SchoolList::Target::Kind;
        const QList<SchoolList::Target> targets = {
            {Kind::Existing, cp->classNo, {}}, {Kind::New, 0, u"Mme Dupré"_s}, {Kind::Skip, 0, {}}, {}};
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

        QVERIFY(!SchoolList::Parse(u"Dupont;Léa;CP;CP Dupré\r\n"_s, u"c.csv"_s, &utf8, &error));
        QVERIFY2(error.contains(u"première ligne"_s), qPrintable(error));
        QVERIFY(!SchoolList::Parse(u"Nom élève;Prénom élève;Niveau;Libellé classe\r\n\"Dupont;Léa\r\n"_s, u"d.csv"_s,
                                   &utf8, &error));
        QVERIFY2(error.contains(u"ligne 2"_s), qPrintable(error));
    }
};

QTEST_MAIN(TestSpreadsheets)
#include "tst_spreadsheets.moc"
