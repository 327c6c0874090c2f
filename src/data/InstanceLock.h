#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// The program is single-user: one copy at a time works on a data folder.
// A lock left by a copy that crashed is taken over.
class InstanceLock
{
public:
    // True when this copy now holds the folder.
    bool acquire(const QString &dataFolder);
    void release();
    bool held() const { return m_lock && m_lock->isLocked(); }

private:
    std::unique_ptr<QLockFile> m_lock;
};
