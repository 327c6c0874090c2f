// Sending a pupil to another school and receiving one: round trips through the
// pupil toolbar, the remapping of results, refusals, and hostile transfer files.
#include "TestSupport.h"
#include "WidgetSupport.h"

#include "backup/cUnzip.h"
#include "common/ScriptedDialogs.h"
#include "data/DataFiles.h"
#include "data/SqliteSupport.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"
#include "transfers/PupilExport.h"
#include "transfers/PupilImport.h"
#include "transfers/PupilTransferCommands.h"

#include <QDir>
#include <QListWidget>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

void run(const QString &path, const QString &sql, bool create = false)
{
    SqliteSupport::RawDatabase db;
    QVERIFY2(db.open(path, create), qPrintable(path));
    QVERIFY2(db.exec(sql), qPrintable(db.error()));
}

} // namespace

class TestPupilTransfer : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        QTemporaryDir dir;
        QTemporaryDir out;
        ScriptedDialogs dialogs;
        FixedClock clock{QDateTime(QDate(2026, 10, 5), QTime(9, 0))};
        AppContext context{dialogs, clock};
        std::unique_ptr<Form1> window;

        // One school with a class of each level and a second CP class; in each
        // of the first three, one pupil with results in every trimester.
        Fixture()
        {
            TestSupport::createEmptyDataFolder(dir.path());
            const QString db = DataFiles::LiveDatabase(dir.path());
            run(db, "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole Jules Ferry');"
                    "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU) VALUES (1, 1, 'GS Mme Blanc', 'GS'),"
                    "(2, 1, 'CP M. Petit', 'CP'), (3, 1, 'CE1 Mme Roux', 'CE1'), (4, 1, 'CP Mme Noir', 'CP');"
                    "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1TOT, T2_E2TOT, T2_E2PRO,"
                    " T3_E1P1, T3_E1P5, T3_E1TOT, T3_E1CAT, T3_E1PRO, T3_E3P2, T3_E3PRO, PROFIL_L) VALUES "
                    "(1, 1, 'Zoé', 4, 1, 2, 5, 'F', 3, 4, 10, 2, 'A', 7, 'F', 'A'),"
                    "(1, 2, 'Jean \"Jeannot\" Dupont', 2, 1, 2, 5, 'F', 3, 4, 10, 2, 'A', 7, 'F', 'A'),"
                    "(1, 3, 'Chloé', 1, 1, 2, 5, 'F', 3, 4, 10, 2, 'A', 7, 'F', 'A'),"
                    "(1, 2, 'Hugo', 6, 1, 2, 5, 'F', 3, 4, 10, 2, 'A', 7, 'F', 'A')");
            context.connection.setDataFolder(dir.path());
            window = std::make_unique<Form1>(context);
            ConnectPupilTransfers(*window, context);
            if (!window->Form_Activate())
                qFatal("database not opened");
        }
        void select(const QString &klass, const QString &pupil = QString())
        {
            const auto classes = window->classList()->findItems(klass, Qt::MatchExactly);
            QVERIFY(!classes.isEmpty());
            window->classList()->setCurrentItem(classes.first());
            if (pupil.isEmpty())
                return;
            const auto pupils = window->pupilList()->findItems(pupil, Qt::MatchExactly);
            QVERIFY(!pupils.isEmpty());
            window->pupilList()->setCurrentItem(pupils.first());
        }
        void exportPupil(const QString &klass, const QString &pupil)
        {
            select(klass, pupil);
            dialogs.queueChoice(out.path() + "/");
            window->runListCommand("Toolbar4", "Exporte");
        }
        void importInto(const QString &klass)
        {
            select(klass);
            dialogs.queueChoice(out.path(), "EXPORT.mdb");
            window->runListCommand("Toolbar4", "Importe");
        }
        QVariantMap pupilRow(int klass, const QString &name)
        {
            QSqlQuery q(context.connection.database());
            q.prepare("SELECT * FROM ELEVE WHERE NOCLASSE = :C AND NOM = :N");
            q.bindValue(":C", klass);
            q.bindValue(":N", name);
            QVariantMap row;
            if (q.exec() && q.next())
                for (int i = 0; i < q.record().count(); ++i)
                    row.insert(q.record().fieldName(i), q.value(i));
            return row;
        }
        QStringList eleve() { return TestSupport::tableRows(context.connection.database(), "ELEVE"); }
    };

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("pupil");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("toNo");
        QTest::addColumn<bool>("movingUp");
        QTest::newRow("GS to CP") << "GS Mme Blanc"
                                  << "Zoé"
                                  << "CP Mme Noir" << 4 << true;
        QTest::newRow("CP to CE1, quoted name") << "CP M. Petit"
                                                << "Jean \"Jeannot\" Dupont"
                                                << "CE1 Mme Roux" << 3 << true;
        QTest::newRow("CP to CP") << "CP M. Petit"
                                  << "Hugo"
                                  << "CP Mme Noir" << 4 << false;
    }

    void roundTrip()
    {
        QFETCH(QString, from);
        QFETCH(QString, pupil);
        QFETCH(QString, to);
        QFETCH(int, toNo);
        QFETCH(bool, movingUp);
        Fixture f;
        f.exportPupil(from, pupil);
        QCOMPARE(f.dialogs.shown().last().title, QStringLiteral("Succès"));
        QCOMPARE(f.dialogs.shown().last().text, "L'Exportation de l'élève " + pupil + " a réussi !");
        QCOMPARE(TestSupport::fileNames(f.out.path()), QStringList{"EXPORT.mdb"});

        f.importInto(to);
        QCOMPARE(f.dialogs.shown().last().text, "L'importation de l'élève " + pupil + " a réussi !");
        f.select(to);
        QVERIFY(TestSupport::listTexts(f.window->pupilList()).contains(pupil));
        const int fromNo = from.startsWith("GS") ? 1 : 2;
        const QVariantMap row = f.pupilRow(toNo, pupil);
        QVERIFY(!row.isEmpty());
        QCOMPARE(row["NOECOLE"].toInt(), 1);
        QCOMPARE(row["CSP"], f.pupilRow(fromNo, pupil)["CSP"]);
        QCOMPARE(row["PROFIL_L"].toString(), QStringLiteral("A"));
        // Trimester 1 takes last year's trimester 3 when moving up, else is cleared.
        QCOMPARE(row["T1_E1P1"].toInt(), movingUp ? 3 : 99);
        QCOMPARE(row["T1_E1P5"].toInt(), movingUp ? 4 : 99);
        QCOMPARE(row["T1_E1TOT"].toInt(), movingUp ? 10 : 99);
        QCOMPARE(row["T1_E1CAT"].toInt(), movingUp ? 2 : 99);
        QCOMPARE(row["T1_E1PRO"].toString(), movingUp ? QStringLiteral("A") : QString(""));
        QCOMPARE(row["T1_E3P2"].toInt(), movingUp ? 7 : 99);
        QCOMPARE(row["T1_E3PRO"].toString(), movingUp ? QStringLiteral("F") : QString(""));
        for (const char *cleared : {"T2_E2TOT", "T3_E1P1", "T3_E1P5", "T3_E1TOT", "T3_E1CAT", "T3_E3P2", "T2_E1P3"})
            QCOMPARE(row[cleared].toInt(), 99);
        QCOMPARE(row["T2_E2PRO"].toString(), QString(""));
        QCOMPARE(row["T3_E1PRO"].toString(), QString(""));
        // The exported pupil is still in its class.
        QVERIFY(!f.pupilRow(fromNo, pupil).isEmpty());
    }

    void levelRefused_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("pupil");
        QTest::addColumn<QString>("to");
        QTest::newRow("CE1 to CP") << "CE1 Mme Roux"
                                   << "Chloé"
                                   << "CP Mme Noir";
        QTest::newRow("GS to CE1") << "GS Mme Blanc"
                                   << "Zoé"
                                   << "CE1 Mme Roux";
    }

    void levelRefused()
    {
        QFETCH(QString, from);
        QFETCH(QString, pupil);
        QFETCH(QString, to);
        Fixture f;
        f.exportPupil(from, pupil);
        const QStringList before = f.eleve();
        f.select(to);
        const QStringList listed = TestSupport::listTexts(f.window->pupilList());
        f.importInto(to);
        QCOMPARE(f.dialogs.shown().last().title, QStringLiteral("Abandon"));
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("Le niveau de la classe ne concorde pas.\nla procédure est abandonnée !"));
        QCOMPARE(f.eleve(), before);
        f.select(to);
        QCOMPARE(TestSupport::listTexts(f.window->pupilList()), listed);
    }

    // The second export replaces the first; an export that finds no pupil
    // reports a failure and leaves the earlier file alone.
    void exportReplacesAndFails()
    {
        Fixture f;
        QVERIFY(f.window->findChild<cUnzip *>("m_cUnzip"));
        TestSupport::writeFile(f.out.path() + "/export.MDB", "stale");
        f.exportPupil("GS Mme Blanc", "Zoé");
        f.exportPupil("CP M. Petit", "Hugo");
        QCOMPARE(TestSupport::fileNames(f.out.path()), QStringList{"EXPORT.mdb"});
        SqliteSupport::RawDatabase db;
        QVERIFY(db.open(f.out.path() + "/EXPORT.mdb", false, true));
        QStringList names;
        QVERIFY(db.queryTexts("SELECT NOM || '/' || Niveau FROM ELEVE", &names));
        QCOMPARE(names, QStringList{"Hugo/CP"});
        db.close();

        const QByteArray kept = TestSupport::fileBytes(f.out.path() + "/EXPORT.mdb");
        QString error;
        QVERIFY(!PupilExport::Export(f.context.connection, f.out.path(), 1, 2, "Personne", &error));
        QCOMPARE(TestSupport::fileBytes(f.out.path() + "/EXPORT.mdb"), kept);
        QCOMPARE(TestSupport::fileNames(f.out.path()), QStringList{"EXPORT.mdb"});

        // Given up: nothing written, the toolbar message.
        f.dialogs.queueChoice(QString());
        f.window->runListCommand("Toolbar4", "Exporte");
        QCOMPARE(f.dialogs.shown().last().text, QStringLiteral("La procédure d'export a été abandonnée !"));
    }

    // A stored name with blanks around it is exported under its list text or trimmed.
    void exportsNameWithBlanks()
    {
        Fixture f;
        QVERIFY(f.context.connection.execute("UPDATE ELEVE SET NOM = '  Zoé ' WHERE NOM = 'Zoé'"));
        QString error;
        QVERIFY2(PupilExport::Export(f.context.connection, f.out.path(), 1, 1, "Zoé", &error), qPrintable(error));
        QVERIFY2(PupilExport::Export(f.context.connection, f.out.path(), 1, 1, "  Zoé ", &error), qPrintable(error));
    }

    void hostileTransferFile_data()
    {
        QTest::addColumn<QString>("sql"); // run on a new EXPORT.mdb (COLS: IMPORTE's columns); empty: a text file
        QTest::newRow("not a database") << "";
        QTest::newRow("no table") << "CREATE TABLE AUTRE (x);";
        QTest::newRow("missing column") << "CREATE TABLE ELEVE (NOM TEXT, Niveau TEXT);"
                                           "INSERT INTO ELEVE VALUES ('A', 'CP');";
        QTest::newRow("empty") << "CREATE TABLE ELEVE (COLS);";
        QTest::newRow("two pupils")
            << "CREATE TABLE ELEVE (COLS); INSERT INTO ELEVE (NOM, Niveau) VALUES ('A', 'CP'), ('B', 'CP');";
        QTest::newRow("view named ELEVE") << "CREATE TABLE T (COLS); INSERT INTO T (NOM, Niveau) VALUES ('A', 'CP');"
                                             "CREATE VIEW ELEVE AS SELECT * FROM T;";
    }

    void hostileTransferFile()
    {
        QFETCH(QString, sql);
        Fixture f;
        const QString path = f.out.path() + "/EXPORT.mdb";
        if (sql.isEmpty()) {
            TestSupport::writeFile(path, "NOM\nZoé\n");
        } else {
            QStringList columns;
            QSqlQuery q(f.context.connection.database());
            QVERIFY(q.exec("PRAGMA table_info(IMPORTE)"));
            while (q.next())
                columns.append(q.value(1).toString());
            run(path, sql.replace("COLS", columns.join(", ")), true);
        }
        const QByteArray file = TestSupport::fileBytes(path);
        const QStringList before = f.eleve();
        f.importInto("CP Mme Noir");
        QCOMPARE(f.dialogs.shown().last().text,
                 QStringLiteral("La procédure d'import a été abandonnée suite à une erreur !"));
        QCOMPARE(f.eleve(), before);
        QCOMPARE(TestSupport::fileBytes(path), file);
    }
};

QTEST_MAIN(TestPupilTransfer)
#include "tst_pupiltransfer.moc"
