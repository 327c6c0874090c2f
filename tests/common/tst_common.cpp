// The school years, the text helpers, and the toolbars' icons: the theme's when it has one, the bundled copy otherwise.
#include "common/Icons.h"
#include "common/SchoolYears.h"
#include "common/TextUtil.h"

#include <QDate>
#include <QFile>
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

    // A desktop without a theme still gets every command's icon, from the bundled copies; anything else gets none.
    void everyCommandHasABundledIcon()
    {
        QIcon::setThemeName(QStringLiteral("velorin-no-such-theme"));
        const QStringList used = {"entry",     "synthesis", "backup",      "restore",   "print",  "yearChange",
                                  "add",       "modify",    "delete",      "export",    "import", "printPage",
                                  "pageSetup", "pdf",       "close",       "validate",  "next",   "cancel",
                                  "exit",      "grid",      "spreadsheet", "dataFolder"};
        for (const QString &command : used) {
            const QString name = Icons::themeName(command);
            QVERIFY2(!name.isEmpty(), qPrintable(command));
            QVERIFY2(QFile::exists(QStringLiteral(":/icons/%1.png").arg(name)), qPrintable(name));
            QVERIFY2(!Icons::forCommand(command).pixmap(16, 16).isNull(), qPrintable(command));
        }
        QCOMPARE(Icons::commands().size(), used.size());
        // The report viewer's print commands are told apart.
        QVERIFY(Icons::themeName("print") != Icons::themeName("printPage"));
        QVERIFY(Icons::forCommand(QStringLiteral("Imprime")).isNull()); // a label, not a command
    }
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
