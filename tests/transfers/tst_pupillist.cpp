// Text lists of pupils' names: line ends, encodings, tabs and blank lines, the
// one-transaction import, and a bounded random-input run of the reader.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/DataFiles.h"
#include "data/SqliteSupport.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "transfers/PupilTextList.h"
#include "transfers/PupilTransferCommands.h"

#include <QListWidget>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestPupilList : public QObject
{
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        const QStringList three{"Éloïse", "Léo", "Zoé"};
        QTest::newRow("UTF-8, LF, final line end")
            << QByteArray("\xC3\x89lo\xC3\xAFse\nL\xC3\xA9o\nZo\xC3\xA9\n") << three;
        QTest::newRow("UTF-8 with BOM, CRLF, no final end")
            << QByteArray("\xEF\xBB\xBF\xC3\x89lo\xC3\xAFse\r\nL\xC3\xA9o\r\nZo\xC3\xA9") << three;
        QTest::newRow("Windows-1252, CR") << QByteArray("\xC9lo\xEFse\rL\xE9o\rZo\xE9\r") << three;
        QTest::newRow("Windows-1252 high range") << QByteArray("\x80 \x9C\x8C") << QStringList{"€ œŒ"};
        QTest::newRow("tabs on every line, blanks kept") << QByteArray("Jean\tDupont\n  Léa Martin \n\tTom\t\n")
                                                         << QStringList{"Jean Dupont", "  Léa Martin ", " Tom "};
        QTest::newRow("blank lines skipped") << QByteArray("\n\r\n  \n\t\nA\n\n\nB\r\n \r") << QStringList{"A", "B"};
        QTest::newRow("mixed line ends") << QByteArray("A\r\r\nB\n\rC") << QStringList{"A", "B", "C"};
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("only a BOM") << QByteArray("\xEF\xBB\xBF") << QStringList();
    }

    void names()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        QCOMPARE(PupilTextList::Names(PupilTextList::Decode(bytes)), names);
    }

    // Through the toolbar: every name joins the current class with CSP 0; a row
    // the database refuses leaves the class as it was, with a French message.
    void importsThroughToolbar()
    {
        QTemporaryDir dir, lists;
        TestSupport::createEmptyDataFolder(dir.path());
        SqliteSupport::RawDatabase raw;
        QVERIFY(raw.open(DataFiles::LiveDatabase(dir.path()), false));
        QVERIFY(raw.exec("INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole');"
                         "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU) VALUES (2, 1, 'CP', 'CP');"
                         "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) VALUES (1, 2, 'Léo', 3);"
                         "CREATE TRIGGER refus BEFORE INSERT ON ELEVE WHEN NEW.NOM = 'Refusé' "
                         "BEGIN SELECT RAISE(ABORT, 'refus'); END;"));
        raw.close();
        TestSupport::writeFile(lists.path() + "/classe.txt", "Zo\xE9\r\nL\xE9o\r\nAnna\tMaria");
        TestSupport::writeFile(lists.path() + "/refus.txt", "Paul\nRefus\xC3\xA9\nMarc\n");
        ScriptedDialogs dialogs;
        FixedClock clock{QDateTime(QDate(2026, 10, 5), QTime(9, 0))};
        AppContext context{dialogs, clock};
        context.connection.setDataFolder(dir.path());
        Form1 window(context);
        ConnectPupilTransfers(window, context);
        QVERIFY(window.Form_Activate());

        dialogs.queueChoice(lists.path() + "/", "classe.txt");
        window.runListCommand("Toolbar4", "EleveTXT");
        QCOMPARE(dialogs.titles(), QStringList{"Chooser: Choisir le répertoire contenant la liste des élèves (.txt)"});
        QSqlQuery q(context.connection.database());
        QVERIFY(q.exec("SELECT NOM || ':' || CSP FROM ELEVE WHERE NOECOLE = 1 AND NOCLASSE = 2 ORDER BY rowid"));
        QStringList rows;
        while (q.next())
            rows.append(q.value(0).toString());
        QCOMPARE(rows, (QStringList{"Léo:3", "Zoé:0", "Léo:0", "Anna Maria:0"}));
        QCOMPARE(window.pupilList()->count(), 4);

        const QStringList before = TestSupport::tableRows(context.connection.database(), "ELEVE");
        dialogs.queueChoice(lists.path(), "refus.txt");
        window.runListCommand("Toolbar4", "EleveTXT");
        QCOMPARE(dialogs.shown().last().title, QStringLiteral("Abandon"));
        QVERIFY(dialogs.shown().last().text.contains("« Refusé »"));
        QCOMPARE(TestSupport::tableRows(context.connection.database(), "ELEVE"), before);

        dialogs.queueChoice(lists.path(), "absent.txt");
        window.runListCommand("Toolbar4", "EleveTXT");
        QVERIFY(dialogs.shown().last().text.contains("ne peut pas être lu"));
        dialogs.clear();
        dialogs.queueChoice(QString());
        window.runListCommand("Toolbar4", "EleveTXT"); // given up: nothing else happens
        QCOMPARE(dialogs.shown().size(), 1);
    }

    // Bounded random input: mutated lists and raw noise. The reader must never
    // crash and never return a name holding a line end, a tab or only blanks.
    void fuzzReader()
    {
        QRandomGenerator rng(20261206);
        const QByteArray seeds[] = {QByteArray("\xEF\xBB\xBF\xC3\x89lo\xC3\xAFse\r\nL\xC3\xA9o\n"),
                                    QByteArray("\xC9lo\xEFse\rA\tB\r\n\r\n"), QByteArray("\xF0\x9F\x98\x80\n\xE2\x82")};
        const char alphabet[] = "\r\n\t \x80\xC3\xA9\xEF\xBB\xBF\xF0\xFF\x00aZ";
        constexpr int Inputs = 30000;
        int names = 0;
        for (int i = 0; i < Inputs; ++i) {
            QByteArray input = seeds[i % 3];
            const int edits = int(rng.bounded(1, 40));
            for (int e = 0; e < edits; ++e) {
                const char c =
                    rng.bounded(2) ? alphabet[rng.bounded(int(sizeof alphabet - 1))] : char(rng.bounded(256));
                const int at = int(rng.bounded(input.size() + 1));
                switch (rng.bounded(3)) {
                case 0:
                    input.insert(at, c);
                    break;
                case 1:
                    if (at < input.size())
                        input[at] = c;
                    break;
                default:
                    if (at < input.size())
                        input.remove(at, 1);
                }
            }
            const QStringList result = PupilTextList::Names(PupilTextList::Decode(input));
            for (const QString &name : result) {
                QVERIFY(!name.contains('\r') && !name.contains('\n') && !name.contains('\t'));
                QVERIFY(!name.trimmed().isEmpty());
            }
            names += int(result.size());
        }
        qInfo("text-list reader: %d random inputs, %d names, 0 crashes", Inputs, names);
    }
};

QTEST_MAIN(TestPupilList)
#include "tst_pupillist.moc"
