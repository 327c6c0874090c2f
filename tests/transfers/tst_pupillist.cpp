// Text lists of pupils' names: line ends, encodings, tabs and blank lines, the
// one-transaction import that skips names the class has, and a bounded
// random-input run of the reader.
#include "WindowFixture.h"

#include "transfers/PupilTextList.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

class TestPupilList : public QObject
{
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("names"); // joined by "|"
        QTest::newRow("UTF-8, LF") << QByteArray("\xC3\x89lo\xC3\xAFse\nL\xC3\xA9o\nZo\xC3\xA9\n") << "Éloïse|Léo|Zoé";
        QTest::newRow("BOM, CRLF, no end")
            << QByteArray("\xEF\xBB\xBF\xC3\x89lo\xC3\xAFse\r\nL\xC3\xA9o") << "Éloïse|Léo";
        QTest::newRow("Windows-1252, CR") << QByteArray("\xC9lo\xEFse\rL\xE9o\r\x80 \x9C\x8C\r") << "Éloïse|Léo|€ œŒ";
        QTest::newRow("tabs, blanks, mixed ends")
            << QByteArray("Jean\tDupont\n\tTom \r\n\n  \n\t\rA\r\r\nB\n\rC") << "Jean Dupont| Tom |A|B|C";
    }

    void names()
    {
        QFETCH(QByteArray, bytes);
        QTEST(PupilTextList::Names(PupilTextList::Decode(bytes)).join('|'), "names");
    }

    // Through the toolbar, on the school's first class: new names join it with
    // CSP 0, names it has (or the list repeats) are counted; a row the database
    // refuses leaves it as it was.
    void importsThroughToolbar()
    {
        WindowFixture f;
        f.fillSample();
        f.exec("CREATE TRIGGER refus BEFORE INSERT ON ELEVE WHEN NEW.NOM = 'Refusé' "
               "BEGIN SELECT RAISE(ABORT, 'refus'); END");
        QVERIFY(f.start());
        const auto import = [&](const QString &file, const QByteArray &bytes) {
            if (!bytes.isNull())
                TestSupport::writeFile(f.folder() + "/" + file, bytes);
            f.dialogs.clear();
            f.dialogs.queueChoice(file.isEmpty() ? QString() : f.folder() + "/", file); // no folder: given up
            f.run("pupilToolbar", "EleveTXT");
            return f.query("SELECT NOM || ':' || CSP FROM ELEVE WHERE NOECOLE = 7 AND NOCLASSE = 4 ORDER BY NOELEVE");
        };
        const QStringList rows{"Denis:1", "Zoé:0", "Anna Maria:0", "Alice:0", "Emma:0"};
        QCOMPARE(import("classe.txt", "Zo\xE9\r\nDenis\r\nAnna\tMaria\r\nZo\xE9"), rows.mid(0, 3));
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("2 élève(s) déjà présent(s) dans la classe n'ont pas été ajoutés."));
        // Names of other classes are new here, and nothing is said.
        QCOMPARE(import("autres.txt", "Alice\nEmma\n"), rows);
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(import("refus.txt", "Paul\nRefus\xC3\xA9\nMarc\n"), rows); // all or nothing
        QVERIFY(f.dialogs.shown().last().text.contains("« Refusé »"));
        import("absent.txt", {});
        QVERIFY(f.dialogs.shown().last().text.contains("ne peut pas être lu"));
        import({}, {}); // given up: nothing else happens
        QCOMPARE(f.dialogs.shown().size(), 1);
    }

    // Bounded random input: mutated lists and raw noise. The reader must never
    // crash and never return a name holding a line end, a tab or only blanks.
    void fuzzReader()
    {
        QRandomGenerator rng(20261206);
        const QByteArray seeds[] = {QByteArray("\xEF\xBB\xBF\xC3\x89lo\xC3\xAFse\r\nL\xC3\xA9o\n"),
                                    QByteArray("\xC9lo\xEFse\rA\tB\r\n\r\n"), QByteArray("\xF0\x9F\x98\x80\n\xE2\x82")};
        const char alphabet[] = "\r\n\t \x80\xC3\xA9\xEF\xBB\xBF\xF0\xFF\x00aZ";
        const QRegularExpression bad("[\r\n\t]|^\\s*$");
        const int Inputs = TestSupport::fuzzInputs(30000);
        int names = 0;
        for (int i = 0; i < Inputs; ++i) {
            QByteArray input = seeds[i % 3];
            for (int e = int(rng.bounded(1, 40)); e > 0; --e) {
                const int at = int(rng.bounded(input.size() + 1));
                if (at < input.size() && rng.bounded(3) == 0)
                    input.remove(at, 1);
                else
                    input.insert(at, rng.bounded(2) ? alphabet[rng.bounded(int(sizeof alphabet - 1))]
                                                    : char(rng.bounded(256)));
            }
            const QStringList result = PupilTextList::Names(PupilTextList::Decode(input));
            for (const QString &name : result)
                QVERIFY2(!bad.match(name).hasMatch(), qPrintable(name));
            names += int(result.size());
        }
        qInfo("text-list reader: %d random inputs, %d names, 0 crashes", Inputs, names);
    }
};

QTEST_MAIN(TestPupilList)
#include "tst_pupillist.moc"
