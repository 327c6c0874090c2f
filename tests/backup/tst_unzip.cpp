// The zip reader: listing, selective extraction, overwrite rules, hostile
// archives that try to write outside the extraction folder, and archives
// beyond the limits (zip bombs, headers that lie about sizes).
#include "TestSupport.h"

#include "backup/ZipReader.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zip.h>

using namespace TestSupport;

Q_DECLARE_METATYPE(ZipReader::ExtractionLimits)

struct Member
{
    QByteArray name, data; // a name ending in "/" is a folder entry
    bool link = false;
    const char *password = nullptr;
};

// Written by libzip itself, which takes names a zip tool would clean.
static bool writeArchive(const QString &path, const QList<Member> &members)
{
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
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
        if (m.link) // a symbolic link, 0777
            zip_file_set_external_attributes(z, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, 0120777u << 16);
    }
    return zip_close(z) == 0;
}

// What is under `folder` (files unless told otherwise), links not followed.
static QStringList filesUnder(const QString &folder, QDir::Filters filters = QDir::Files)
{
    QStringList files;
    for (QDirIterator it(folder, filters | QDir::System | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// Makes the headers of the entry of `real` bytes say `claimed` bytes, in the
// local header and in the central directory alike.
static int claimSize(QByteArray &zip, quint32 real, quint32 claimed)
{
    int patched = 0;
    for (const auto &[signature, offset] : {std::pair{QByteArray("PK\x03\x04"), 22}, {QByteArray("PK\x01\x02"), 24}})
        for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 1))
            if (at + offset + 4 <= zip.size() && qFromLittleEndian<quint32>(zip.constData() + at + offset) == real) {
                qToLittleEndian(claimed, zip.data() + at + offset);
                ++patched;
            }
    return patched;
}

// Lists `zip` for extraction into `dir`.
static bool open(ZipReader &u, const QString &zip, const QString &dir, bool folderNames = false, bool overwrite = false)
{
    u.setZipFile(zip);
    u.setUnzipFolder(dir);
    u.setUseFolderNames(folderNames);
    u.setOverwriteExisting(overwrite);
    return u.Directory() == 0;
}

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

    void extraction_data()
    {
        QTest::addColumn<bool>("folderNames");
        QTest::addColumn<bool>("underscores");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("folders") << true << false << QStringList{"sous dossier/b.txt", "sous dossier/profond/c.bin"};
        QTest::newRow("underscores") << true << true << QStringList{"sous_dossier/b.txt", "sous_dossier/profond/c.bin"};
        QTest::newRow("flat") << false << false << QStringList{"b.txt", "c.bin"};
    }

    // Folder entries are not listed, an index out of range gives an empty
    // entry. With the first entry deselected, only the others are written,
    // named as asked; the progress messages write paths with "\". Then, all
    // selected, existing files stay unless the prompt's answer or
    // OverwriteExisting says so.
    void extraction()
    {
        QFETCH(bool, folderNames);
        QFETCH(bool, underscores);
        QFETCH(QStringList, files);
        QTemporaryDir out;
        ZipReader u;
        QVERIFY(!u.Unzip() && !open(u, m_dir.filePath("absent.zip"), out.path())); // no archive
        QVERIFY(open(u, m_zip, out.path(), folderNames));
        QCOMPARE((QStringList{u.Filename(1), u.FileDirectory(1), u.FileCompressionMethod(1), u.Filename(3),
                              u.FileDirectory(3), u.Filename(4)}),
                 (QStringList{"notes.txt", "", "Deflated", "c.bin", "sous dossier/profond", ""}));
        QVERIFY(u.FileCount() == 3 && u.FileSize(1) == 1200 && u.FilePackedSize(1) < 100 && u.FileCRC(1) != 0);
        u.setFileSelected(1, false);
        u.setSpaceToUnderScore(underscores);
        QString progress;
        connect(&u, &ZipReader::Progress, this, [&](int, const QString &text) { progress += text; });
        QVERIFY(u.Unzip());
        QCOMPARE(filesUnder(out.path()), files);
        const QString notes = out.filePath("notes.txt"), b = out.filePath(files.first());
        QVERIFY2(!progress.contains('/') && progress.contains(files.last().replace('/', '\\')), qPrintable(progress));
        QCOMPARE(fileBytes(b), QByteArray("un\rdeux\nfin\r"));

        u.setFileSelected(1, true);
        writeFile(notes, "mien");
        writeFile(b, "mien");
        QVERIFY(u.Unzip());
        QVERIFY(fileBytes(notes) == "mien" && fileBytes(b) == "mien");
        u.setPromptToOverwrite(true);
        const QList<int> answers{ZipReader::DoNotOverwrite, ZipReader::OverwriteThisFile}; // notes.txt, b.txt
        int asked = 0;
        connect(&u, &ZipReader::OverwritePrompt, this, [&](const QString &, int &a) { a = answers.value(asked++); });
        QVERIFY(u.Unzip());
        QCOMPARE(asked, 3); // every existing file
        QVERIFY(fileBytes(notes) == "mien" && fileBytes(b) == "un\rdeux\nfin\r");
        u.setPromptToOverwrite(false);
        u.setOverwriteExisting(true);
        u.setConvertCRToCRLF(true);
        QVERIFY(u.Unzip());
        QCOMPARE(fileBytes(notes).size(), 1400);
        QCOMPARE(fileBytes(b), QByteArray("un\r\ndeux\r\nfin\r\n"));
        u.setZipFile(m_zip); // empties the list
        QCOMPARE(u.FileCount(), 0);
    }

    void hostileArchive_data()
    {
        QTest::addColumn<QByteArrayList>("names"); // "@name": a link; "{base}": the folder holding "out"
        QTest::addColumn<bool>("folderNames");
        QTest::addColumn<int>("refused");
        const QByteArrayList every{"dossier/ok.txt",        "{base}/absolu.txt", "@lien",        "../evil.txt",
                                   "C:\\windows\\evil.txt", "a/../../up.txt",    "..\\back.txt", "lien/pwn.txt"};
        QTest::newRow("every kind, folders") << every << true << 6;
        QTest::newRow("every kind, flat") << every << false << 6;
        QTest::newRow("later name escapes")
            << QByteArrayList{"dossier/ok.txt", "autre/b.txt", "../evil.txt"} << true << 1;
        QTest::newRow("later link") << QByteArrayList{"dossier/ok.txt", "@lien"} << true << 1;
        // "out/sortie" is a link to "dehors", beside "out".
        QTest::newRow("through a link on disk") << QByteArrayList{"dossier/ok.txt", "sortie/sous/x.txt"} << true << 1;
    }

    // One hostile entry refuses the whole archive, before any folder or file
    // is made, inside the folder or out of it.
    void hostileArchive()
    {
        QFETCH(QByteArrayList, names);
        QFETCH(bool, folderNames);
        QFETCH(int, refused);
        QTemporaryDir base;
        const QString out = base.filePath("out"), zip = base.filePath("hostile.zip");
        QList<Member> members;
        for (QByteArray name : names) {
            const bool link = name.startsWith('@');
            name.replace("{base}", QFile::encodeName(base.path())).replace("@", "");
            members.append({name, link ? QFile::encodeName(base.path()) : QByteArray("x"), link});
        }
        QVERIFY(writeArchive(zip, members));
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(base.filePath("dehors")));
        QVERIFY(QFile::link(base.filePath("dehors"), out + "/sortie"));
        const QStringList before = filesUnder(base.path(), QDir::AllEntries | QDir::NoDotAndDotDot);
        ZipReader u;
        QVERIFY(open(u, zip, out, folderNames, true));
        QVERIFY(!u.Unzip() && u.ErrorNumber() == ZipReader::ErrorRefused);
        QCOMPARE(filesUnder(base.path(), QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(u.RefusedEntries().size(), refused);
        QVERIFY2(u.ErrorDescription().endsWith("Rien n'a été extrait."), qPrintable(u.ErrorDescription()));
    }

    void extractionLimits_data()
    {
        using Limits = ZipReader::ExtractionLimits;
        constexpr qint64 MB = 1000 * 1000, AnyRatio = 1 << 30;
        QTest::addColumn<QList<qint64>>("zeros"); // bytes of each entry, named "d/0", "d/1"...
        QTest::addColumn<Limits>("limits");
        QTest::addColumn<qint64>("claimed"); // the size the last entry's headers say, when they lie
        QTest::addColumn<int>("error");
        const Limits usual, tenMB{10 * MB, usual.entries, AnyRatio}, fourEntries{usual.totalBytes, 4, usual.ratio};
        const auto row = [](const char *tag, QList<qint64> zeros, Limits limits, int error, qint64 claimed = 0) {
            QTest::newRow(tag) << zeros << limits << claimed << error;
        };
        row("50 MB, 10 allowed", {50 * MB}, tenMB, ZipReader::ErrorTooLarge);
        row("two over the total", {6 * MB, 5 * MB}, tenMB, ZipReader::ErrorTooLarge);
        row("two at the total", {6 * MB, 4 * MB}, tenMB, 0);
        row("ratio", {2 << 20}, usual, ZipReader::ErrorCompressionRatio);
        row("small run of zeros", {100 * 1000}, usual, 0);
        row("5 entries, 4 allowed", {1, 1, 1, 1, 1}, fourEntries, ZipReader::ErrorTooManyEntries);
        row("4 entries, 4 allowed", {1, 1, 1, 1}, fourEntries, 0);
        row("header says 1000 bytes", {4, 50 * MB}, usual, ZipReader::ErrorTooLarge, 1000);
    }

    // Refused from the archive's directory, or stopped while writing when a
    // header lies: nothing is left in the folder. At each limit itself the
    // archive is extracted.
    void extractionLimits()
    {
        QFETCH(QList<qint64>, zeros);
        QFETCH(ZipReader::ExtractionLimits, limits);
        QFETCH(qint64, claimed);
        QFETCH(int, error);
        QTemporaryDir base;
        const QString out = base.filePath("out"), zip = base.filePath("bombe.zip");
        QList<Member> members;
        for (int i = 0; i < zeros.size(); ++i)
            members.append({"d/" + QByteArray::number(i), QByteArray(zeros.at(i), '\0')});
        QVERIFY(writeArchive(zip, members));
        members.clear();
        if (claimed) {
            QByteArray bytes = fileBytes(zip);
            QCOMPARE(claimSize(bytes, quint32(zeros.last()), quint32(claimed)), 2);
            writeFile(zip, bytes);
        }
        ZipReader u;
        u.setLimits(limits);
        QVERIFY(QDir().mkpath(out));
        QCOMPARE(open(u, zip, out, true), error != ZipReader::ErrorTooManyEntries);
        QCOMPARE(u.Unzip(), error == 0);
        QCOMPARE(u.ErrorNumber(), error);
        if (error) {
            QVERIFY2(u.ErrorDescription().startsWith("L'archive « bombe.zip »") &&
                         u.ErrorDescription().endsWith("Rien n'a été extrait."),
                     qPrintable(u.ErrorDescription()));
            QCOMPARE(filesUnder(out, QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        }
        for (int i = 0; !error && i < zeros.size(); ++i)
            QCOMPARE(QFileInfo(out + "/d/" + QString::number(i)).size(), zeros.at(i));
    }

    // At most MaxNames selected names per run; a cancel stops the run.
    void limits()
    {
        QTemporaryDir out;
        QList<Member> many;
        for (int i = 0; i < ZipReader::MaxNames + 2; ++i)
            many.append({"f" + QByteArray::number(i), "x"});
        ZipReader u;
        QVERIFY(writeArchive(out.filePath("many.zip"), many) && open(u, out.filePath("many.zip"), out.path()));
        u.setFileSelected(1, false);
        QVERIFY(!u.Unzip() && u.ErrorNumber() == ZipReader::ErrorTooManyNames);
        u.setFileSelected(2, false);
        QVERIFY(u.Unzip());
        QCOMPARE(filesUnder(out.path()).size(), ZipReader::MaxNames + 1);

        connect(&u, &ZipReader::Cancel, this, [](const QString &, bool &cancel) { cancel = true; });
        QVERIFY(u.Directory() != 0 && u.ErrorNumber() == ZipReader::ErrorCancelled);
    }

    // The password is asked once per run; a cancelled request extracts nothing.
    void encryptedEntries()
    {
        QTemporaryDir out;
        const QString zip = out.filePath("secret.zip");
        if (!writeArchive(zip, {{"a.txt", "a", false, "motdepasse"}, {"b.txt", "secret b", false, "motdepasse"}}))
            QSKIP("this libzip cannot write encrypted entries");
        ZipReader u;
        QVERIFY(open(u, zip, out.path()) && u.FileEncrypted(1));
        int asked = 0;
        connect(&u, &ZipReader::PasswordRequest, this, [&](QString &password, bool &cancel) {
            password = "motdepasse";
            cancel = ++asked == 1;
        });
        QVERIFY(!u.Unzip() && u.ErrorNumber() == ZipReader::ErrorPassword);
        QCOMPARE(filesUnder(out.path()), QStringList{"secret.zip"});
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
        const int inputs = fuzzInputs(3000);
        for (int i = 0; i < inputs; ++i) {
            QByteArray bytes = i % 10 == 0 ? seed.left(int(rng.bounded(seed.size()))) : seed;
            for (int e = int(rng.bounded(1, 8)); e > 0 && !bytes.isEmpty(); --e)
                bytes[int(rng.bounded(bytes.size()))] = char(rng.bounded(256));
            writeFile(fuzzed, bytes);
            ZipReader u;
            QVERIFY(QDir().mkpath(out));
            open(u, fuzzed, out, true, true);
            if (i % 5 == 0) // extraction is slower (every file is synced to disk)
                u.Unzip();
            QDir(out).removeRecursively();
            QVERIFY2(filesUnder(base.path()) == QStringList{"f.zip"}, qPrintable(filesUnder(base.path()).join(',')));
        }
        qInfo("zip reader: %d random archives listed, %d extracted, 0 crashes", inputs, (inputs + 4) / 5);
    }
};

QTEST_MAIN(TestUnzip)
#include "tst_unzip.moc"
