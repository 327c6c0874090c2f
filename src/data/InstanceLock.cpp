#include "InstanceLock.h"

#include "DataFiles.h"

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
