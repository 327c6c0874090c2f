// Text lists of pupils' names: line ends, encodings, tabs and blank lines, the
// one-transaction import that skips names the class has, and a bounded
// random-input run of the reader.
#include "WindowFixture.h"

#include "transfers/PupilTextList.h"

#include <QRandomGenerator>
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

    // Through the toolbar, on the school's first class (where the lists come
    // back): new names join it with CSP 0, names it has (or the list repeats)
    // are counted; a row the database refuses leaves it as it was.
    void importsThroughToolbar()
    {
        WindowFixture f;
        f.fillSample();
        f.exec("CREATE TRIGGER refus BEFORE INSERT ON ELEVE WHEN NEW.NOM = 'Refusé' "
               "BEGIN SELECT RAISE(ABORT, 'refus'); END");
        QVERIFY(f.start());
        QCOMPARE(f.selected(f.classes()), QStringLiteral("Durand GS"));
        const QString inClass =
            "SELECT NOM || ':' || CSP FROM ELEVE WHERE NOECOLE = 7 AND NOCLASSE = 4 ORDER BY NOELEVE";
        const QStringList rows{"Denis:1", "Zoé:0", "Anna Maria:0"};
        const auto import = [&](const QString &file, const QByteArray &bytes) {
            TestSupport::writeFile(f.folder() + "/" + file, bytes);
            f.dialogs.clear();
            f.dialogs.queueChoice(f.folder() + "/", file);
            f.run("pupilToolbar", "EleveTXT");
        };
        import("classe.txt", "Zo\xE9\r\nDenis\r\nAnna\tMaria\r\nZo\xE9");
        QCOMPARE(f.dialogs.titles(),
                 (QStringList{"Chooser: Choisir le répertoire contenant la liste des élèves (.txt)", "Message"}));
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("2 élève(s) déjà présent(s) dans la classe n'ont pas été ajoutés."));
        QCOMPARE(f.query(inClass), rows);
        import("autres.txt", "Alice\nEmma\n"); // names of other classes: new here, and nothing is said
        QCOMPARE(f.dialogs.titles().size(), 1);
        QCOMPARE(f.query(inClass), rows + QStringList({"Alice:0", "Emma:0"}));

        const QStringList before = TestSupport::tableRows(f.context.connection.database(), "ELEVE");
        import("refus.txt", "Paul\nRefus\xC3\xA9\nMarc\n");
        QCOMPARE(f.dialogs.shown().last().title, QStringLiteral("Abandon"));
        QVERIFY(f.dialogs.shown().last().text.contains("« Refusé »"));
        QCOMPARE(TestSupport::tableRows(f.context.connection.database(), "ELEVE"), before);
        f.dialogs.queueChoice(f.folder(), "absent.txt");
        f.run("pupilToolbar", "EleveTXT");
        QVERIFY(f.dialogs.shown().last().text.contains("ne peut pas être lu"));
        f.dialogs.clear();
        f.run("pupilToolbar", "EleveTXT"); // given up: nothing else happens
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
        constexpr int Inputs = 30000;
        int names = 0;
        for (int i = 0; i < Inputs; ++i) {
            QByteArray input = seeds[i % 3];
            for (int e = int(rng.bounded(1, 40)); e > 0; --e) {
                const char c =
                    rng.bounded(2) ? alphabet[rng.bounded(int(sizeof alphabet - 1))] : char(rng.bounded(256));
                const int at = int(rng.bounded(input.size() + 1));
                const int edit = int(rng.bounded(3));
                if (edit == 0)
                    input.insert(at, c);
                else if (at < input.size())
                    edit == 1 ? void(input[at] = c) : void(input.remove(at, 1));
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
