#include "InstanceLock.h"

#include "DataFiles.h"
#include "common/Dialogs.h"

#include <QDir>

bool InstanceLock::acquire(const QString &dataFolder)
{
    release();
    m_lock = std::make_unique<QLockFile>(QDir(dataFolder).filePath(DataFiles::LockFile));
    // A copy may rightly keep the folder for days: only a lock whose process
    // is gone is stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}

void InstanceLock::release()
{
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}

bool InstanceLock::acquireOrRefuse(const QString &dataFolder, Dialogs &dialogs)
{
    if (acquire(dataFolder))
        return true;
    dialogs.message(QStringLiteral("ATTENTION"),
                    QStringLiteral("Rozodivo Velorin est déjà ouvert sur le dossier de données « %1 ».\n"
                                   "Une seule copie du programme peut travailler sur ces données à la fois : "
                                   "fermez l'autre copie avant d'ouvrir celle-ci.")
                        .arg(QDir::toNativeSeparators(dataFolder)),
                    Dialogs::Icon::Warning);
    return false;
}
