// The toolbars' icons: the theme's when it has one, the bundled copy otherwise.
#include "common/Icons.h"

#include <QFile>
#include <QTest>

class TestIcons : public QObject
{
    Q_OBJECT
private slots:
    // A desktop without a theme still gets every command's icon, from the bundled copies.
    void everyCommandHasABundledIcon()
    {
        QIcon::setThemeName(QStringLiteral("velorin-no-such-theme"));
        const QStringList used = {"entry",  "synthesis", "backup", "restore", "print",     "yearChange", "add",
                                  "modify", "delete",    "export", "import",  "printPage", "pageSetup",  "pdf",
                                  "close",  "validate",  "next",   "cancel",  "exit",      "grid",
                                  "spreadsheet", "dataFolder"};
        for (const QString &command : used) {
            const QString name = Icons::themeName(command);
            QVERIFY2(!name.isEmpty(), qPrintable(command));
            QVERIFY2(QFile::exists(QStringLiteral(":/icons/%1.png").arg(name)), qPrintable(name));
            QVERIFY2(!Icons::forCommand(command).pixmap(16, 16).isNull(), qPrintable(command));
        }
        QCOMPARE(Icons::commands().size(), used.size());
        // The report viewer's print commands are told apart.
        QVERIFY(Icons::themeName("print") != Icons::themeName("printPage"));
    }

    void anUnknownCommandHasNoIcon() { QVERIFY(Icons::forCommand(QStringLiteral("Imprime")).isNull()); }
};

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
