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

    // acquire(), or the French refusal shown through `dialogs` when another
    // copy already works on the folder.
    bool acquireOrRefuse(const QString &dataFolder, class Dialogs &dialogs);

private:
    std::unique_ptr<QLockFile> m_lock;
};
