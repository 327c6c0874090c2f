#pragma once

#include "common/Limits.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// Lists and extracts the entries of a zip archive (libzip underneath).
// The main window keeps one as "zipReader". The events are signals raised
// during Directory and Unzip; connect them directly: handlers answer through
// the reference arguments. In their texts every "/" is written "\".
// No entry is ever written outside UnzipFolder: names with "..", absolute
// names, drive letters, links and paths through a link on disk are refused and
// reported. Every entry is checked, and the sizes weighed against the limits,
// before any folder or file is made: a refused archive leaves nothing behind.
// The limits hold while writing too, on the bytes actually read, so that an
// entry larger than its header says stops there.
class ZipReader : public QObject
{
    Q_OBJECT
public:
    // Error numbers of our own; the library's errors keep libzip's numbers.
    enum ErrorCode {
        ErrorNoFolder = 1001,
        ErrorTooManyNames,
        ErrorRefused,
        ErrorCancelled,
        ErrorWrite,
        ErrorPassword,
        ErrorTooManyEntries,
        ErrorTooLarge,
        ErrorCompressionRatio
    };
    enum OverwriteResponse { DoNotOverwrite = 0, OverwriteThisFile = 1, OverwriteAllFiles = 2, OverwriteNone = 3 };
    Q_ENUM(OverwriteResponse)

    // The most names one call can include.
    static constexpr int MaxNames = 1024;
    // The error source of everything passed on from the library.
    static const QString SourceName;

    // What one archive may hold; the defaults are those of common/Limits.h.
    struct ExtractionLimits
    {
        qint64 totalBytes = Limits::UnzippedBytes; // uncompressed, of the entries one run extracts
        int entries = Limits::ZipEntries;          // in the archive, folders included
        qint64 ratio = Limits::ZipRatio;           // uncompressed over compressed size, per entry
        // Smaller entries are not judged on their ratio: a short run of one
        // byte compresses far better than 200:1 and is harmless.
        qint64 ratioFrom = qint64(1) << 20;
    };

    explicit ZipReader(QObject *parent = nullptr);
    ~ZipReader() override;

    // Options.
    bool ExtractOnlyNewer() const { return m_extractOnlyNewer; }
    void setExtractOnlyNewer(bool v) { m_extractOnlyNewer = v; }
    bool SpaceToUnderScore() const { return m_spaceToUnderScore; }
    void setSpaceToUnderScore(bool v) { m_spaceToUnderScore = v; }
    bool PromptToOverwrite() const { return m_promptToOverwrite; }
    void setPromptToOverwrite(bool v) { m_promptToOverwrite = v; }
    int MessageLevel() const { return m_messageLevel; }
    void setMessageLevel(int v) { m_messageLevel = v; }
    bool TestZip() const { return m_testZip; }
    void setTestZip(bool v) { m_testZip = v; }
    bool UseFolderNames() const { return m_useFolderNames; }
    void setUseFolderNames(bool v) { m_useFolderNames = v; }
    bool OverwriteExisting() const { return m_overwriteExisting; }
    void setOverwriteExisting(bool v) { m_overwriteExisting = v; }
    bool ConvertCRToCRLF() const { return m_convertCRToCRLF; }
    void setConvertCRToCRLF(bool v) { m_convertCRToCRLF = v; }
    bool CaseSensitiveFileNames() const { return m_caseSensitiveFileNames; }
    void setCaseSensitiveFileNames(bool v) { m_caseSensitiveFileNames = v; }
    QString ZipFile() const { return m_zipFile; }
    void setZipFile(const QString &file); // also empties the entry list
    QString UnzipFolder() const { return m_unzipFolder; }
    void setUnzipFolder(const QString &folder) { m_unzipFolder = folder; }
    ExtractionLimits limits() const { return m_limits; }
    void setLimits(const ExtractionLimits &limits) { m_limits = limits; }

    // The entry list filled by Directory, 1-based.
    int FileCount() const { return int(m_entries.size()); }
    QString Filename(int lIndex) const { return entry(lIndex).name; }
    QString FileDirectory(int lIndex) const { return entry(lIndex).folder; }
    qint64 FileSize(int lIndex) const { return entry(lIndex).size; }
    qint64 FilePackedSize(int lIndex) const { return entry(lIndex).packedSize; }
    int FileCompressionRatio(int lIndex) const { return entry(lIndex).ratio; }
    QString FileCompressionMethod(int lIndex) const { return entry(lIndex).method; }
    QDateTime FileDate(int lIndex) const { return entry(lIndex).date; }
    quint32 FileCRC(int lIndex) const { return entry(lIndex).crc; }
    bool FileEncrypted(int lIndex) const { return entry(lIndex).encrypted; }
    bool FileSelected(int lIndex) const { return entry(lIndex).selected; }
    void setFileSelected(int lIndex, bool selected);

    // Lists ZipFile into the entry list; 0 on success, else an error number
    // (the error is then in ErrorNumber/ErrorSource/ErrorDescription).
    int Directory();
    // Extracts the selected entries (all of them when every one is selected)
    // into UnzipFolder; false when ZipFile is empty or anything failed or
    // was refused.
    bool Unzip();
    void GetVersion(int &lMajor, int &lMinor, int &lRevision, QDate &dDate, QString &sExtraInfo) const;

    // The last error passed on by Directory or Unzip (0 and empty when none).
    int ErrorNumber() const { return m_errorNumber; }
    QString ErrorSource() const { return m_errorNumber ? SourceName : QString(); }
    QString ErrorDescription() const { return m_errorDescription; }
    // Entry names that Unzip refused to write, as reported.
    QStringList RefusedEntries() const { return m_refused; }

signals:
    void Cancel(const QString &sMsg, bool &bCancel);
    void OverwritePrompt(const QString &sFIle, int &eResponse);
    void PasswordRequest(QString &sPassword, bool &bCancel);
    void Progress(int lCount, const QString &sMsg);

private:
    struct Entry
    {
        QString name;
        QString folder;
        qint64 size = 0;
        qint64 packedSize = 0;
        int ratio = 0;
        QString method;
        QDateTime date;
        quint32 crc = 0;
        bool encrypted = false;
        bool selected = true;
        qint64 index = -1; // in the archive
    };
    const Entry &entry(int lIndex) const;
    void setError(int number, const QString &description);
    struct Run;
    int runLibrary(bool listOnly, const QStringList &include);
    bool wanted(const QString &fullName, const QStringList &include) const;
    QString relativeTarget(const QString &fullName) const;
    bool checkArchive(Run &run, const QStringList &include);
    bool openEntry(Run &run, qint64 index, bool encrypted, struct zip_file **file);
    bool extractEntry(Run &run, qint64 index, const QString &fullName);
    void removeCreated(const Run &run);

    bool m_extractOnlyNewer = false;
    bool m_spaceToUnderScore = false;
    bool m_promptToOverwrite = false;
    int m_messageLevel = 0;
    bool m_testZip = false;
    bool m_useFolderNames = false;
    bool m_overwriteExisting = false;
    bool m_convertCRToCRLF = false;
    bool m_caseSensitiveFileNames = false;
    QString m_zipFile;
    QString m_unzipFolder;
    ExtractionLimits m_limits;
    QList<Entry> m_entries;
    int m_errorNumber = 0;
    QString m_errorDescription;
    QStringList m_refused;
};
