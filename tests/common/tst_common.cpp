#include "common/SchoolYears.h"
#include "common/TextUtil.h"

#include <QDate>
#include <QTest>

class TestCommon : public QObject
{
    Q_OBJECT
private slots:
    void schoolYears_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("years"); // current, previous, closing, next
        QTest::newRow("mid-March") << QDate(2006, 3, 15) << "2005-2006 2004-2005 2005-2006 2006-2007";
        QTest::newRow("1 October") << QDate(2006, 10, 1) << "2006-2007 2005-2006 2005-2006 2006-2007";
        QTest::newRow("31 August") << QDate(2006, 8, 31) << "2005-2006 2004-2005 2005-2006 2006-2007";
        QTest::newRow("1 September") << QDate(2006, 9, 1) << "2006-2007 2005-2006 2005-2006 2006-2007";
        QTest::newRow("1 January") << QDate(2007, 1, 1) << "2006-2007 2005-2006 2006-2007 2007-2008";
        QTest::newRow("31 December") << QDate(2026, 12, 31) << "2026-2027 2025-2026 2025-2026 2026-2027";
    }

    void schoolYears()
    {
        QFETCH(QDate, today);
        const SchoolYears y = SchoolYears::fromDate(today);
        QTEST(QStringList({y.CurrentSchoolYear, y.PreviousSchoolYear, y.ClosingYear, y.NextYear}).join(' '), "years");
    }

    void texts()
    {
        QCOMPARE(TrimOrEmpty(QStringLiteral("  Dupont  ")), QStringLiteral("Dupont"));
        QCOMPARE(TrimOrEmpty(QString::number(12)), QStringLiteral("12"));
        QCOMPARE(TrimOrEmpty(QStringLiteral("\tA\t")), QStringLiteral("\tA\t")); // only blanks are removed
        QVERIFY(TrimOrEmpty(12).isEmpty());
        QVERIFY(TrimOrEmpty(QVariant()).isEmpty());
        QVERIFY(TrimOrEmpty(QDate(2006, 1, 1)).isEmpty());
        QCOMPARE(CspLabels().size(), 8);
        QCOMPARE(CspLabels().at(2), QStringLiteral("Agriculteur / Pêcheur"));
        QCOMPARE(CspLabels().at(7), QStringLiteral("Profession libérale"));
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
