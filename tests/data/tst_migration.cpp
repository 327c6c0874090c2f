// A file of the first schema version, opened by this program: every pupil keeps every value and gets its old row
// number as key, or, when the step cannot run, the file stays exactly as it was.
#include "TestSupport.h"

#include "common/ScriptedDialogs.h"
#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/Migration.h"
#include "data/Schema.h"
#include "data/SqliteSupport.h"
#include "data/StartupSequence.h"

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::fileBytes;

namespace {

// A version-1 database: ELEVE without its key, the export view carrying the whole row. Two pupils of the same
// name in one class, a deleted pupil (a gap in the row numbers), and a text and a real among the scores.
void makeVersionOne(const QString &path, const QString &extra = {})
{
    QStringList statements;
    for (QString statement : Schema::Statements()) {
        if (statement.startsWith(QLatin1String("CREATE TABLE ELEVE ")))
            statement.remove(QStringLiteral("  NOELEVE INTEGER PRIMARY KEY AUTOINCREMENT,\n"));
        if (statement.startsWith(QLatin1String("CREATE VIEW VIEW_EXPORT ")))
            statement = QStringLiteral("CREATE VIEW VIEW_EXPORT AS SELECT ELEVE.*, CLASSE.NIVEAU AS Niveau FROM ELEVE "
                                       "LEFT JOIN CLASSE USING (NOECOLE, NOCLASSE)");
        statements.append(statement);
    }
    statements << "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (1, 'Ecole Jules Ferry')"
               << "INSERT INTO CLASSE (NOCLASSE, NOECOLE, LIBELLE, NIVEAU, T1_E1CAT) VALUES (1, 1, 'CP A', 'CP', 2.5)"
               << "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E1P1, T1_E1P2, T1_E1P3, T1_E1TOT, T1_E1PRO, "
                  "PROFIL_L, MOYCAT_L, MOYCAT_CT) VALUES (1, 1, 'Léa Martin', 3, 2, 1, 0, 3, 'B', 'AB', 2.5, NULL), "
                  "(1, 1, 'Parti', 1, 0, 0, 0, 0, 'D', 'D', 4, 4), "
                  "(1, 1, 'Léa Martin', NULL, 99, 'abs', 2.75, 99, NULL, 'C', 1.75, 3), "
                  "(1, 2, 'Jean \"Jeannot\" d''Arc', 8, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)"
               << "DELETE FROM ELEVE WHERE NOM = 'Parti'"
               << QStringLiteral("PRAGMA application_id = %1").arg(Schema::ApplicationId) << "PRAGMA user_version = 1"
               << extra;
    SqliteSupport::RawDatabase db;
    const SqliteSupport::AdministrativeStep setUp;
    QVERIFY2(db.open(path, true) && db.exec(statements.join(QLatin1String(";\n"))), qPrintable(db.error()));
}

QStringList texts(const QString &path, const QString &sql)
{
    SqliteSupport::RawDatabase db;
    QStringList result;
    if (!db.open(path, false, true) || !db.queryTexts(sql, &result))
        qFatal("%s: %s", qPrintable(sql), qPrintable(db.error()));
    return result;
}

// Every pupil as "key: values", values as SQL literals (a real turned into text would show), by key.
QStringList pupils(const QString &path, const QString &key)
{
    const QStringList values =
        texts(path, "SELECT 'quote(\"' || name || '\")' FROM pragma_table_info('ELEVE') WHERE name <> 'NOELEVE'");
    return texts(path, QStringLiteral("SELECT %1 || ': ' || %2 FROM ELEVE ORDER BY %1")
                           .arg(key, values.join(QLatin1String(" || '|' || "))));
}

// Objects with their columns (tables, views) or text (indexes): what a new file of the program holds.
QStringList schemaOf(const QString &path)
{
    return texts(path, "SELECT type || ' ' || name || ': ' || CASE type WHEN 'index' THEN ifnull(sql, '') ELSE "
                       "(SELECT group_concat(c.name || ' ' || c.type || ' ' || c.pk, ', ') FROM "
                       "pragma_table_info(m.name) c) END FROM sqlite_master m ORDER BY name");
}

} // namespace

class TestMigration : public QObject
{
    Q_OBJECT

private slots:
    void opening_data()
    {
        QTest::addColumn<QString>("extra"); // run on the version-1 file
        QTest::addColumn<bool>("startup");
        QTest::addColumn<QString>("refusal"); // empty when the file is to be migrated
        QTest::newRow("by the connection") << "" << false << "";
        QTest::newRow("by the start-up sequence") << "" << true << "";
        QTest::newRow("ELEVE already has NOELEVE") << "ALTER TABLE ELEVE ADD NOELEVE INTEGER" << false << "NOELEVE";
        // Fails once the views are dropped: the transaction must bring them back.
        QTest::newRow("failure midway") << "CREATE TABLE ELEVE_V2 (X)" << false << "ELEVE_V2";
        QTest::newRow("newer file") << "PRAGMA user_version = 3" << false << "newer";
    }

    void opening()
    {
        QFETCH(QString, extra);
        QFETCH(bool, startup);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        const QString path = dir.filePath(DataFiles::Database);
        makeVersionOne(path, extra);
        const QByteArray original = fileBytes(path);
        const QStringList before = pupils(path, "rowid");
        Connection connection;
        connection.setDataFolder(dir.path());
        QString error;
        ScriptedDialogs dialogs;
        const bool opened = startup ? StartDatabase(connection, dialogs, QDateTime(QDate(2024, 3, 15), QTime(10, 30)))
                                    : connection.OpenDatabase(&error);
        if (!refusal.isEmpty()) {
            QVERIFY2(!opened && error.contains("mise à jour") && error.contains(refusal), qPrintable(error));
            QCOMPARE(TestSupport::fileNames(dir.path()), QStringList{DataFiles::Database});
            QCOMPARE(fileBytes(path), original);
            return;
        }
        QVERIFY2(opened, qPrintable(error));
        QCOMPARE(dialogs.titles(), QStringList());
        QCOMPARE(Migration::FileVersion(connection.database()), Schema::Version);
        if (startup) // the copy kept by the start is the file before the change
            QCOMPARE(fileBytes(dir.filePath(DataFiles::PreviousDatabase)), original);
        const QString live = DataFiles::LiveDatabase(dir.path());
        QCOMPARE(pupils(live, "NOELEVE"), before);
        // Same tables, columns, keys, indexes and views as a new file: the export view carries no key.
        QVERIFY(Schema::CreateDatabase(dir.filePath("new.db"), &error));
        QCOMPARE(schemaOf(live), schemaOf(dir.filePath("new.db")));
    }

    // The step on its own, in the caller's transaction: the version stamp is left to its caller.
    void addPupilKeyAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(DataFiles::Database);
        makeVersionOne(path);
        const QStringList before = pupils(path, "rowid");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("step"));
            db.setDatabaseName(path);
            QString error;
            QVERIFY2(db.open() && db.transaction() && Migration::AddPupilKey(db, &error) && db.commit(),
                     qPrintable(error));
            QCOMPARE(Migration::FileVersion(db), 1);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("step"));
        QCOMPARE(pupils(path, "NOELEVE"), before);
        QCOMPARE(texts(path, "SELECT pk FROM pragma_table_info('ELEVE') WHERE name = 'NOELEVE'"), QStringList{"1"});
    }
};

QTEST_GUILESS_MAIN(TestMigration)
#include "tst_migration.moc"
