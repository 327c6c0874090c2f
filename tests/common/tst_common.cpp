#include "common/SchoolYears.h"
#include "common/TextUtil.h"

#include <QDate>
#include <QTest>

class TestCommon : public QObject
{
    Q_OBJECT
private slots:
    // Around the start of the school year in September, and around the new calendar year, which moves the year a
    // year change archives but not the school year in progress.
    void schoolYears_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("years"); // current, previous, closing, next
        QTest::newRow("31 August") << QDate(2006, 8, 31) << "2005-2006 2004-2005 2005-2006 2006-2007";
        QTest::newRow("1 September") << QDate(2006, 9, 1) << "2006-2007 2005-2006 2005-2006 2006-2007";
        QTest::newRow("1 January") << QDate(2007, 1, 1) << "2006-2007 2005-2006 2006-2007 2007-2008";
    }

    void schoolYears()
    {
        QFETCH(QDate, today);
        const SchoolYears y = SchoolYears::fromDate(today);
        QTEST(QStringList({y.CurrentSchoolYear, y.PreviousSchoolYear, y.ClosingYear, y.NextYear}).join(' '), "years");
    }

    // Only spaces are removed, and only from text.
    void trimOrEmpty()
    {
        QCOMPARE(TrimOrEmpty(QStringLiteral("  Jean Dupont  ")), QStringLiteral("Jean Dupont"));
        QCOMPARE(TrimOrEmpty(QStringLiteral("\tA\t")), QStringLiteral("\tA\t"));
        QCOMPARE(TrimOrEmpty(QStringLiteral("   ")), QString());
        QCOMPARE(TrimOrEmpty(12), QString());
        QCOMPARE(TrimOrEmpty(QVariant()), QString());
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
