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

} // namespace FolderPaths
