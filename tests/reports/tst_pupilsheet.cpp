// The pupils' results sheets read back from their PDF files, the charts'
// geometry as the composer lays it out, and the class's category counts
// against a count made by SQL.
#include "Generator.h"
#include "PdfProbe.h"
#include "TestSupport.h"

#include "data/Connection.h"
#include "evaluation/EvaluationModel.h"
#include "reports/CategoryDistribution.h"
#include "reports/ClassSynthesis.h"
#include "reports/PageComposer.h"
#include "reports/PupilSheet.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

using namespace Qt::StringLiterals;

namespace {

SheetInput sheets(Connection &connection, int classNo, qint64 pupil = 0)
{
    SheetInput input = ReadSheetInput(connection, 1, classNo, pupil);
    input.schoolYear = u"2026-2027"_s;
    input.programTitle = u"Rozodivo Velorin"_s;
    input.printedAt = QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5));
    input.locale = QLocale(QLocale::French, QLocale::France);
    return input;
}

QString writeSheets(const SheetInput &input, const QString &path, int *pages = nullptr)
{
    PageComposer document;
    PrepareSheetDocument(document);
    ComposePupilSheets(document, input);
    if (!document.writePdf(path))
        qFatal("not written");
    if (pages)
        *pages = document.pageCount();
    return PdfProbe::text(path);
}

QString stored(const QVariant &v)
{
    return v.isNull() || v.toString().isEmpty() || v.toDouble() >= 99 ? u"_"_s : QString::number(v.toInt());
}

QString letter(const QVariant &v)
{
    return v.toString().isEmpty() ? u"_"_s : v.toString();
}

} // namespace

class TestPupilSheet : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Connection m_connection;

    QVariant value(const QString &sql)
    {
        QSqlQuery q(m_connection.database());
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }

private slots:
    // A generated school: GS, CP and CE1 classes of 12 pupils, with absences.
    void initTestCase()
    {
        QVERIFY(GenData::GenerateDataFolder(m_dir.path(), {.pupilsPerClass = 12, .archivedYears = 0, .seed = 14}, true,
                                            nullptr, nullptr));
        m_connection.setDataFolder(m_dir.path());
        QVERIFY(m_connection.OpenDatabase());
    }

    // Every score over its maximum, total, category and profile of the pupil as stored, "_"
    // for what is absent, the class's averages and profiles; one page per pupil; a GS sheet
    // has no first trimester.
    void sheetText()
    {
        // A CP pupil with an item left empty, an exercise marked absent, and averages set by hand.
        TestSupport::execSql(
            m_dir.path(),
            u"UPDATE ELEVE SET T1_E1P2 = NULL, T2_E2P1 = 99, T2_E2P2 = 99, T2_E2TOT = 99, T2_E2CAT = 99, "
            "T2_E2PRO = '_', PROFIL_RM = 'F' WHERE NOELEVE = (SELECT MIN(NOELEVE) FROM ELEVE WHERE NOCLASSE = 2);"
            "UPDATE CLASSE SET T1_E1CAT = 1.75, T1_E2CAT = 0, T1_E3CAT = 2, T2_E1CAT = 2.5, T2_E2CAT = 3.25, "
            "T2_E3CAT = 99, T3_E1CAT = 1.5, T3_E2CAT = 4, T3_E3CAT = 2.96, PROFIL_L = 'F', PROFIL_CT = NULL "
            "WHERE NOCLASSE = 2"_s);
        const qint64 key = value(u"SELECT MIN(NOELEVE) FROM ELEVE WHERE NOCLASSE = 2"_s).toLongLong();
        const SheetInput input = sheets(m_connection, 2, key);
        QCOMPARE(input.pupils.size(), 1);
        const QString text = writeSheets(input, m_dir.filePath(u"cp.pdf"_s));
        const auto field = [&](const QString &name) {
            return value(u"SELECT %1 FROM ELEVE WHERE NOELEVE = %2"_s.arg(name).arg(key));
        };
        QVERIFY(text.contains(field(u"NOM"_s).toString()) && text.contains(u"Niveau : CP"_s));

        const QStringList averages = {"1,8", "_", "2", "2,5", "3,3", "_", "1,5", "4", "3"};
        const QStringList captions = {"1er Trimestre", "2ème Trimestre", "3ème Trimestre", "Profils"};
        int absent = 0;
        for (int t = 1; t <= 3; ++t) {
            const qsizetype from = text.indexOf(captions.at(t - 1)), to = text.indexOf(captions.at(t));
            QVERIFY(from > 0 && to > from);
            const QString block = text.mid(from, to - from);
            // Every "score/maximum" of the trimester, the totals over their highest value among them.
            QStringList expected, found;
            for (int e = 1; e <= 3; ++e) {
                int total = 0, missing = 0;
                for (int i = 1; i <= ItemCount(2, t, e); ++i) {
                    const QString v = stored(field(ItemField(t, e, i)));
                    missing += v == "_";
                    expected << v + '/' + QString::number(ItemMax(2, t, e, i));
                    total += v.toInt();
                }
                absent += missing;
                const QString tot = HasTotalField(2, t, e) ? stored(field(ExerciseField(t, e, "TOT")))
                                    : missing              ? u"_"_s
                                                           : QString::number(total);
                expected << tot + '/' + QString::number(CategoryBounds(2, t, e, 0));
                // On the exercise's line: total, category, profile letter, class average.
                const QRegularExpression line(
                    u"Exercice %1 :.*\\s(\\S+/\\d+)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\n"_s.arg(e));
                const QStringList got = line.match(block).capturedTexts().mid(1);
                QCOMPARE(got,
                         (QStringList{expected.last(), stored(field(ExerciseField(t, e, "CAT"))),
                                      letter(field(ExerciseField(t, e, "PRO"))), averages.at(3 * (t - 1) + e - 1)}));
            }
            for (auto it = QRegularExpression(u"(\\d+|_)/\\d+"_s).globalMatch(block); it.hasNext();)
                found << it.next().captured(0);
            expected.sort();
            found.sort();
            QCOMPARE(found, expected);
        }
        QVERIFY(absent >= 3);
        // The domain profiles of the pupil and of the class, L PG RM CT.
        QStringList profiles, classProfiles;
        for (const char *slot : {"L", "PG", "RM", "CT"}) {
            profiles << letter(field(u"PROFIL_"_s + slot));
            classProfiles << letter(value(u"SELECT PROFIL_%1 FROM CLASSE WHERE NOCLASSE = 2"_s.arg(slot)));
        }
        QCOMPARE(profiles.at(2), u"F"_s);
        QCOMPARE(classProfiles.first() + classProfiles.last(), u"F_"_s);
        const auto line = [&](const char *who) {
            return QRegularExpression(u"\\n%1 +(\\S) +(\\S) +(\\S) +(\\S)\\n"_s.arg(QString::fromUtf8(who)))
                .match(text)
                .capturedTexts()
                .mid(1);
        };
        QCOMPARE(line("Élève"), profiles);
        QCOMPARE(line("Classe"), classProfiles);

        // A whole class: one page per pupil. GS: no first trimester anywhere.
        int pages = 0;
        const SheetInput gs = sheets(m_connection, 1);
        const QString gsText = writeSheets(gs, m_dir.filePath(u"gs.pdf"_s), &pages);
        QCOMPARE(pages, gs.pupils.size());
        QVERIFY(!gsText.contains(u"1er Trimestre"_s) && gsText.count(u"2ème Trimestre"_s) >= pages);
        const SheetInput ce1 = sheets(m_connection, 3);
        writeSheets(ce1, m_dir.filePath(u"ce1.pdf"_s), &pages);
        QCOMPARE(pages, ce1.pupils.size());
        QCOMPARE(SheetsFileName(u" CP/B "_s), u"CP_B - fiches.pdf"_s);
    }

    // The pupil's bars end at 5 - category quarters of the plot (category 1 fills it), the
    // class's at its average; nothing is drawn for what is absent, which shows "_".
    void chartGeometry()
    {
        SheetInput input;
        input.level = 2;
        input.classRecord = {{"T1_E1CAT", 2.5}, {"T1_E2CAT", 0}, {"T2_E1CAT", 1.0}, {"T3_E1CAT", 4}};
        const QVariantMap pupil = {{"T1_E1CAT", 1}, {"T1_E2CAT", 4}, {"T2_E1CAT", 99}, {"T3_E1CAT", 2}};
        const BarChart chart = PupilCategoryChart(input, pupil);
        PageComposer document;
        PrepareSheetDocument(document);
        document.startDoc();
        document.barChart(chart);
        document.endDoc();
        const double plot = document.contentWidth() - chart.labelWidth - chart.endRoom;
        const double left = document.leftMargin() + chart.labelWidth;
        QList<double> pupilBars, classBars;
        // The legend's two swatches come last.
        for (const PageComposer::FillItem &fill : document.page(0).fills.mid(0, document.page(0).fills.size() - 2)) {
            QCOMPARE(fill.rect.left(), left);
            (fill.colour == chart.styles.at(PupilBar).fill ? pupilBars : classBars) << fill.rect.width() / plot;
        }
        // Langage T1; Phono-graphique T1, T2, T3 (the rows of the other domains are empty).
        QCOMPARE(pupilBars, (QList<double>{1, 0.25, 0.75}));
        QCOMPARE(classBars, (QList<double>{0.625, 1, 0.25}));
        int gaps = 0;
        for (const PageComposer::TextItem &item : document.page(0).texts)
            gaps += item.text == "_" && qAbs(item.baseline.x() - left) < 100;
        QCOMPARE(gaps, 2 + 2 * 5); // PG T1 class, PG T2 pupil; RM and CT: five rows of two

        // The class chart: each bar is the whole class, each piece its count's share, printed in it.
        SynthesisInput classInput;
        classInput.level = 2;
        for (int p = 0; p < 8; ++p)
            classInput.pupils.append({{"T1_E1CAT", p < 5 ? 1 : p < 7 ? 4 : 99}});
        const BarChart counts = CategoryDistributionChart(classInput);
        document.startDoc();
        document.barChart(counts);
        document.endDoc();
        QStringList pieces;
        const double countsPlot = document.contentWidth() - counts.labelWidth - counts.endRoom;
        for (const PageComposer::FillItem &fill : document.page(0).fills)
            if (fill.rect.top() == document.page(0).fills.first().rect.top()) // the first bar
                pieces << QString::number(fill.rect.width() / countsPlot * 8, 'f', 3);
        QCOMPARE(pieces, (QStringList{"1.000", "2.000", "5.000"})); // absent, category 4, category 1
        QStringList texts;
        for (const PageComposer::TextItem &item : document.page(0).texts)
            texts << item.text;
        QVERIFY(texts.join(' ').contains(u"Langage 1er Trimestre 1 2 5"_s));
    }

    // The counts of « Répartition des catégories » are those SQL finds in the file, CE1's
    // reading column counting the rounded-down mean of its two exercises.
    void countsMatchSql()
    {
        for (int classNo = 1; classNo <= 3; ++classNo) {
            const SynthesisInput input = ReadSynthesisInput(m_connection, 1, classNo);
            const QList<CategoryCount> counts = CountCategories(input);
            QCOMPARE(counts.size(), input.level == 1 ? 6 : input.level == 2 ? 9 : 8);
            for (const CategoryCount &count : counts) {
                QString value = u"CASE WHEN %1 >= 1 AND %1 <= 4 THEN %1 END"_s.arg(count.field);
                if (input.level == 3 && count.field == "T3_E1CAT")
                    value = u"CASE WHEN T3_E1CAT > 4 OR T3_E1CAT IS NULL THEN NULL WHEN T3_E2CAT > 4 OR "
                            "T3_E2CAT IS NULL THEN T3_E1CAT ELSE CAST((T3_E1CAT + T3_E2CAT) / 2 AS INTEGER) END"_s;
                QStringList sql;
                for (int c = 1; c <= 4; ++c)
                    sql << u"SUM(v = %1)"_s.arg(c);
                sql << u"SUM(v IS NULL)"_s;
                QSqlQuery q(m_connection.database());
                QVERIFY(q.exec(u"SELECT %1 FROM (SELECT %2 AS v FROM ELEVE WHERE NOECOLE = 1 AND NOCLASSE = %3)"_s
                                   .arg(sql.join(", "), value)
                                   .arg(classNo)) &&
                        q.next());
                QList<int> expected, got(count.counts.begin(), count.counts.end());
                for (int i = 0; i < 5; ++i)
                    expected << q.value(i).toInt();
                QCOMPARE(got, expected);
                QCOMPARE(std::accumulate(got.begin(), got.end(), 0), input.pupils.size());
            }
        }
    }
};

QTEST_MAIN(TestPupilSheet)
#include "tst_pupilsheet.moc"
