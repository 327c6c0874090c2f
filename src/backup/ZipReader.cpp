#include "ZipReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <sys/stat.h>
#include <zip.h>

const QString ZipReader::SourceName = QStringLiteral("ZipReader.VBUnzip");

namespace {

QString backslashed(QString text)
{
    return text.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QString methodName(quint16 method)
{
    switch (method) {
    case ZIP_CM_STORE:
        return QStringLiteral("Stored");
    case ZIP_CM_SHRINK:
        return QStringLiteral("Shrunk");
    case ZIP_CM_IMPLODE:
        return QStringLiteral("Imploded");
    case ZIP_CM_DEFLATE:
        return QStringLiteral("Deflated");
    case ZIP_CM_DEFLATE64:
        return QStringLiteral("Deflate64");
    case ZIP_CM_BZIP2:
        return QStringLiteral("BZip2");
    case ZIP_CM_LZMA:
        return QStringLiteral("LZMA");
    case ZIP_CM_XZ:
        return QStringLiteral("XZ");
    default:
        return QStringLiteral("Unknown");
    }
}

QString libzipError(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&e));
    zip_error_fini(&e);
    return text;
}

// A name that could land outside the extraction folder: absolute, with a
// drive letter, or with a ".." step (either separator counts).
bool unsafeName(const QString &name)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\')) ||
        drive.match(name).hasMatch() || name.contains(QChar(0)))
        return true;
    const QStringList parts = QString(name).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    return parts.contains(QStringLiteral(".."));
}

bool isLink(zip_t *archive, zip_uint64_t index)
{
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) != 0)
        return false;
    return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

} // namespace

struct ZipReader::Run
{
    zip_t *archive = nullptr;
    QString root; // canonical extraction folder
    bool overwriteAll = false;
    bool overwriteNone = false;
    QString password;
    bool passwordAsked = false;
    bool failed = false;
};

ZipReader::ZipReader(QObject *parent) : QObject(parent) {}

ZipReader::~ZipReader() = default;

void ZipReader::setZipFile(const QString &file)
{
    m_zipFile = file;
    m_entries.clear();
}

const ZipReader::Entry &ZipReader::entry(int lIndex) const
{
    static const Entry none;
    return lIndex >= 1 && lIndex <= m_entries.size() ? m_entries.at(lIndex - 1) : none;
}

void ZipReader::setFileSelected(int lIndex, bool selected)
{
    if (lIndex >= 1 && lIndex <= m_entries.size())
        m_entries[lIndex - 1].selected = selected;
}

void ZipReader::setError(int number, const QString &description)
{
    m_errorNumber = number;
    m_errorDescription = description;
}

int ZipReader::Directory()
{
    m_entries.clear();
    return runLibrary(true, {});
}

bool ZipReader::Unzip()
{
    if (m_zipFile.isEmpty())
        return false;
    QStringList include;
    bool all = true;
    for (const Entry &e : std::as_const(m_entries)) {
        if (!e.selected) {
            all = false;
            continue;
        }
        const QString name = e.folder.isEmpty() ? e.name : e.folder + QLatin1Char('/') + e.name;
        include.append(QString(name).replace(QLatin1Char('\\'), QLatin1Char('/')));
    }
    if (all)
        include.clear();
    else if (include.isEmpty())
        return true; // nothing selected: nothing to do
    return runLibrary(false, include) == 0;
}

void ZipReader::GetVersion(int &lMajor, int &lMinor, int &lRevision, QDate &dDate, QString &sExtraInfo) const
{
    const QString version = QString::fromLatin1(zip_libzip_version());
    const QStringList parts = version.split(QLatin1Char('.'));
    lMajor = parts.value(0).toInt();
    lMinor = parts.value(1).toInt();
    lRevision = parts.value(2).toInt();
    dDate = QDate(); // libzip publishes no release date
    sExtraInfo = QStringLiteral("libzip ") + version;
}

int ZipReader::runLibrary(bool listOnly, const QStringList &include)
{
    m_errorNumber = 0;
    m_errorDescription.clear();
    m_refused.clear();
    if (include.size() > MaxNames) {
        setError(ErrorTooManyNames, QStringLiteral("more than %1 names to include").arg(MaxNames));
        return m_errorNumber;
    }
    Run run;
    if (!listOnly && !m_testZip) {
        const QFileInfo folder(m_unzipFolder);
        if (m_unzipFolder.isEmpty() || !folder.isDir()) {
            setError(ErrorNoFolder, QStringLiteral("no extraction folder: ") + m_unzipFolder);
            return m_errorNumber;
        }
        run.root = folder.canonicalFilePath();
    }
    int code = 0;
    run.archive = zip_open(QFile::encodeName(m_zipFile).constData(), ZIP_RDONLY, &code);
    if (!run.archive) {
        setError(code, libzipError(code) + QStringLiteral(": ") + m_zipFile);
        return m_errorNumber;
    }
    const Qt::CaseSensitivity cs = m_caseSensitiveFileNames ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const zip_int64_t count = zip_get_num_entries(run.archive, 0);
    for (zip_int64_t i = 0; i < count && !m_errorNumber; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(run.archive, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            continue;
        const QString fullName = QString::fromUtf8(st.name);
        const qsizetype cut = std::max(fullName.lastIndexOf(QLatin1Char('/')), fullName.lastIndexOf(QLatin1Char('\\')));
        Entry e;
        e.name = fullName.mid(cut + 1);
        if (e.name.isEmpty())
            continue; // a folder entry
        if (!listOnly && !include.isEmpty()) {
            const QString wanted = QString(fullName).replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (!include.contains(wanted, cs))
                continue;
        }
        bool cancel = false;
        emit Cancel(backslashed(fullName), cancel);
        if (cancel) {
            setError(ErrorCancelled, QStringLiteral("cancelled"));
            break;
        }
        if (listOnly) {
            e.folder = cut > 0 ? fullName.left(cut) : QString();
            e.size = (st.valid & ZIP_STAT_SIZE) ? qint64(st.size) : 0;
            e.packedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? qint64(st.comp_size) : 0;
            e.ratio = e.size > 0 ? int(std::clamp<qint64>((e.size - e.packedSize) * 100 / e.size, -999, 100)) : 0;
            e.method = (st.valid & ZIP_STAT_COMP_METHOD) ? methodName(st.comp_method) : QString();
            if (st.valid & ZIP_STAT_MTIME)
                e.date = QDateTime::fromSecsSinceEpoch(qint64(st.mtime));
            e.crc = (st.valid & ZIP_STAT_CRC) ? quint32(st.crc) : 0;
            e.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
            e.index = i;
            m_entries.append(e);
            continue;
        }
        if (!extractEntry(run, i, fullName))
            run.failed = true;
    }
    zip_discard(run.archive);
    if (!m_errorNumber && run.failed)
        setError(m_refused.isEmpty() ? ErrorWrite : ErrorRefused,
                 m_refused.isEmpty() ? m_errorDescription : QStringLiteral("refused: ") + m_refused.join(u", "));
    return m_errorNumber;
}

bool ZipReader::openEntry(Run &run, qint64 index, bool encrypted, zip_file **file)
{
    if (!encrypted) {
        *file = zip_fopen_index(run.archive, zip_uint64_t(index), 0);
    } else {
        if (!run.passwordAsked) {
            bool cancel = false;
            emit PasswordRequest(run.password, cancel);
            run.passwordAsked = true;
            if (cancel) {
                setError(ErrorPassword, QStringLiteral("password request cancelled"));
                return false;
            }
        }
        *file = zip_fopen_index_encrypted(run.archive, zip_uint64_t(index), 0, run.password.toUtf8().constData());
    }
    if (!*file) {
        m_errorDescription = QString::fromUtf8(zip_strerror(run.archive));
        return false;
    }
    return true;
}

bool ZipReader::extractEntry(Run &run, qint64 index, const QString &fullName)
{
    zip_stat_t st;
    zip_stat_init(&st);
    zip_stat_index(run.archive, zip_uint64_t(index), 0, &st);
    const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;

    if (m_testZip) {
        zip_file *file = nullptr;
        if (!openEntry(run, index, encrypted, &file))
            return false;
        char buffer[65536];
        zip_int64_t n;
        while ((n = zip_fread(file, buffer, sizeof buffer)) > 0) {
        }
        if (n < 0)
            m_errorDescription = QString::fromUtf8(zip_file_strerror(file));
        zip_fclose(file);
        emit Progress(1, backslashed(QStringLiteral("test de ") + fullName +
                                     (n < 0 ? QStringLiteral(" : erreur") : QStringLiteral(" : OK"))));
        return n == 0;
    }

    if (unsafeName(fullName) || isLink(run.archive, zip_uint64_t(index))) {
        m_refused.append(fullName);
        emit Progress(1, backslashed(QStringLiteral("refusé : ") + fullName));
        return false;
    }
    QString relative = QString(fullName).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!m_useFolderNames)
        relative = relative.mid(relative.lastIndexOf(QLatin1Char('/')) + 1);
    if (m_spaceToUnderScore)
        relative.replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString target = QDir::cleanPath(run.root + QLatin1Char('/') + relative);
    const QString targetDir = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(targetDir)) {
        m_errorDescription = QStringLiteral("cannot create ") + targetDir;
        return false;
    }
    // A folder already there may be a link leading elsewhere.
    const QString realDir = QFileInfo(targetDir).canonicalFilePath();
    const QFileInfo existing(target);
    if ((realDir != run.root && !realDir.startsWith(run.root + QLatin1Char('/'))) || existing.isSymLink() ||
        (existing.exists() && !existing.isFile())) {
        m_refused.append(fullName);
        emit Progress(1, backslashed(QStringLiteral("refusé : ") + fullName));
        return false;
    }
    const QDateTime date = (st.valid & ZIP_STAT_MTIME) ? QDateTime::fromSecsSinceEpoch(qint64(st.mtime)) : QDateTime();
    if (existing.exists()) {
        if (m_extractOnlyNewer && date.isValid() && existing.lastModified() >= date)
            return true;
        bool overwrite = m_overwriteExisting || run.overwriteAll;
        if (!overwrite && m_promptToOverwrite && !run.overwriteNone) {
            int response = DoNotOverwrite;
            emit OverwritePrompt(backslashed(target), response);
            overwrite = response == OverwriteThisFile || response == OverwriteAllFiles;
            run.overwriteAll = response == OverwriteAllFiles;
            run.overwriteNone = response == OverwriteNone;
        }
        if (!overwrite)
            return true;
    }

    zip_file *file = nullptr;
    if (!openEntry(run, index, encrypted, &file))
        return false;
    QSaveFile out(target);
    bool ok = out.open(QIODevice::WriteOnly);
    char buffer[65536];
    zip_int64_t n = 0;
    bool pendingCR = false;
    while (ok && (n = zip_fread(file, buffer, sizeof buffer)) > 0) {
        if (!m_convertCRToCRLF) {
            ok = out.write(buffer, n) == n;
            continue;
        }
        // Lone CR and lone LF both become CR LF.
        QByteArray converted;
        converted.reserve(int(n) * 2);
        for (zip_int64_t k = 0; k < n; ++k) {
            const char c = buffer[k];
            if (pendingCR && c != '\n')
                converted.append('\n');
            if (c == '\n' && !pendingCR)
                converted.append('\r');
            converted.append(c);
            pendingCR = c == '\r';
        }
        ok = out.write(converted) == converted.size();
    }
    if (ok && pendingCR)
        ok = out.write("\n", 1) == 1;
    if (n < 0) {
        m_errorDescription = QString::fromUtf8(zip_file_strerror(file));
        ok = false;
    }
    zip_fclose(file);
    if (!ok || !out.commit()) {
        out.cancelWriting();
        if (m_errorDescription.isEmpty())
            m_errorDescription = QStringLiteral("cannot write ") + target;
        return false;
    }
    if (date.isValid()) {
        QFile written(target);
        if (written.open(QIODevice::Append))
            written.setFileTime(date, QFileDevice::FileModificationTime);
    }
    emit Progress(1, backslashed(QStringLiteral("extraction de ") + relative));
    return true;
}
