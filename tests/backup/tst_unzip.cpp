// The zip reader: listing, selective extraction, overwrite rules, and hostile
// archives that try to write outside the extraction folder.
#include "TestSupport.h"

#include "backup/ZipReader.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <zip.h>

namespace {

struct Member
{
    QByteArray name;
    QByteArray data;
    bool link = false;
    const char *password = nullptr;
};

// An archive written by libzip itself: it takes names the zip tool would clean.
bool writeArchive(const QString &path, const QList<Member> &members)
{
    int error = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    for (const Member &m : members) {
        zip_source_t *src = zip_source_buffer(z, m.data.constData(), zip_uint64_t(m.data.size()), 0);
        const zip_int64_t index = zip_file_add(z, m.name.constData(), src, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(src);
            zip_discard(z);
            return false;
        }
        if (m.password && zip_file_set_encryption(z, zip_uint64_t(index), ZIP_EM_AES_256, m.password) != 0) {
            zip_discard(z);
            return false;
        }
        if (m.link)
            zip_file_set_external_attributes(z, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777) << 16);
    }
    return zip_close(z) == 0;
}

QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace

class TestUnzip : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_zip; // made by the zip tool

private slots:
    void initTestCase()
    {
        const QString tool = QStandardPaths::findExecutable("zip");
        if (tool.isEmpty())
            QSKIP("the zip tool is not installed (scripts/install-deps.sh installs it)");
        const QString src = m_dir.filePath("src");
        QVERIFY(QDir().mkpath(src + "/sous dossier/profond"));
        TestSupport::writeFile(src + "/notes.txt", QByteArray("ligne\n").repeated(200));
        TestSupport::writeFile(src + "/sous dossier/b.txt", "un\rdeux\nfin\r");
        TestSupport::writeFile(src + "/sous dossier/profond/c.bin", QByteArray(3000, '\x01'));
        m_zip = m_dir.filePath("archive.zip");
        QProcess zip;
        zip.setWorkingDirectory(src);
        zip.start(tool, {"-q", "-r", m_zip, "notes.txt", "sous dossier"});
        QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);
    }

    void listing()
    {
        ZipReader u;
        u.setZipFile(m_zip);
        QCOMPARE(u.Directory(), 0);
        QCOMPARE(u.FileCount(), 3); // folder entries are not listed
        QCOMPARE(u.Filename(1), QStringLiteral("notes.txt"));
        QCOMPARE(u.FileDirectory(1), QString());
        QCOMPARE(u.FileSize(1), 1200);
        QVERIFY(u.FilePackedSize(1) < 100);
        QVERIFY(u.FileCompressionRatio(1) > 90);
        QCOMPARE(u.FileCompressionMethod(1), QStringLiteral("Deflated"));
        QVERIFY(qAbs(u.FileDate(1).secsTo(QDateTime::currentDateTime())) < 3600);
        QVERIFY(u.FileCRC(1) != 0);
        QVERIFY(!u.FileEncrypted(1) && u.FileSelected(1));
        QCOMPARE(u.Filename(3), QStringLiteral("c.bin"));
        QCOMPARE(u.FileDirectory(3), QStringLiteral("sous dossier/profond"));
        QCOMPARE(u.Filename(4), QString()); // out of range: an empty entry
        u.setZipFile(m_zip);
        QCOMPARE(u.FileCount(), 0);

        int major = 0, minor = 0, revision = 0;
        QDate date;
        QString extra;
        u.GetVersion(major, minor, revision, date, extra);
        QVERIFY(major >= 1 && extra.startsWith("libzip"));
    }

    void extraction_data()
    {
        QTest::addColumn<bool>("folderNames");
        QTest::addColumn<bool>("spaces");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("folder names") << true << false
                                      << QStringList{"sous dossier/b.txt", "sous dossier/profond/c.bin"};
        QTest::newRow("flat, underscores") << false << true << QStringList{"b.txt", "c.bin"};
    }

    // The first entry deselected: only the others are written.
    void extraction()
    {
        QFETCH(bool, folderNames);
        QFETCH(bool, spaces);
        QFETCH(QStringList, files);
        QTemporaryDir out;
        ZipReader u;
        u.setZipFile(m_zip);
        u.setUnzipFolder(out.path());
        u.setUseFolderNames(folderNames);
        u.setSpaceToUnderScore(spaces);
        QCOMPARE(u.Directory(), 0);
        u.setFileSelected(1, false);
        QStringList progress;
        connect(&u, &ZipReader::Progress, this, [&](int count, const QString &text) {
            QCOMPARE(count, 1);
            progress.append(text);
        });
        QVERIFY(u.Unzip());
        QCOMPARE(filesUnder(out.path()), files);
        QVERIFY(!progress.join("").contains('/'));
        QVERIFY(progress.join("").contains(folderNames ? "sous dossier\\profond\\c.bin" : "c.bin"));
        QCOMPARE(TestSupport::fileBytes(out.filePath(files.first())), QByteArray("un\rdeux\nfin\r"));
    }

    // Existing files stay unless OverwriteExisting or the prompt's answer says so.
    void overwriteRules()
    {
        QTemporaryDir out;
        ZipReader u;
        u.setZipFile(m_zip);
        u.setUnzipFolder(out.path());
        const QString notes = out.filePath("notes.txt");
        TestSupport::writeFile(notes, "mien");
        QVERIFY(u.Unzip());
        QCOMPARE(TestSupport::fileBytes(notes), QByteArray("mien"));

        u.setPromptToOverwrite(true);
        QStringList asked;
        int answer = ZipReader::DoNotOverwrite;
        connect(&u, &ZipReader::OverwritePrompt, this, [&](const QString &file, int &response) {
            asked.append(file);
            response = answer;
        });
        QVERIFY(u.Unzip());
        QCOMPARE(asked.size(), 3);
        QVERIFY(asked.first().endsWith("\\notes.txt") && !asked.first().contains('/'));
        QCOMPARE(TestSupport::fileBytes(notes), QByteArray("mien"));
        answer = ZipReader::OverwriteThisFile;
        QVERIFY(u.Unzip());
        QCOMPARE(TestSupport::fileBytes(notes).size(), 1200);

        TestSupport::writeFile(notes, "mien");
        u.setPromptToOverwrite(false);
        u.setOverwriteExisting(true);
        u.setConvertCRToCRLF(true);
        asked.clear();
        QVERIFY(u.Unzip());
        QVERIFY(asked.isEmpty());
        QCOMPARE(TestSupport::fileBytes(notes), QByteArray("ligne\r\n").repeated(200));
        QCOMPARE(TestSupport::fileBytes(out.filePath("b.txt")), QByteArray("un\r\ndeux\r\nfin\r\n"));
    }

    // Hostile names are refused and reported; the safe entry is still written;
    // nothing appears outside the folder.
    void hostileArchive()
    {
        QTemporaryDir base;
        const QString out = base.filePath("out");
        QVERIFY(QDir().mkpath(out));
        const QByteArray absolute = QFile::encodeName(base.filePath("absolu.txt"));
        const QString zip = base.filePath("hostile.zip");
        QVERIFY(writeArchive(zip, {{"../evil.txt", "x"},
                                   {absolute, "x"},
                                   {"C:\\windows\\evil.txt", "x"},
                                   {"a/../../up.txt", "x"},
                                   {"..\\back.txt", "x"},
                                   {"lien", base.path().toUtf8(), true},
                                   {"lien/pwn.txt", "x"},
                                   {"ok.txt", "bien"}}));
        for (bool folderNames : {true, false}) {
            ZipReader u;
            u.setZipFile(zip);
            u.setUnzipFolder(out);
            u.setUseFolderNames(folderNames);
            u.setOverwriteExisting(true);
            QVERIFY(!u.Unzip());
            QCOMPARE(u.ErrorNumber(), int(ZipReader::ErrorRefused));
            QVERIFY(u.ErrorSource().endsWith(".VBUnzip"));
            QCOMPARE(u.RefusedEntries().size(), 6);
            QCOMPARE(TestSupport::fileBytes(out + "/ok.txt"), QByteArray("bien"));
            // The link was not made, so "lien/pwn.txt" is a plain file inside.
            QCOMPARE(filesUnder(base.path()),
                     (QStringList{"hostile.zip", folderNames ? "out/lien/pwn.txt" : "out/ok.txt",
                                  folderNames ? "out/ok.txt" : "out/pwn.txt"}));
            QDir(out).removeRecursively();
            QDir().mkpath(out);
        }
    }

    void limitsAndErrors()
    {
        ZipReader u;
        QVERIFY(!u.Unzip()); // no archive named
        u.setZipFile(m_dir.filePath("absent.zip"));
        QVERIFY(u.Directory() != 0);
        QCOMPARE(u.ErrorSource(), QStringLiteral("ZipReader.VBUnzip"));

        QTemporaryDir out;
        QList<Member> many;
        for (int i = 0; i < ZipReader::MaxNames + 2; ++i)
            many.append({"f" + QByteArray::number(i), "x"});
        const QString zip = out.filePath("many.zip");
        QVERIFY(writeArchive(zip, many));
        u.setZipFile(zip);
        u.setUnzipFolder(out.path());
        QCOMPARE(u.Directory(), 0);
        u.setFileSelected(1, false);
        QVERIFY(!u.Unzip()); // 1025 names cannot be passed
        QCOMPARE(u.ErrorNumber(), int(ZipReader::ErrorTooManyNames));
        u.setFileSelected(2, false);
        QVERIFY(u.Unzip()); // 1024 can
        QCOMPARE(filesUnder(out.path()).size(), ZipReader::MaxNames + 1);

        // Cancel stops the run.
        bool cancelled = false;
        connect(&u, &ZipReader::Cancel, this, [&](const QString &, bool &cancel) { cancel = cancelled = true; });
        QVERIFY(u.Directory() != 0);
        QVERIFY(cancelled);
        QCOMPARE(u.ErrorNumber(), int(ZipReader::ErrorCancelled));
    }

    // The password is asked once; a cancelled request extracts nothing.
    void encryptedEntries()
    {
        QTemporaryDir out;
        const QString zip = out.filePath("secret.zip");
        if (!writeArchive(zip,
                          {{"a.txt", "secret a", false, "motdepasse"}, {"b.txt", "secret b", false, "motdepasse"}}))
            QSKIP("this libzip cannot write encrypted entries");
        ZipReader u;
        u.setZipFile(zip);
        u.setUnzipFolder(out.path());
        QCOMPARE(u.Directory(), 0);
        QVERIFY(u.FileEncrypted(1));
        int asked = 0;
        bool refuse = true;
        connect(&u, &ZipReader::PasswordRequest, this, [&](QString &password, bool &cancel) {
            ++asked;
            password = "motdepasse";
            cancel = refuse;
        });
        QVERIFY(!u.Unzip());
        QCOMPARE(u.ErrorNumber(), int(ZipReader::ErrorPassword));
        QCOMPARE(filesUnder(out.path()), QStringList{"secret.zip"});
        refuse = false;
        QVERIFY(u.Unzip());
        QCOMPARE(asked, 2);
        QCOMPARE(TestSupport::fileBytes(out.filePath("b.txt")), QByteArray("secret b"));
    }

    // Bounded random input: mutated archives must list and extract without a
    // crash and without writing outside the folder.
    void fuzzListing()
    {
        QTemporaryDir base;
        const QString seedPath = base.filePath("seed.zip");
        QVERIFY(writeArchive(seedPath, {{"a.txt", QByteArray("abc").repeated(50)}, {"d/b.txt", "b"}, {"../c", "c"}}));
        const QByteArray seed = TestSupport::fileBytes(seedPath);
        const QString out = base.filePath("out");
        const QString fuzzed = base.filePath("f.zip");
        QRandomGenerator rng(7);
        constexpr int Inputs = 3000;
        int listed = 0;
        for (int i = 0; i < Inputs; ++i) {
            QByteArray bytes = i % 10 == 0 ? seed.left(int(rng.bounded(seed.size()))) : seed;
            for (int e = int(rng.bounded(1, 8)); e > 0 && !bytes.isEmpty(); --e)
                bytes[int(rng.bounded(bytes.size()))] = char(rng.bounded(256));
            TestSupport::writeFile(fuzzed, bytes);
            ZipReader u;
            u.setZipFile(fuzzed);
            u.setUnzipFolder(out);
            u.setUseFolderNames(true);
            u.setOverwriteExisting(true);
            QVERIFY(QDir().mkpath(out));
            if (u.Directory() == 0)
                listed += u.FileCount();
            if (i % 5 == 0) // extraction is slower (every file is synced to disk)
                u.Unzip();
            QDir(out).removeRecursively();
            const QStringList left = filesUnder(base.path());
            QVERIFY2(left == (QStringList{"f.zip", "seed.zip"}), qPrintable(left.join(',')));
        }
        qInfo("zip listing: %d random archives, %d entries listed, 0 crashes", Inputs, listed);
    }
};

QTEST_MAIN(TestUnzip)
#include "tst_unzip.moc"
