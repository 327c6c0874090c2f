// Text lists of pupils' names: line ends, encodings, tabs and blank lines, the
// one-transaction import that skips names the class has, what it refuses
// (anything but a regular file, lists beyond the limits), and a bounded
// random-input run of the reader.
#include "WindowFixture.h"

#include "common/Limits.h"
#include "transfers/PupilTextList.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Runs `import`; should it wait on `pipe`, opens the pipe's writing end after
// five seconds so that the wait ends, and the test fails rather than hang.
static bool returnsAtOnce(const QByteArray &pipe, const std::function<void()> &import)
{
    std::atomic<bool> done{false}, released{false};
    std::thread watchdog([&] {
        for (int i = 0; !done; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (i >= 250 && !done && (released = true))
                ::close(::open(pipe.constData(), O_WRONLY | O_NONBLOCK)); // fails (-1) until there is a reader
        }
    });
    import();
    done = true;
    watchdog.join();
    return !released;
}

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

    // Through the toolbar, on the school's second class: new names join it with CSP 0, and are counted; names it has
    // (or the list repeats) are counted too; a row the database refuses leaves it as it was. The class stays selected.
    void importsThroughToolbar()
    {
        WindowFixture f;
        f.fillSample();
        f.exec("INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (7, 6, 'Arnaud GS', 'GS')");
        QVERIFY(f.start());
        f.select(f.classes(), QStringLiteral("Durand GS"));
        f.exec("CREATE TRIGGER refus BEFORE INSERT ON ELEVE WHEN NEW.NOM = 'Refusé' "
               "BEGIN SELECT RAISE(ABORT, 'refus'); END");
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
        QVERIFY(f.selected(f.classes()) == "Durand GS" && f.context.session.classNo() == 4 && f.pupils()->count() == 3);
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("2 élèves ont été ajoutés à la classe « Durand GS ».\n"
                                "2 élève(s) déjà présent(s) dans la classe n'ont pas été ajoutés."));
        // Names of other classes are new here.
        QCOMPARE(import("autres.txt", "Alice\nEmma\n"), rows);
        QCOMPARE(f.dialogs.titles().last(), QStringLiteral("Message"));
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("2 élèves ont été ajoutés à la classe « Durand GS »."));
        QCOMPARE(import("refus.txt", "Paul\nRefus\xC3\xA9\nMarc\n"), rows); // all or nothing
        QVERIFY(f.dialogs.shown().last().text.contains("« Refusé »"));
        import("absent.txt", {});
        QVERIFY(f.dialogs.shown().last().text.contains("« absent.txt » est introuvable"));
        import({}, {}); // given up: nothing else happens
        QCOMPARE(f.dialogs.shown().size(), 1);
        QVERIFY(f.dialogs.titles().first().startsWith("Chooser"));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("kind"); // "list", "pipe", "zero" (link to /dev/zero), "folder"
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("pupils");      // in the class before
        QTest::addColumn<int>("after");       // in the class after
        QTest::addColumn<QString>("refusal"); // a part of the message; empty when the list is taken

        const auto names = [](int count) {
            QByteArray list;
            for (int i = 1; i <= count; ++i)
                list += "Nouveau " + QByteArray::number(i) + "\r\n";
            return list;
        };
        const QByteArray blanks(Limits::ListBytes - 5, '\n');
        const QString notRegular = "« liste.txt » n'est pas un fichier ordinaire";
        const auto row = [](const char *tag, const char *kind, const QByteArray &bytes, int pupils, int after,
                            const QString &refusal) {
            QTest::newRow(tag) << kind << bytes << pupils << after << refusal;
        };
        row("pipe", "pipe", {}, 1, 1, notRegular);
        row("link to /dev/zero", "zero", {}, 1, 1, notRegular);
        row("folder", "folder", {}, 1, 1, "« liste.txt » est un dossier");
        row("201 names", "list", names(201), 0, 0, "« liste.txt » compte 201 noms");
        row("200 names", "list", names(200), 0, 200, "");
        row("81 characters, line 3", "list", "Anna\r\n\r\n " + QByteArray(81, 'x') + "\t\r\nBob", 1, 1,
            "Le nom de la ligne 3 de « liste.txt » compte 81 caractères");
        row("80 characters and blanks", "list", " \t" + QByteArray(80, 'x') + "  \n", 1, 2, "");
        row("one byte too many", "list", "Anna\n" + blanks + "\n", 1, 1, "dépasse 256 Ko");
        row("at the byte limit", "list", "Anna\n" + blanks, 1, 2, "");
        row("class of 199, 2 new", "list", names(2), 199, 199, "La classe compte 199 élèves : avec les 2 nouveaux");
        row("class of 198, 2 new", "list", names(2), 198, 200, "");
        row("class of 199, 1 new, 1 there", "list", "Eleve 1\nNouveau\n", 199, 200, "");
    }

    // Refused at once, with the reason in the window's message, and nothing
    // added; at each limit itself the list is taken.
    void refusals()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(int, pupils);
        QFETCH(int, after);
        QFETCH(QString, refusal);
        WindowFixture f;
        f.fillSample();
        f.exec(QString("DELETE FROM ELEVE WHERE NOECOLE = 7 AND NOCLASSE = 4; WITH RECURSIVE n(i) AS (SELECT 1 UNION "
                       "ALL SELECT i + 1 FROM n WHERE i < %1) "
                       "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) SELECT 7, 4, 'Eleve ' || i, 1 FROM n "
                       "WHERE i <= %1")
                   .arg(pupils));
        const QString path = f.folder() + "/liste.txt";
        if (kind == "pipe")
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else if (kind == "zero")
            QVERIFY(QFile::link("/dev/zero", path));
        else if (kind == "folder")
            QVERIFY(QDir().mkdir(path));
        else
            TestSupport::writeFile(path, bytes);
        QVERIFY(f.start());
        const QString count = "SELECT COUNT(*) FROM ELEVE WHERE NOECOLE = 7 AND NOCLASSE = 4";
        QCOMPARE(f.query(count), QStringList{QString::number(pupils)});

        f.dialogs.queueChoice(f.folder() + "/", "liste.txt");
        QVERIFY2(returnsAtOnce(QFile::encodeName(path), [&] { f.run("pupilToolbar", "EleveTXT"); }),
                 "the import waited on the pipe");

        QCOMPARE(f.query(count), QStringList{QString::number(after)});
        const QString text = f.dialogs.shown().isEmpty() ? QString() : f.dialogs.shown().last().text;
        QVERIFY2(refusal.isEmpty() ? !text.contains("échoué")
                                   : text.startsWith("L'importation de la liste des élèves a échoué.\n") &&
                                         text.contains(refusal) && text.endsWith("Aucun élève n'a été ajouté."),
                 qPrintable(text));
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
