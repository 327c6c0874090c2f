#include "FolderPaths.h"

#include "data/DataFiles.h"

#include <QDir>
#include <QFileInfo>

namespace FolderPaths {

QString WithoutTrailingSeparator(const QString &folder)
{
    QString f = QDir::fromNativeSeparators(folder);
    while (f.size() > 1 && f.endsWith(QLatin1Char('/')) && !(f.size() == 3 && f.at(1) == QLatin1Char(':')))
        f.chop(1);
    return f;
}

QString FileIn(const QString &folder, const QString &name)
{
    const QString f = WithoutTrailingSeparator(folder);
    return f.endsWith(QLatin1Char('/')) ? f + name : f + QLatin1Char('/') + name;
}

bool IsDataFolder(const QString &folder, const QString &dataFolder)
{
    if (folder.isEmpty() || dataFolder.isEmpty())
        return false;
    if (DataFiles::WithTrailingSeparator(folder).compare(DataFiles::WithTrailingSeparator(dataFolder),
                                                         Qt::CaseInsensitive) == 0)
        return true;
    const QString a = QFileInfo(folder).canonicalFilePath();
    return !a.isEmpty() && a == QFileInfo(dataFolder).canonicalFilePath();
}

bool IsSystemFolder(const QString &folder, const QString &home)
{
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    const QString homePath = QDir::cleanPath(QDir::fromNativeSeparators(home));
    const auto within = [](const QString &inner, const QString &top) {
        return inner == top || inner.startsWith(top == QLatin1String("/") ? top : top + QLatin1Char('/'));
    };
    if (!homePath.isEmpty() && (within(path, homePath) || within(homePath, path)))
        return false;
    if (within(path, QStringLiteral("/run/media")))
        return false;
    static const char *const system[] = {"/proc",   "/sys",  "/dev", "/usr",  "/run", "/boot",      "/etc",
                                         "/var",    "/snap", "/bin", "/sbin", "/lib", "/lib32",     "/lib64",
                                         "/libx32", "/opt",  "/srv", "/root", "/efi", "/lost+found"};
    for (const char *top : system)
        if (within(path, QLatin1String(top)))
            return true;
    return false;
}

QStringList RemovableMedia(const QString &root)
{
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
    const QDir base(root);
    QStringList parents = {base.filePath(QStringLiteral("media"))};
    if (!user.isEmpty())
        parents << base.filePath(QStringLiteral("media/") + user) << base.filePath(QStringLiteral("run/media/") + user);
    QStringList media;
    for (const QString &parent : parents) {
        const QFileInfoList found = QDir(parent).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : found) {
            const QString path = QDir::cleanPath(entry.absoluteFilePath());
            // /media/USER holds the user's media; it is not one itself.
            if (!user.isEmpty() && path == QDir::cleanPath(base.filePath(QStringLiteral("media/") + user)))
                continue;
            media.append(path);
        }
    }
    return media;
}

} // namespace FolderPaths
