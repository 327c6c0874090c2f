// The class synthesis: its column model per level, the cells of both tables,
// and the composed document read back from its PDF file.
#include "PdfProbe.h"
#include "SynthesisFixture.h"

#include "reports/PageComposer.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QColor ProfileColour(0xEA, 0xF3, 0xFD);
const QColor Grey(0xE0, 0xE0, 0xE0);
constexpr int PageWidth = 16838; // A4 landscape

QStringList texts(const QList<SynthesisCell> &row)
{
    QStringList out;
    for (const SynthesisCell &c : row)
        out << c.text;
    return out;
}

} // namespace

class TestClassSynthesis : public QObject
{
    Q_OBJECT
private slots:
    void columns_data();
    void columns();
    void pupilLines();
    void classLine();
    void averageFormat_data();
    void averageFormat();
    void emptyClass();
    void composedPdf();
    void fileName();
};

void TestClassSynthesis::columns_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("groups");
    QTest::addColumn<QStringList>("header1");
    QTest::addColumn<QStringList>("header2");
    QTest::addColumn<QList<int>>("percent");
    QTest::addColumn<QString>("lastField");
    QTest::newRow("GS")
        << 1 << 11 << QList<int>{2, 2, 1, 1}
        << QStringList{"NOM", "Langage", "", "Compétences PG", "", "Reconn. mots et phr.", "Compréh. texte", "Profil",
                       "",    "",        ""}
        << QStringList{"", "2°trim", "3°trim", "2°trim", "3°trim", "2°trim", "3°trim", "L", "PG", "RM", "CT"}
        << QList<int>{20, 6, 6, 6, 6, 12, 12, 4, 4, 4, 4} << "PROFIL_CT";
    QTest::newRow("CP") << 2 << 14 << QList<int>{1, 3, 2, 3} << QStringList{"NOM",
                                                                            "Langage",
                                                                            "Compétences PG",
                                                                            "",
                                                                            "",
                                                                            "Reconn. mots et phr.",
                                                                            "",
                                                                            "Compréh. texte",
                                                                            "",
                                                                            "",
                                                                            "Profil",
                                                                            "",
                                                                            "",
                                                                            ""}
                        << QStringList{"",       "1°trim", "1°trim", "2°trim", "3°trim", "2°trim", "3°trim",
                                       "1°trim", "2°trim", "3°trim", "L",      "PG",     "RM",     "CT"}
                        << QList<int>{20, 12, 6, 6, 6, 6, 6, 6, 6, 6, 4, 4, 4, 4} << "PROFIL_CT";
    QTest::newRow("CE1") << 3 << 13 << QList<int>{1, 2, 3, 2} << QStringList{"NOM",
                                                                             "Compétences PG",
                                                                             "Reconn. mots et phr.",
                                                                             "",
                                                                             "Compréh. texte",
                                                                             "",
                                                                             "",
                                                                             "Apt Rech d'infos",
                                                                             "",
                                                                             "Profil",
                                                                             "",
                                                                             "",
                                                                             ""}
                         << QStringList{"",       "1°trim", "1°trim", "2°trim", "1°trim", "2°trim", "3°trim",
                                        "2°trim", "3°trim", "PG",     "RM",     "CT",     "ARI"}
                         << QList<int>{20, 12, 6, 6, 6, 6, 6, 6, 6, 4, 4, 4, 4} << "PROFIL_L";
}

void TestClassSynthesis::columns()
{
    QFETCH(int, level);
    QFETCH(int, count);
    QFETCH(QList<int>, groups);
    QFETCH(QStringList, header1);
    QFETCH(QStringList, header2);
    QFETCH(QList<int>, percent);
    QFETCH(QString, lastField);
    const SynthesisColumns c = BuildSynthesisColumns(level);
    QCOMPARE(c.count, count);
    QCOMPARE(c.groupSizes, groups);
    QCOMPARE(c.percent, percent);
    QCOMPARE(c.fields.constLast(), lastField);

    // Both tables carry the columns: widths scaled to 95 % in whole percents,
    // group titles spanning their groups, "Profil" over the last four.
    const SynthesisTable table = ClassTable(MakeSynthesisInput(level, 0), c, PageWidth);
    QCOMPARE(table.widths.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(table.widths.at(i), int(double(percent.at(i) * 95 / 100) * PageWidth / 100));
    QCOMPARE(texts(table.rows.at(0)), header1);
    QCOMPARE(texts(table.rows.at(1)), header2);
    int at = 1;
    for (int g : groups) {
        QCOMPARE(table.rows.at(0).at(at).span, g);
        at += g;
    }
    QCOMPARE(at, count - 4);
    QCOMPARE(table.rows.at(0).at(count - 4).span, 4);
    for (int i = count - 4; i < count; ++i)
        QCOMPARE(table.rows.at(1).at(i).background, ProfileColour);
    const QColor headerColour = table.rows.at(1).at(1).background;
    QCOMPARE(headerColour,
             header2.at(1).startsWith(QLatin1Char('1')) ? QColor(0xCE, 0xEE, 0xFD) : QColor(0xFF, 0xFF, 0xC0));
}

void TestClassSynthesis::pupilLines()
{
    SynthesisInput input = MakeSynthesisInput(3, 5);
    const auto set = [&](int pupil, int first, const QVariant &second) {
        input.pupils[pupil][QStringLiteral("T3_E1CAT")] = first;
        input.pupils[pupil][QStringLiteral("T3_E2CAT")] = second;
    };
    set(0, 2, 3);          // 2.5 rounds down
    set(1, 3, 4);          // 3.5 rounds down
    set(2, 3, 99);         // without the second category, the first alone
    set(3, 4, QVariant()); //   the same for an empty one
    set(4, 99, 3);         // absent
    input.pupils[0][QStringLiteral("T1_E1CAT")] = QVariant();
    input.pupils[1][QStringLiteral("PROFIL_L")] = 99;
    const SynthesisColumns c = BuildSynthesisColumns(3);
    const SynthesisTable table = PupilTable(input, c, PageWidth);
    QCOMPARE(table.rows.size(), 7);
    const int nar = int(c.fields.indexOf(QStringLiteral("T3_E1CAT")));
    QStringList means;
    for (int r = 2; r < 7; ++r)
        means << table.rows.at(r).at(nar).text;
    QCOMPARE(means, (QStringList{"2", "3", "3", "4", "_"}));
    QCOMPARE(table.rows.at(2).at(1).text, QStringLiteral("_"));  // Null T1_E1CAT
    QCOMPARE(table.rows.at(3).at(12).text, QStringLiteral("_")); // ARI: PROFIL_L at 99
    QCOMPARE(table.rows.at(2).at(0).text, QStringLiteral("ÉLÈVE 01 Dupont"));

    // Row 3 (the first pupil): profile colour on the profile columns only;
    // row 4: grey everywhere. Names in 10 points, the rest in 8, not bold.
    const QList<SynthesisCell> &first = table.rows.at(2);
    const QList<SynthesisCell> &second = table.rows.at(3);
    for (int i = 0; i < c.count; ++i) {
        QCOMPARE(first.at(i).background, i >= c.count - 4 ? ProfileColour : QColor());
        QCOMPARE(second.at(i).background, Grey);
        QCOMPARE(first.at(i).fontSize, i == 0 ? 10.0 : 8.0);
        QVERIFY(!first.at(i).bold);
    }
}

void TestClassSynthesis::classLine()
{
    SynthesisInput input = MakeSynthesisInput(2, 3);
    QVariantMap &row = input.classRecord;
    row[QStringLiteral("T1_E1CAT")] = 0.0;  // column 2: "_"
    row[QStringLiteral("T1_E2CAT")] = 3.0;  // "3,"
    row[QStringLiteral("T2_E1CAT")] = 2.25; // one decimal
    row[QStringLiteral("T3_E3CAT")] = 99;   // absent
    row[QStringLiteral("PROFIL_RM")] = QStringLiteral("F");
    const SynthesisColumns c = BuildSynthesisColumns(2);
    const SynthesisTable table = ClassTable(input, c, PageWidth);
    QCOMPARE(table.rows.size(), 3);
    QCOMPARE(texts(table.rows.at(2)),
             (QStringList{"CP B", "_", "3,", "2,3", "2,5", "2,5", "2,5", "2,5", "2,5", "_", "A", "A", "F", "A"}));
    QCOMPARE(table.rows.at(2).at(11).background, ProfileColour);
    QCOMPARE(table.rows.at(2).at(1).background, QColor());

    // CE1: the reading column shows the rounded mean as a whole number.
    SynthesisInput ce1 = MakeSynthesisInput(3, 1);
    ce1.classRecord[QStringLiteral("T3_E1CAT")] = 2.0;
    ce1.classRecord[QStringLiteral("T3_E2CAT")] = 3.0;
    const SynthesisColumns c3 = BuildSynthesisColumns(3);
    const SynthesisTable t3 = ClassTable(ce1, c3, PageWidth);
    QCOMPARE(t3.rows.at(2).at(int(c3.fields.indexOf(QStringLiteral("T3_E1CAT")))).text, QStringLiteral("2"));
}

void TestClassSynthesis::averageFormat_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("french");
    QTest::addColumn<QString>("english");
    QTest::newRow("half") << 2.5 << "2,5"
                          << "2.5";
    QTest::newRow("whole") << 3.0 << "3,"
                           << "3.";
    QTest::newRow("below one") << 0.5 << ",5"
                               << ".5";
    QTest::newRow("rounds up to whole") << 2.96 << "3,"
                                        << "3.";
    QTest::newRow("rounds half up") << 1.25 << "1,3"
                                    << "1.3";
}

void TestClassSynthesis::averageFormat()
{
    QFETCH(double, value);
    QFETCH(QString, french);
    QFETCH(QString, english);
    QCOMPARE(FormatClassAverage(value, QLocale(QLocale::French, QLocale::France)), french);
    QCOMPARE(FormatClassAverage(value, QLocale(QLocale::English, QLocale::UnitedStates)), english);
}

void TestClassSynthesis::emptyClass()
{
    const SynthesisInput input = MakeSynthesisInput(1, 0, QStringLiteral("GS vide"));
    QCOMPARE(PupilTable(input, BuildSynthesisColumns(1), PageWidth).rows.size(), 2);
    PageComposer doc;
    PrepareSynthesisDocument(doc);
    visu_rapport2(doc, input);
    QCOMPARE(doc.state(), PageComposer::State::Ended);
    QCOMPARE(doc.pageCount(), 1);
}

void TestClassSynthesis::composedPdf()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("synthese.pdf"));
    PageComposer doc;
    PrepareSynthesisDocument(doc);
    visu_rapport2(doc, MakeSynthesisInput(2, 40));
    QVERIFY(doc.pageCount() >= 2);
    QVERIFY(WriteSynthesisPdf(doc, pdf));
    QCOMPARE(PdfProbe::pageCount(pdf), doc.pageCount());
    QCOMPARE(PdfProbe::pageSize(pdf), QStringLiteral("842 x 595"));
    const QString first = PdfProbe::text(pdf, 1);
    for (const char *expected : {"Classe : CP B", "2026-2027", "Tarvel Velorin", "tableau des performances annuelles",
                                 "Compétences PG", "ÉLÈVE 01 Dupont", "Synthèse du : 06-12-2026", "18:30:05", "-1-"})
        QVERIFY2(first.contains(QString::fromUtf8(expected)), expected);
    const QString last = PdfProbe::text(pdf, doc.pageCount());
    QVERIFY(last.contains(QStringLiteral("Profil de la classe")));
    QVERIFY(last.contains(QStringLiteral("2,5")));
    // The header rows come back at the top of the continued pupil table.
    QVERIFY(PdfProbe::text(pdf, 2).contains(QStringLiteral("NOM")));
    QVERIFY(PdfProbe::text(pdf).contains(QStringLiteral("ÉLÈVE 40 Dupont")));

    // Every column inside the paper: the rightmost word ends before the page's edge.
    double right = 0;
    for (const PdfProbe::Word &w : PdfProbe::words(pdf))
        right = qMax(right, w.box.right());
    QVERIFY2(right < 842 - 20, qPrintable(QString::number(right)));

    // A file that cannot be written is reported, and nothing is left behind.
    QString error;
    QVERIFY(!WriteSynthesisPdf(doc, dir.filePath(QStringLiteral("absent/x.pdf")), &error));
    QVERIFY(!error.isEmpty());
}

void TestClassSynthesis::fileName()
{
    QCOMPARE(SynthesisFileName(QStringLiteral(" CP B ")), QStringLiteral("CP B.pdf"));
    QCOMPARE(SynthesisFileName(QStringLiteral("CP/CE1: \"A\"?")), QStringLiteral("CP_CE1_ _A__.pdf"));
    QCOMPARE(SynthesisFileName(QStringLiteral("  ")), QStringLiteral(".pdf"));
}

QTEST_MAIN(TestClassSynthesis)
#include "tst_classsynthesis.moc"
