#include "DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DataFiles {

QString Resolve(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    // Name filters ignore letter case unless told otherwise.
    const QStringList matches = dir.entryList({name}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (matches.contains(name))
        return dir.filePath(name);
    for (const QString &m : matches)
        if (m.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(m);
    return {};
}

QString LiveDatabase(const QString &folder)
{
    return Resolve(folder, CompactedDatabase);
}

QString WithTrailingSeparator(const QString &folder)
{
    QString f = QDir::fromNativeSeparators(folder);
    while (f.size() > 1 && f.endsWith(QLatin1Char('/')))
        f.chop(1);
    return f.endsWith(QLatin1Char('/')) ? f : f + QLatin1Char('/');
}

QString FrenchReasonOfErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("accès refusé");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("plus de place sur le disque");
    case ENOENT:
        return QStringLiteral("fichier ou dossier introuvable");
    case EISDIR:
        return QStringLiteral("c'est un dossier");
    case EIO:
        return QStringLiteral("erreur du support (clé retirée ?)");
    default:
        return QStringLiteral("erreur système n° %1").arg(error);
    }
}

QString FrenchReason(const QFileDevice &file)
{
    switch (file.error()) {
    case QFileDevice::PermissionsError:
        return FrenchReasonOfErrno(EACCES);
    case QFileDevice::ResourceError:
        return FrenchReasonOfErrno(ENOSPC);
    case QFileDevice::OpenError:
        return QStringLiteral("ouverture impossible");
    case QFileDevice::ReadError:
        return QStringLiteral("erreur de lecture");
    case QFileDevice::WriteError:
        return QStringLiteral("erreur d'écriture (disque plein ou retiré ?)");
    default:
        return QStringLiteral("erreur d'entrée-sortie");
    }
}

QString RegularFileProblem(const QString &path)
{
    const QString shown = QFileInfo(path).fileName();
    const QFileInfo info(QFileInfo(path).canonicalFilePath());
    if (!QFileInfo(path).exists() || !info.exists())
        return QStringLiteral("Le fichier « %1 » est introuvable.").arg(shown);
    if (info.isDir())
        return QStringLiteral("« %1 » est un dossier, pas un fichier.").arg(shown);
    // QFileInfo::isFile() is also true of devices and pipes: ask the system.
#ifdef Q_OS_UNIX
    struct stat st{};
    if (::stat(QFile::encodeName(info.filePath()).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("« %1 » n'est pas un fichier ordinaire (périphérique ou tube) : il est refusé.")
            .arg(shown);
#else
    if (!info.isFile())
        return QStringLiteral("« %1 » n'est pas un fichier ordinaire : il est refusé.").arg(shown);
#endif
    return {};
}

bool SyncPath(const QString &path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#else
    Q_UNUSED(path);
    return true;
#endif
}

bool RenameReplacing(const QString &from, const QString &to, QString *error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        if (error)
            *error = QStringLiteral("impossible de renommer « %1 » en « %2 » : %3")
                         .arg(QFileInfo(from).fileName(), QFileInfo(to).fileName(),
                              FrenchReasonOfErrno(errno));
        return false;
    }
    SyncPath(QFileInfo(to).absolutePath());
    return true;
}

bool CopyReplacing(const QString &from, const QString &to, QString *error)
{
    const QString temp = to + QStringLiteral(".tmp");
    QFile::remove(temp);
    QFile in(from);
    QFile out(temp);
    auto failed = [&](const QString &why) {
        out.close();
        QFile::remove(temp);
        if (error)
            *error = why;
        return false;
    };
    if (!in.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("impossible de lire « %1 » : %2").arg(from, FrenchReason(in)));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failed(QStringLiteral("impossible d'écrire « %1 » : %2").arg(temp, FrenchReason(out)));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            return failed(QStringLiteral("lecture de « %1 » impossible : %2").arg(from, FrenchReason(in)));
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            return failed(QStringLiteral("écriture de « %1 » impossible : %2").arg(temp, FrenchReason(out)));
    }
    if (!out.flush())
        return failed(QStringLiteral("écriture de « %1 » impossible : %2").arg(temp, FrenchReason(out)));
#ifdef Q_OS_UNIX
    ::fsync(out.handle());
#endif
    out.close();
    return RenameReplacing(temp, to, error) || (QFile::remove(temp), false);
}

} // namespace DataFiles
