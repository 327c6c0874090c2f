// The zip reader: listing, selective extraction, overwrite rules, and hostile
// archives that try to write outside the extraction folder.
#include "TestSupport.h"

#include "backup/ZipReader.h"

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <zip.h>

using TestSupport::fileBytes;
using TestSupport::writeFile;

namespace {

struct Member
{
    QByteArray name, data; // a name ending in "/" is a folder entry
    bool link = false;
    const char *password = nullptr;
};

// Written by libzip itself, which takes names a zip tool would clean.
bool writeArchive(const QString &path, const QList<Member> &members)
{
    int error = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    for (const Member &m : members) {
        zip_source_t *src = zip_source_buffer(z, m.data.constData(), zip_uint64_t(m.data.size()), 0);
        const zip_int64_t index = m.name.endsWith('/') ? zip_dir_add(z, m.name.constData(), ZIP_FL_ENC_UTF_8)
                                                       : zip_file_add(z, m.name.constData(), src, ZIP_FL_ENC_UTF_8);
        if (index < 0 || m.name.endsWith('/'))
            zip_source_free(src);
        if (index < 0 || (m.password && zip_file_set_encryption(z, zip_uint64_t(index), ZIP_EM_AES_256, m.password))) {
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

// Lists `zip` for extraction into `folder`.
bool open(ZipReader &u, const QString &zip, const QString &folder, bool folderNames = false, bool overwrite = false)
{
    u.setZipFile(zip);
    u.setUnzipFolder(folder);
    u.setUseFolderNames(folderNames);
    u.setOverwriteExisting(overwrite);
    return u.Directory() == 0;
}

} // namespace

class TestUnzip : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_zip = m_dir.filePath("archive.zip");

private slots:
    void initTestCase()
    {
        QVERIFY(writeArchive(m_zip, {{"notes.txt", QByteArray("ligne\n").repeated(200)},
                                     {"sous dossier/", ""},
                                     {"sous dossier/b.txt", "un\rdeux\nfin\r"},
                                     {"sous dossier/profond/c.bin", QByteArray(3000, '\x01')}}));
    }

    void listing()
    {
        ZipReader u;
        QVERIFY(open(u, m_zip, QString()));
        QCOMPARE(u.FileCount(), 3); // folder entries are not listed
        // Entry 4 is out of range: an empty entry.
        QCOMPARE((QStringList{u.Filename(1), u.FileDirectory(1), u.FileCompressionMethod(1), u.Filename(3),
                              u.FileDirectory(3), u.Filename(4)}),
                 (QStringList{"notes.txt", "", "Deflated", "c.bin", "sous dossier/profond", ""}));
        QCOMPARE(u.FileSize(1), 1200);
        QVERIFY(u.FilePackedSize(1) < 100 && u.FileCompressionRatio(1) > 90 && u.FileCRC(1) != 0);
        QVERIFY(qAbs(u.FileDate(1).secsTo(QDateTime::currentDateTime())) < 3600);
        QVERIFY(!u.FileEncrypted(1) && u.FileSelected(1));
        u.setZipFile(m_zip);
        QCOMPARE(u.FileCount(), 0);
    }

    void extraction_data()
    {
        QTest::addColumn<bool>("folderNames");
        QTest::addColumn<bool>("underscores");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("folder names") << true << false
                                      << QStringList{"sous dossier/b.txt", "sous dossier/profond/c.bin"};
        QTest::newRow("underscores") << true << true << QStringList{"sous_dossier/b.txt", "sous_dossier/profond/c.bin"};
        QTest::newRow("flat") << false << false << QStringList{"b.txt", "c.bin"};
    }

    // The first entry deselected: only the others are written, named as asked.
    void extraction()
    {
        QFETCH(bool, folderNames);
        QFETCH(bool, underscores);
        QFETCH(QStringList, files);
        QTemporaryDir out;
        ZipReader u;
        u.setSpaceToUnderScore(underscores);
        QVERIFY(open(u, m_zip, out.path(), folderNames));
        u.setFileSelected(1, false);
        QString progress; // each entry's own message, its path written with "\"
        connect(&u, &ZipReader::Progress, this,
                [&](int count, const QString &text) { progress += count == 1 ? text : QStringLiteral("<count>"); });
        QVERIFY(u.Unzip());
        QCOMPARE(filesUnder(out.path()), files);
        QVERIFY2(!progress.contains('/') && !progress.contains("<count>") &&
                     progress.contains(QString(files.last()).replace('/', '\\')),
                 qPrintable(progress));
        QCOMPARE(fileBytes(out.filePath(files.first())), QByteArray("un\rdeux\nfin\r"));
    }

    // Existing files stay unless OverwriteExisting or the prompt's answer says so.
    void overwriteRules()
    {
        QTemporaryDir out;
        ZipReader u;
        QVERIFY(open(u, m_zip, out.path()));
        const QString notes = out.filePath("notes.txt");
        writeFile(notes, "mien");
        QVERIFY(u.Unzip());
        QCOMPARE(fileBytes(notes), QByteArray("mien"));

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
        QCOMPARE(fileBytes(notes), QByteArray("mien"));
        answer = ZipReader::OverwriteThisFile;
        QVERIFY(u.Unzip());
        QCOMPARE(fileBytes(notes).size(), 1200);

        writeFile(notes, "mien");
        u.setPromptToOverwrite(false);
        u.setOverwriteExisting(true);
        u.setConvertCRToCRLF(true);
        asked.clear();
        QVERIFY(u.Unzip());
        QVERIFY(asked.isEmpty());
        QCOMPARE(fileBytes(notes), QByteArray("ligne\r\n").repeated(200));
        QCOMPARE(fileBytes(out.filePath("b.txt")), QByteArray("un\r\ndeux\r\nfin\r\n"));
    }

    // Hostile names are refused and reported; the safe entry is still written;
    // nothing appears outside the folder.
    void hostileArchive()
    {
        QTemporaryDir base;
        const QString out = base.filePath("out"), zip = base.filePath("hostile.zip");
        QVERIFY(writeArchive(zip, {{"../evil.txt", "x"},
                                   {QFile::encodeName(base.filePath("absolu.txt")), "x"},
                                   {"C:\\windows\\evil.txt", "x"},
                                   {"a/../../up.txt", "x"},
                                   {"..\\back.txt", "x"},
                                   {"lien", base.path().toUtf8(), true},
                                   {"lien/pwn.txt", "x"},
                                   {"ok.txt", "bien"}}));
        for (bool folderNames : {true, false}) {
            ZipReader u;
            QVERIFY(QDir().mkpath(out) && open(u, zip, out, folderNames, true));
            QVERIFY(!u.Unzip());
            QCOMPARE(u.ErrorNumber(), int(ZipReader::ErrorRefused));
            QCOMPARE(u.ErrorSource(), QStringLiteral("ZipReader.VBUnzip"));
            QCOMPARE(u.RefusedEntries().size(), 6);
            QCOMPARE(fileBytes(out + "/ok.txt"), QByteArray("bien"));
            // The link was not made, so "lien/pwn.txt" is a plain file inside.
            QCOMPARE(filesUnder(base.path()),
                     (QStringList{"hostile.zip", folderNames ? "out/lien/pwn.txt" : "out/ok.txt",
                                  folderNames ? "out/ok.txt" : "out/pwn.txt"}));
            QDir(out).removeRecursively();
        }
    }

    void limitsAndErrors()
    {
        ZipReader u;
        QVERIFY(!u.Unzip()); // no archive named
        QVERIFY(!open(u, m_dir.filePath("absent.zip"), QString()));
        QCOMPARE(u.ErrorSource(), QStringLiteral("ZipReader.VBUnzip"));

        QTemporaryDir out;
        QList<Member> many;
        for (int i = 0; i < ZipReader::MaxNames + 2; ++i)
            many.append({"f" + QByteArray::number(i), "x"});
        QVERIFY(writeArchive(out.filePath("many.zip"), many) && open(u, out.filePath("many.zip"), out.path()));
        u.setFileSelected(1, false);
        QVERIFY(!u.Unzip()); // 1025 names cannot be passed
        QCOMPARE(u.ErrorNumber(), int(ZipReader::ErrorTooManyNames));
        u.setFileSelected(2, false);
        QVERIFY(u.Unzip()); // 1024 can
        QCOMPARE(filesUnder(out.path()).size(), ZipReader::MaxNames + 1);

        // Cancel stops the run.
        bool cancelled = false;
        connect(&u, &ZipReader::Cancel, this, [&](const QString &, bool &cancel) { cancel = cancelled = true; });
        QVERIFY(u.Directory() != 0 && cancelled);
        QCOMPARE(u.ErrorNumber(), int(ZipReader::ErrorCancelled));
    }

    // The password is asked once per run; a cancelled request extracts nothing.
    void encryptedEntries()
    {
        QTemporaryDir out;
        const QString zip = out.filePath("secret.zip");
        if (!writeArchive(zip,
                          {{"a.txt", "secret a", false, "motdepasse"}, {"b.txt", "secret b", false, "motdepasse"}}))
            QSKIP("this libzip cannot write encrypted entries");
        ZipReader u;
        QVERIFY(open(u, zip, out.path()) && u.FileEncrypted(1));
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
        QCOMPARE(fileBytes(out.filePath("b.txt")), QByteArray("secret b"));
    }

    // Bounded random input: mutated archives must list and extract without a
    // crash and without writing outside the folder.
    void fuzzListing()
    {
        QTemporaryDir base;
        const QString out = base.filePath("out"), fuzzed = base.filePath("f.zip");
        QVERIFY(writeArchive(fuzzed, {{"a.txt", QByteArray("abc").repeated(50)}, {"d/b.txt", "b"}, {"../c", "c"}}));
        const QByteArray seed = fileBytes(fuzzed);
        QRandomGenerator rng(7);
        constexpr int Inputs = 3000;
        int listed = 0;
        for (int i = 0; i < Inputs; ++i) {
            QByteArray bytes = i % 10 == 0 ? seed.left(int(rng.bounded(seed.size()))) : seed;
            for (int e = int(rng.bounded(1, 8)); e > 0 && !bytes.isEmpty(); --e)
                bytes[int(rng.bounded(bytes.size()))] = char(rng.bounded(256));
            writeFile(fuzzed, bytes);
            ZipReader u;
            QVERIFY(QDir().mkpath(out));
            if (open(u, fuzzed, out, true, true))
                listed += u.FileCount();
            if (i % 5 == 0) // extraction is slower (every file is synced to disk)
                u.Unzip();
            QDir(out).removeRecursively();
            QVERIFY2(filesUnder(base.path()) == QStringList{"f.zip"}, qPrintable(filesUnder(base.path()).join(',')));
        }
        qInfo("zip listing: %d random archives, %d entries listed, 0 crashes", Inputs, listed);
    }
};

QTEST_MAIN(TestUnzip)
#include "tst_unzip.moc"
