#include "ZipReader.h"

#include "common/ZipSupport.h"

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

// Whether `target`, named below `root` (canonical), stays there on disk: the
// deepest folder of its path that exists already must lie inside `root` once
// links are followed, and the file itself, if there, must be a plain file.
bool staysInside(const QString &root, const QString &target)
{
    const QFileInfo file(target);
    if (file.isSymLink() || (file.exists() && !file.isFile()))
        return false;
    QString folder = file.absolutePath();
    while (!QFileInfo(folder).exists() && !QFileInfo(folder).isSymLink()) { // a dangling link counts as there
        const QString up = QFileInfo(folder).absolutePath();
        if (up == folder)
            return false;
        folder = up;
    }
    const QString real = QFileInfo(folder).canonicalFilePath();
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return !real.isEmpty() && (real == root || real.startsWith(prefix));
}

QString quotedList(const QStringList &names)
{
    return QStringLiteral("« ") + names.join(QStringLiteral(" », « ")) + QStringLiteral(" »");
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
    qint64 written = 0;         // bytes written by this run
    bool stopped = false;       // by a limit, while writing
    QStringList createdFiles;   // by this run: removed when a limit stops it
    QStringList createdFolders; // likewise, the outermost first
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
        setError(ErrorTooManyNames, QStringLiteral("Plus de %1 noms à extraire en une fois.").arg(MaxNames));
        return m_errorNumber;
    }
    Run run;
    if (!listOnly && !m_testZip) {
        const QFileInfo folder(m_unzipFolder);
        if (m_unzipFolder.isEmpty() || !folder.isDir()) {
            setError(ErrorNoFolder, QStringLiteral("Le dossier d'extraction « %1 » n'existe pas.").arg(m_unzipFolder));
            return m_errorNumber;
        }
        run.root = folder.canonicalFilePath();
    }
    int code = 0;
    run.archive = zip_open(QFile::encodeName(m_zipFile).constData(), ZIP_RDONLY, &code);
    if (!run.archive) {
        setError(code, ZipSupport::OpenError(code, QFileInfo(m_zipFile).fileName()));
        return m_errorNumber;
    }
    const zip_int64_t count = zip_get_num_entries(run.archive, 0);
    if (count > m_limits.entries) {
        setError(
            ErrorTooManyEntries,
            QStringLiteral("L'archive « %1 » compte %2 entrées : elle en accepte au plus %3. Rien n'a été extrait.")
                .arg(QFileInfo(m_zipFile).fileName(), QString::number(count), QString::number(m_limits.entries)));
        zip_discard(run.archive);
        return m_errorNumber;
    }
    if (!listOnly && !checkArchive(run, include)) {
        zip_discard(run.archive);
        return m_errorNumber;
    }
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
        if (!listOnly && !wanted(fullName, include))
            continue;
        bool cancel = false;
        emit Cancel(backslashed(fullName), cancel);
        if (cancel) {
            setError(ErrorCancelled, QStringLiteral("Extraction annulée."));
            break;
        }
        if (listOnly) {
            e.folder = cut > 0 ? fullName.left(cut) : QString();
            e.size = ZipSupport::DeclaredSize(st, st.size, ZIP_STAT_SIZE);
            e.packedSize = ZipSupport::DeclaredSize(st, st.comp_size, ZIP_STAT_COMP_SIZE);
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
                 m_refused.isEmpty()
                     ? m_errorDescription
                     : QStringLiteral("Entrées refusées : ") + quotedList(m_refused) + QStringLiteral("."));
    if (run.stopped)
        removeCreated(run);
    return m_errorNumber;
}

bool ZipReader::wanted(const QString &fullName, const QStringList &include) const
{
    const Qt::CaseSensitivity cs = m_caseSensitiveFileNames ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return include.isEmpty() || include.contains(QString(fullName).replace(QLatin1Char('\\'), QLatin1Char('/')), cs);
}

QString ZipReader::relativeTarget(const QString &fullName) const
{
    QString relative = QString(fullName).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!m_useFolderNames)
        relative = relative.mid(relative.lastIndexOf(QLatin1Char('/')) + 1);
    if (m_spaceToUnderScore)
        relative.replace(QLatin1Char(' '), QLatin1Char('_'));
    return relative;
}

// Every entry of the archive, before any folder or file is made: one hostile
// name refuses the whole archive, so that a later entry cannot leave the
// folders of the earlier ones behind. Then the sizes the directory declares.
bool ZipReader::checkArchive(Run &run, const QStringList &include)
{
    const QString shown = QFileInfo(m_zipFile).fileName();
    const zip_int64_t count = zip_get_num_entries(run.archive, 0);
    qint64 total = 0;
    QString tooCompressed;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(run.archive, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            continue;
        const QString fullName = QString::fromUtf8(st.name);
        const bool folderEntry = fullName.endsWith(QLatin1Char('/')) || fullName.endsWith(QLatin1Char('\\'));
        const bool hostile =
            !m_testZip &&
            (unsafeName(fullName) || isLink(run.archive, zip_uint64_t(i)) ||
             (!folderEntry && wanted(fullName, include) &&
              !staysInside(run.root, QDir::cleanPath(run.root + QLatin1Char('/') + relativeTarget(fullName)))));
        if (hostile) {
            m_refused.append(fullName);
            emit Progress(1, backslashed(QStringLiteral("refusé : ") + fullName));
            continue;
        }
        if (folderEntry || !wanted(fullName, include))
            continue;
        const qint64 size = ZipSupport::DeclaredSize(st, st.size, ZIP_STAT_SIZE);
        const qint64 packed = ZipSupport::DeclaredSize(st, st.comp_size, ZIP_STAT_COMP_SIZE);
        if (tooCompressed.isEmpty() && size >= m_limits.ratioFrom && double(size) > double(packed) * m_limits.ratio)
            tooCompressed = fullName;
        total = std::min(total + size, qint64(1) << 62);
    }
    if (!m_refused.isEmpty())
        setError(ErrorRefused, QStringLiteral("L'archive « %1 » est refusée : %2 écrirai(en)t hors du dossier "
                                              "d'extraction ou serai(en)t un lien. Rien n'a été extrait.")
                                   .arg(shown, quotedList(m_refused)));
    else if (!tooCompressed.isEmpty())
        setError(ErrorCompressionRatio,
                 QStringLiteral("L'archive « %1 » est refusée : « %2 » est compressé plus de %3 fois, comme dans une "
                                "archive piégée. Rien n'a été extrait.")
                     .arg(shown, tooCompressed, QString::number(m_limits.ratio)));
    else if (total > m_limits.totalBytes)
        setError(ErrorTooLarge, QStringLiteral("L'archive « %1 » est refusée : une fois extraite, elle occuperait %2 "
                                               "octets, plus que les %3 acceptés. Rien n'a été extrait.")
                                    .arg(shown, QString::number(total), QString::number(m_limits.totalBytes)));
    return m_errorNumber == 0;
}

void ZipReader::removeCreated(const Run &run)
{
    for (const QString &file : run.createdFiles)
        QFile::remove(file);
    for (auto it = run.createdFolders.crbegin(); it != run.createdFolders.crend(); ++it)
        QDir().rmdir(*it);
}

bool ZipReader::openEntry(Run &run, qint64 index, bool encrypted, zip_file **file)
{
    // An encryption libzip does not know is refused before opening: opening
    // such an entry fails inside libzip without freeing what it allocated.
    zip_stat_t st;
    zip_stat_init(&st);
    if (encrypted && zip_stat_index(run.archive, zip_uint64_t(index), 0, &st) == 0 &&
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && !zip_encryption_method_supported(st.encryption_method, 0)) {
        *file = nullptr;
        m_errorDescription = QStringLiteral("Une entrée de l'archive est chiffrée d'une manière que le programme ne "
                                            "sait pas lire.");
        return false;
    }
    if (!encrypted) {
        *file = zip_fopen_index(run.archive, zip_uint64_t(index), 0);
    } else {
        if (!run.passwordAsked) {
            bool cancel = false;
            emit PasswordRequest(run.password, cancel);
            run.passwordAsked = true;
            if (cancel) {
                setError(ErrorPassword, QStringLiteral("Mot de passe non donné : extraction annulée."));
                return false;
            }
        }
        *file = zip_fopen_index_encrypted(run.archive, zip_uint64_t(index), 0, run.password.toUtf8().constData());
    }
    if (!*file) {
        const int code = zip_error_code_zip(zip_get_error(run.archive));
        m_errorDescription = code == ZIP_ER_WRONGPASSWD ? QStringLiteral("Mot de passe incorrect.")
                                                        : QStringLiteral("Une entrée de l'archive ne peut pas être "
                                                                         "lue (erreur %1 de libzip).")
                                                              .arg(code);
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

    // The header's size bounds what is read: an entry that turns out larger
    // than it said (and so than the checks weighed) is stopped there.
    const qint64 declared = ZipSupport::DeclaredSize(st, st.size, ZIP_STAT_SIZE);
    qint64 read = 0;
    const auto stop = [&](const QString &why) {
        setError(ErrorTooLarge, QStringLiteral("L'archive « %1 » est refusée : %2 Rien n'a été extrait.")
                                    .arg(QFileInfo(m_zipFile).fileName(), why));
        run.stopped = true;
        return false;
    };
    const auto tooLong = [&](zip_int64_t n) {
        read += n;
        if (read <= declared)
            return false;
        stop(QStringLiteral("« %1 » est plus grand que ce qu'annonce l'archive.").arg(fullName));
        return true;
    };

    if (m_testZip) {
        zip_file *file = nullptr;
        if (!openEntry(run, index, encrypted, &file))
            return false;
        char buffer[65536];
        zip_int64_t n;
        while ((n = zip_fread(file, buffer, sizeof buffer)) > 0 && !tooLong(n)) {
        }
        if (n < 0)
            m_errorDescription = QStringLiteral("L'entrée « %1 » est endommagée.").arg(fullName);
        zip_fclose(file);
        emit Progress(1, backslashed(QStringLiteral("test de ") + fullName +
                                     (n != 0 ? QStringLiteral(" : erreur") : QStringLiteral(" : OK"))));
        return n == 0;
    }

    const QString relative = relativeTarget(fullName);
    const QString target = QDir::cleanPath(run.root + QLatin1Char('/') + relative);
    const QString targetDir = QFileInfo(target).absolutePath();
    QStringList missing;
    for (QString f = targetDir; !QFileInfo(f).exists() && !QFileInfo(f).isSymLink() && f != run.root;
         f = QFileInfo(f).absolutePath())
        missing.prepend(f);
    if (!QDir().mkpath(targetDir)) {
        m_errorDescription = QStringLiteral("Le dossier « %1 » ne peut pas être créé.").arg(targetDir);
        return false;
    }
    run.createdFolders += missing;
    // Checked before anything was made; checked again in case a link
    // appeared on disk since.
    const QFileInfo existing(target);
    if (!staysInside(run.root, target)) {
        m_refused.append(fullName);
        emit Progress(1, backslashed(QStringLiteral("refusé : ") + fullName));
        return false;
    }
    const QDateTime date = (st.valid & ZIP_STAT_MTIME) ? QDateTime::fromSecsSinceEpoch(qint64(st.mtime)) : QDateTime();
    const bool existed = existing.exists();
    if (existed) {
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
    // Counts what reaches the disk (CR LF conversion may double it) against the run's limit.
    const auto write = [&](const char *data, qint64 size) {
        if (run.written + size > m_limits.totalBytes)
            return stop(QStringLiteral("une fois extraite, elle occuperait plus que les %1 octets acceptés.")
                            .arg(m_limits.totalBytes));
        run.written += size;
        return out.write(data, size) == size;
    };
    char buffer[65536];
    zip_int64_t n = 0;
    bool pendingCR = false;
    while (ok && (n = zip_fread(file, buffer, sizeof buffer)) > 0) {
        if (tooLong(n)) {
            ok = false;
            break;
        }
        if (!m_convertCRToCRLF) {
            ok = write(buffer, n);
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
        ok = write(converted.constData(), converted.size());
    }
    if (ok && pendingCR)
        ok = write("\n", 1);
    if (n < 0) {
        m_errorDescription = QStringLiteral("L'entrée « %1 » est endommagée.").arg(fullName);
        ok = false;
    }
    zip_fclose(file);
    if (!ok || !out.commit()) {
        out.cancelWriting();
        if (m_errorDescription.isEmpty())
            m_errorDescription = QStringLiteral("Le fichier « %1 » ne peut pas être écrit.").arg(target);
        return false;
    }
    if (!existed)
        run.createdFiles.append(target);
    if (date.isValid()) {
        QFile written(target);
        if (written.open(QIODevice::Append))
            written.setFileTime(date, QFileDevice::FileModificationTime);
    }
    emit Progress(1, backslashed(QStringLiteral("extraction de ") + relative));
    return true;
}
