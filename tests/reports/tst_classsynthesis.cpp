// The class synthesis: its column model per level, the cells of both tables,
// and its input read from the database (the composed document: tst_reportviewer).
#include "SynthesisFixture.h"

#include "TestSupport.h"
#include "data/Connection.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

const QColor ProfileColour(0xEA, 0xF3, 0xFD);
constexpr int PageWidth = 16838; // A4 landscape

// The texts of a row joined by "|", a span after "*".
static QString texts(const QList<SynthesisCell> &row)
{
    QStringList out;
    for (const SynthesisCell &c : row)
        out << (c.span > 1 ? c.text + '*' + QString::number(c.span) : c.text);
    return out.join(QLatin1Char('|'));
}

class TestClassSynthesis : public QObject
{
    Q_OBJECT
private slots:
    void columns_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("header1");
        QTest::addColumn<QString>("header2");
        QTest::newRow("GS") << 1
                            << u"NOM|Langage*2||Compétences PG*2||Reconn. mots et phr.|Compréh. texte|Profil*4|||"_s
                            << u"|2°trim|3°trim|2°trim|3°trim|2°trim|3°trim|L|PG|RM|CT"_s;
        QTest::newRow("CP")
            << 2 << u"NOM|Langage|Compétences PG*3|||Reconn. mots et phr.*2||Compréh. texte*3|||Profil*4|||"_s
            << u"|1°trim|1°trim|2°trim|3°trim|2°trim|3°trim|1°trim|2°trim|3°trim|L|PG|RM|CT"_s;
        QTest::newRow("CE1")
            << 3 << u"NOM|Compétences PG|Reconn. mots et phr.*2||Compréh. texte*3|||Apt Rech d'infos*2||Profil*4|||"_s
            << u"|1°trim|1°trim|2°trim|1°trim|2°trim|3°trim|2°trim|3°trim|PG|RM|CT|ARI"_s;
    }
    void columns()
    {
        QFETCH(int, level);
        QFETCH(QString, header1);
        QFETCH(QString, header2);
        const SynthesisColumns c = BuildSynthesisColumns(level);
        const SynthesisInput input = MakeSynthesisInput(level, 1);
        for (const QString &field : c.fields)
            QVERIFY2(input.pupils.at(0).contains(field), qPrintable(field));
        const SynthesisTable table = ClassTable(input, c, PageWidth);
        QCOMPARE(table.widths.at(0), 19 * PageWidth / 100); // 20 %, scaled to 95 % in whole percents
        QCOMPARE(texts(table.rows.at(0)), header1);
        QCOMPARE(texts(table.rows.at(1)), header2);
        // First-trimester columns on light blue, later ones on yellow.
        const bool first = header2.section(QLatin1Char('|'), 1, 1).startsWith(QLatin1Char('1'));
        QCOMPARE(table.rows.at(1).at(1).background, first ? QColor(0xCE, 0xEE, 0xFD) : QColor(0xFF, 0xFF, 0xC0));
    }

    void pupilAndClassLines()
    {
        SynthesisInput input = MakeSynthesisInput(3, 5);
        // The reading column: the mean of two categories rounded half down, the first
        // alone without the second (absent or empty), "_" when the first is absent.
        const QList<std::pair<int, QVariant>> reading = {{2, 3}, {3, 4}, {3, 99}, {4, QVariant()}, {99, 3}};
        for (int p = 0; p < 5; ++p)
            input.pupils[p].insert({{"T3_E1CAT", reading.at(p).first}, {"T3_E2CAT", reading.at(p).second}});
        input.pupils[0]["T1_E1CAT"] = QVariant();
        input.pupils[1]["PROFIL_L"] = 99;
        const SynthesisColumns c = BuildSynthesisColumns(3);
        const SynthesisTable table = PupilTable(input, c, PageWidth);
        QCOMPARE(table.rows.size(), 7);
        QStringList means;
        for (int r = 2; r < 7; ++r)
            means << table.rows.at(r).at(c.fields.indexOf("T3_E1CAT")).text;
        QCOMPARE(means, (QStringList{"2", "3", "3", "4", "_"}));
        QCOMPARE(table.rows.at(2).at(1).text, u"_"_s);  // Null T1_E1CAT
        QCOMPARE(table.rows.at(3).at(12).text, u"_"_s); // ARI: PROFIL_L at 99
        // The first pupil's line: profile colour on the profile columns only; the
        // second: grey everywhere.
        for (int i = 0; i < c.count; ++i) {
            QCOMPARE(table.rows.at(2).at(i).background, i >= c.count - 4 ? ProfileColour : QColor());
            QCOMPARE(table.rows.at(3).at(i).background, QColor(0xE0, 0xE0, 0xE0));
        }

        // The class line: averages with at most one decimal, no leading zero, a whole number
        // without separator, "_" for none (0 or 99); the reading mean as a whole number.
        input.classRecord.insert({{"T1_E1CAT", 0.0},
                                  {"T1_E2CAT", 0.5},
                                  {"T2_E2CAT", 2.25},
                                  {"T1_E3CAT", 2.96},
                                  {"T3_E3CAT", 99},
                                  {"T3_E1CAT", 2.0},
                                  {"T3_E2CAT", 3.0},
                                  {"PROFIL_RM", "F"}});
        const SynthesisTable classTable = ClassTable(input, c, PageWidth);
        QCOMPARE(texts(classTable.rows.at(2)), u"CP B|_|,5|2,5|3|2,3|2|2,5|_|A|F|A|A"_s);
        QCOMPARE(classTable.rows.at(2).at(c.count - 1).background, ProfileColour);
        // Rounded up to a whole number, or down to nothing, it still prints a figure.
        QCOMPARE(FormatClassAverage(1.96, input.locale) + ' ' + FormatClassAverage(0.04, input.locale), u"2 0"_s);
        input.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(texts(ClassTable(input, c, PageWidth).rows.at(2)), texts(classTable.rows.at(2)).replace(',', '.'));
    }

    void readFromDatabase()
    {
        QTemporaryDir dir;
        TestSupport::createEmptyDataFolder(dir.path());
        // Two pupils named alike (the second added has the lower key), an accented name
        // sorted as French sorts it, and pupils of another class and of another school.
        TestSupport::execSql(
            dir.path(),
            QStringLiteral("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU, T1_E1CAT) "
                           "VALUES (7, 1, 'CP A', 'CP', 2.5), (7, 2, 'CP B', 'CP', NULL);"
                           "INSERT INTO ELEVE (NOELEVE, NOECOLE, NOCLASSE, NOM, T1_E1CAT, PROFIL_L) VALUES "
                           "(30, 7, 1, 'Faure', 2, 'A'), (20, 7, 1, 'Dupont', 1, 'F'), (25, 7, 1, 'Émile', 4, 'A'), "
                           "(10, 7, 1, 'Dupont', 3, 'A'), (40, 7, 2, 'Aline', 1, 'F'), (50, 3, 1, 'Zoé', 1, 'F')"));
        Connection connection;
        connection.setDataFolder(dir.path());
        QVERIFY(connection.OpenDatabase());
        const SynthesisInput input = ReadSynthesisInput(connection, 7, 1);
        QCOMPARE(input.level, 2);
        QCOMPARE(input.className, u"CP A"_s);
        QCOMPARE(input.classRecord.value("T1_E1CAT").toDouble(), 2.5);
        QStringList pupils;
        for (const QVariantMap &p : input.pupils)
            pupils << p.value("NOM").toString() + ' ' + p.value("T1_E1CAT").toString() + ' ' +
                          p.value("PROFIL_L").toString();
        QCOMPARE(pupils, (QStringList{"Dupont 3 A", "Dupont 1 F", "Émile 4 A", "Faure 2 A"}));
        QCOMPARE(ReadSynthesisInput(connection, 3, 2).level, 0); // no such class
    }
};

QTEST_MAIN(TestClassSynthesis)
#include "tst_classsynthesis.moc"
