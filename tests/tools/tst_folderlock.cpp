// The tools and the folder lock: velorin-gendata never touches a folder the program has open, --force or not;
// velorin-report refuses a held folder, and one whose lock looks left behind with the program's question, unless
// told to ignore the lock.
#include "Generator.h"
#include "TestSupport.h"

#include "data/DataFiles.h"
#include "data/InstanceLock.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

// Runs `tool`; its exit status (-1 when it crashed) and what it wrote on stderr.
int run(const char *tool, const QStringList &args, QString *errors)
{
    QProcess process;
    process.start(QString::fromLocal8Bit(tool), args);
    if (!process.waitForFinished(120000))
        return -1;
    *errors = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QStringList pdfFiles(const QString &folder)
{
    return QDir(folder).entryList({"*.pdf"}, QDir::Files);
}

} // namespace

class TestFolderLock : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temp;
    const QString m_data = m_temp.filePath("données"), m_lock = m_data + "/" + DataFiles::LockFile;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(GenData::GenerateDataFolder(m_data, {.schools = 1, .classesPerSchool = 2, .pupilsPerClass = 3}, false,
                                             nullptr, &error),
                 qPrintable(error));
    }

    void generatorKeepsOffAHeldFolder()
    {
        const QStringList small = QString("--classes 2 --pupils 3 --seed 9").split(' ');
        const QString database = DataFiles::LiveDatabase(m_data);
        const QByteArray before = fileBytes(database);
        InstanceLock running; // this test is the program working on the folder
        QVERIFY(running.acquire(m_data));
        const QStringList files = fileNames(m_data);
        QString errors;
        for (const QStringList &force : {QStringList(), QStringList{"--force"}}) {
            QCOMPARE(run(VELORIN_GENDATA_TOOL, QStringList{m_data} + small + force, &errors), 1);
            QVERIFY2(errors.contains("est ouvert par Rozodivo Velorin"), qPrintable(errors));
            QCOMPARE(fileBytes(database), before);
            QCOMPARE(fileNames(m_data), files);
        }
        running.release();
        QCOMPARE(run(VELORIN_GENDATA_TOOL, QStringList{m_data, "--force"} + small, &errors), 0);
        QVERIFY(fileBytes(DataFiles::LiveDatabase(m_data)) != before);
        QCOMPARE(fileNames(m_data), (QStringList{"Export.vid", "donnees.mdb"}));
    }

    void reportToolAndALockLeftBehind()
    {
        const QString out = m_temp.filePath("pdf");
        const QByteArray leftBehind = "4242\nvelorin\nposte-ecole-2";
        plantLock(m_data, leftBehind, QDateTime::currentDateTime().addDays(-30));
        QString errors;
        QCOMPARE(run(VELORIN_REPORT_TOOL, {m_data, out}, &errors), 1);
        QVERIFY2(errors.contains("Le dossier semble ouvert sur « poste-ecole-2 » depuis le ") &&
                     errors.contains(". Si ce n'est plus le cas, continuer ?") && errors.contains("--ignorer-verrou"),
                 qPrintable(errors));
        QVERIFY(pdfFiles(out).isEmpty());
        QCOMPARE(fileBytes(m_lock), leftBehind);

        QCOMPARE(run(VELORIN_REPORT_TOOL, {m_data, out, "--ignorer-verrou"}, &errors), 0);
        QCOMPARE(pdfFiles(out).size(), 2);
        QVERIFY(!QFile::exists(m_lock)); // taken, then released

        // A lock from another machine an hour old is refused without the question.
        plantLock(m_data, leftBehind, QDateTime::currentDateTime().addSecs(-3600));
        QCOMPARE(run(VELORIN_REPORT_TOOL, {m_data, out}, &errors), 1);
        QVERIFY2(errors.contains("fermez-le d'abord") && !errors.contains("semble"), qPrintable(errors));
        QVERIFY(QFile::remove(m_lock));

        // A copy of the program at work: refused, unless the user says to ignore its lock.
        QProcess running;
        running.start(QStringLiteral(DATAFOLDER_CHILD), {"lock", m_data});
        QVERIFY(running.waitForReadyRead(10000) && running.readLine() == "ready\n");
        QVERIFY(run(VELORIN_REPORT_TOOL, {m_data, out}, &errors) == 1 && errors.contains("fermez-le d'abord"));
        QCOMPARE(run(VELORIN_REPORT_TOOL, {m_data, out, "--ignorer-verrou"}, &errors), 0);
        QVERIFY(!QFile::exists(m_lock));
        running.kill();
        QVERIFY(running.waitForFinished());
    }
};

QTEST_GUILESS_MAIN(TestFolderLock)
#include "tst_folderlock.moc"
