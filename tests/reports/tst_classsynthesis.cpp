// The class synthesis: its column model per level, the cells of both tables,
// its input read from the database, and the composed document read back from its PDF file.
#include "PdfProbe.h"
#include "SynthesisFixture.h"

#include "TestSupport.h"
#include "data/Connection.h"
#include "reports/PageComposer.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QColor ProfileColour(0xEA, 0xF3, 0xFD);
const QColor Grey(0xE0, 0xE0, 0xE0);
constexpr int PageWidth = 16838; // A4 landscape

QString texts(const QList<SynthesisCell> &row)
{
    QStringList out;
    for (const SynthesisCell &c : row)
        out << c.text;
    return out.join(QLatin1Char('|'));
}

} // namespace

class TestClassSynthesis : public QObject
{
    Q_OBJECT
private slots:
    void columns_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QList<int>>("percent");
        QTest::addColumn<QString>("header1");
        QTest::addColumn<QString>("header2");
        QTest::addColumn<QString>("lastField");
        QTest::newRow("GS") << 1 << QList<int>{20, 6, 6, 6, 6, 12, 12, 4, 4, 4, 4}
                            << QString("NOM|Langage||Compétences PG||Reconn. mots et phr.|Compréh. texte|Profil|||")
                            << QString("|2°trim|3°trim|2°trim|3°trim|2°trim|3°trim|L|PG|RM|CT") << QString("PROFIL_CT");
        QTest::newRow("CP") << 2 << QList<int>{20, 12, 6, 6, 6, 6, 6, 6, 6, 6, 4, 4, 4, 4}
                            << QString("NOM|Langage|Compétences PG|||Reconn. mots et phr.||Compréh. texte|||Profil|||")
                            << QString("|1°trim|1°trim|2°trim|3°trim|2°trim|3°trim|1°trim|2°trim|3°trim|L|PG|RM|CT")
                            << QString("PROFIL_CT");
        QTest::newRow("CE1")
            << 3 << QList<int>{20, 12, 6, 6, 6, 6, 6, 6, 6, 4, 4, 4, 4}
            << QString("NOM|Compétences PG|Reconn. mots et phr.||Compréh. texte|||Apt Rech d'infos||Profil|||")
            << QString("|1°trim|1°trim|2°trim|1°trim|2°trim|3°trim|2°trim|3°trim|PG|RM|CT|ARI") << QString("PROFIL_L");
    }
    void columns()
    {
        QFETCH(int, level);
        QFETCH(QList<int>, percent);
        QFETCH(QString, header1);
        QFETCH(QString, header2);
        QFETCH(QString, lastField);
        const SynthesisColumns c = BuildSynthesisColumns(level);
        const int count = int(percent.size());
        QCOMPARE(c.count, count);
        QCOMPARE(c.percent, percent);
        QCOMPARE(c.fields.constLast(), lastField);

        // Widths scaled to 95 % in whole percents.
        const SynthesisTable table = ClassTable(MakeSynthesisInput(level, 0), c, PageWidth);
        QCOMPARE(table.widths.size(), count);
        for (int i = 0; i < count; ++i)
            QCOMPARE(table.widths.at(i), int(double(percent.at(i) * 95 / 100) * PageWidth / 100));
        QCOMPARE(texts(table.rows.at(0)), header1);
        QCOMPARE(texts(table.rows.at(1)), header2);
        // Each title spans the columns up to the next one.
        const QStringList titles = header1.split(QLatin1Char('|'));
        int at = 0;
        for (int next = 1; next <= count; ++next)
            if (next == count || !titles.at(next).isEmpty()) {
                QCOMPARE(table.rows.at(0).at(at).span, next - at);
                at = next;
            }
        for (int i = count - 4; i < count; ++i)
            QCOMPARE(table.rows.at(1).at(i).background, ProfileColour);
        // First-trimester columns on light blue, later ones on yellow.
        const bool first = header2.section(QLatin1Char('|'), 1, 1).startsWith(QLatin1Char('1'));
        QCOMPARE(table.rows.at(1).at(1).background, first ? QColor(0xCE, 0xEE, 0xFD) : QColor(0xFF, 0xFF, 0xC0));
    }

    void pupilLines()
    {
        SynthesisInput input = MakeSynthesisInput(3, 5);
        // The reading column: the mean of two categories rounded half down, the first
        // alone without the second (absent or empty), "_" when the first is absent.
        const QList<std::pair<int, QVariant>> reading = {{2, 3}, {3, 4}, {3, 99}, {4, QVariant()}, {99, 3}};
        for (int p = 0; p < 5; ++p) {
            input.pupils[p][QStringLiteral("T3_E1CAT")] = reading.at(p).first;
            input.pupils[p][QStringLiteral("T3_E2CAT")] = reading.at(p).second;
        }
        input.pupils[0][QStringLiteral("T1_E1CAT")] = QVariant();
        input.pupils[1][QStringLiteral("PROFIL_L")] = 99;
        const SynthesisColumns c = BuildSynthesisColumns(3);
        const SynthesisTable table = PupilTable(input, c, PageWidth);
        QCOMPARE(table.rows.size(), 7);
        QStringList means;
        for (int r = 2; r < 7; ++r)
            means << table.rows.at(r).at(c.fields.indexOf(QStringLiteral("T3_E1CAT"))).text;
        QCOMPARE(means, (QStringList{"2", "3", "3", "4", "_"}));
        QCOMPARE(table.rows.at(2).at(1).text, QStringLiteral("_"));  // Null T1_E1CAT
        QCOMPARE(table.rows.at(3).at(12).text, QStringLiteral("_")); // ARI: PROFIL_L at 99
        QCOMPARE(table.rows.at(2).at(0).text, QStringLiteral("ÉLÈVE 01 Dupont"));

        // The first pupil's line: profile colour on the profile columns only; the
        // second: grey everywhere. Names in 10 points, the rest in 8, not bold.
        for (int i = 0; i < c.count; ++i) {
            QCOMPARE(table.rows.at(2).at(i).background, i >= c.count - 4 ? ProfileColour : QColor());
            QCOMPARE(table.rows.at(3).at(i).background, Grey);
            QCOMPARE(table.rows.at(2).at(i).fontSize, i == 0 ? 10.0 : 8.0);
            QVERIFY(!table.rows.at(2).at(i).bold);
        }
    }

    void classLine()
    {
        SynthesisInput input = MakeSynthesisInput(2, 3);
        const QVariantMap averages{
            {"T1_E1CAT", 0.0}, {"T1_E2CAT", 3.0}, {"T2_E1CAT", 2.25}, {"T3_E3CAT", 99}, {"PROFIL_RM", "F"}};
        input.classRecord.insert(averages);
        const SynthesisTable table = ClassTable(input, BuildSynthesisColumns(2), PageWidth);
        QCOMPARE(table.rows.size(), 3);
        QCOMPARE(texts(table.rows.at(2)), QStringLiteral("CP B|_|3,|2,3|2,5|2,5|2,5|2,5|2,5|_|A|A|F|A"));
        QCOMPARE(table.rows.at(2).at(11).background, ProfileColour);
        QCOMPARE(table.rows.at(2).at(1).background, QColor());

        // CE1: the reading column shows the rounded mean as a whole number.
        SynthesisInput ce1 = MakeSynthesisInput(3, 1);
        ce1.classRecord.insert({{"T3_E1CAT", 2.0}, {"T3_E2CAT", 3.0}});
        const SynthesisColumns c3 = BuildSynthesisColumns(3);
        QCOMPARE(ClassTable(ce1, c3, PageWidth).rows.at(2).at(c3.fields.indexOf("T3_E1CAT")).text, QString("2"));
    }

    void averagesAndFileNames()
    {
        const QLocale french(QLocale::French, QLocale::France), english(QLocale::English, QLocale::UnitedStates);
        const QList<std::pair<double, QString>> averages = {
            {2.5, "2,5"}, {3.0, "3,"}, {0.5, ",5"}, {2.96, "3,"}, {1.25, "1,3"}};
        for (const auto &[value, text] : averages) {
            QCOMPARE(FormatClassAverage(value, french), text);
            QCOMPARE(FormatClassAverage(value, english), QString(text).replace(',', '.'));
        }
        QCOMPARE(SynthesisFileName(QStringLiteral(" CP B ")), QStringLiteral("CP B.pdf"));
        QCOMPARE(SynthesisFileName(QStringLiteral("CP/CE1: \"A\"?")), QStringLiteral("CP_CE1_ _A__.pdf"));
        QCOMPARE(SynthesisFileName(QStringLiteral("  ")), QStringLiteral(".pdf"));
    }

    void readFromDatabase()
    {
        QTemporaryDir dir;
        TestSupport::createEmptyDataFolder(dir.path());
        // Two pupils named alike (the second added has the lower key), an accented name
        // sorted as French sorts it, and pupils of another class and of another school.
        TestSupport::execSql(
            dir.path(),
            QStringLiteral("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU, T1_E1CAT, PROFIL_L) "
                           "VALUES (7, 1, 'CP A', 'CP', 2.5, 'A'), (7, 2, 'CP B', 'CP', NULL, NULL);"
                           "INSERT INTO ELEVE (NOELEVE, NOECOLE, NOCLASSE, NOM, T1_E1CAT, PROFIL_L) VALUES "
                           "(30, 7, 1, 'Faure', 2, 'A'), (20, 7, 1, 'Dupont', 1, 'F'), (25, 7, 1, 'Émile', 4, 'A'), "
                           "(10, 7, 1, 'Dupont', 3, 'A'), (40, 7, 2, 'Aline', 1, 'F'), (50, 3, 1, 'Zoé', 1, 'F')"));
        Connection connection;
        connection.setDataFolder(dir.path());
        QVERIFY(connection.OpenDatabase());
        const SynthesisInput input = ReadSynthesisInput(connection, 7, 1);
        QCOMPARE(input.level, 2);
        QCOMPARE(input.className, QStringLiteral("CP A"));
        QCOMPARE(input.classRecord.value("T1_E1CAT").toDouble(), 2.5);
        QCOMPARE(input.classRecord.value("PROFIL_L").toString(), QStringLiteral("A"));
        QStringList pupils;
        for (const QVariantMap &p : input.pupils)
            pupils << p.value("NOM").toString() + ' ' + p.value("T1_E1CAT").toString() + ' ' +
                          p.value("PROFIL_L").toString();
        QCOMPARE(pupils, (QStringList{"Dupont 3 A", "Dupont 1 F", "Émile 4 A", "Faure 2 A"}));
        QCOMPARE(ReadSynthesisInput(connection, 3, 2).level, 0); // no such class
        QCOMPARE(ReadSynthesisInput(connection, 7, 2).pupils.size(), 1);
    }

    void composedDocument()
    {
        // A class without pupils still makes one page.
        PageComposer empty;
        PrepareSynthesisDocument(empty);
        visu_rapport2(empty, MakeSynthesisInput(1, 0, QStringLiteral("GS vide")));
        QCOMPARE(empty.state(), PageComposer::State::Ended);
        QCOMPARE(empty.pageCount(), 1);

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
        for (const char *expected :
             {"Classe : CP B", "2026-2027", "Tarvel Velorin", "tableau des performances annuelles", "Compétences PG",
              "ÉLÈVE 01 Dupont", "Synthèse du : 06-12-2026", "18:30:05", "-1-"})
            QVERIFY2(first.contains(QString::fromUtf8(expected)), expected);
        const QString last = PdfProbe::text(pdf, doc.pageCount());
        QVERIFY(last.contains(QStringLiteral("Profil de la classe")) && last.contains(QStringLiteral("2,5")));
        // The header rows come back at the top of the continued pupil table.
        QVERIFY(PdfProbe::text(pdf, 2).contains(QStringLiteral("NOM")));
        QVERIFY(PdfProbe::text(pdf).contains(QStringLiteral("ÉLÈVE 40 Dupont")));
        // Every column inside the paper: the rightmost word ends before the page's edge.
        double right = 0;
        for (const PdfProbe::Word &w : PdfProbe::words(pdf))
            right = qMax(right, w.box.right());
        QVERIFY2(right < 842 - 20, qPrintable(QString::number(right)));

        // A file that cannot be written is reported.
        QString error;
        QVERIFY(!WriteSynthesisPdf(doc, dir.filePath(QStringLiteral("absent/x.pdf")), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestClassSynthesis)
#include "tst_classsynthesis.moc"
