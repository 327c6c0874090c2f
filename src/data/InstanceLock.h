#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLockFile>
#include <QString>

#include <memory>

class Dialogs;

// The program is single-user: one copy at a time works on a data folder.
// A lock left by a copy that crashed on this machine is taken over. A lock
// from another machine, or one that cannot be read, may be all that remains
// of a copy whose machine was switched off: after Limits::StaleLockHours the
// user is asked whether it still holds.
class InstanceLock
{
public:
    // Who holds a folder, as its lock file tells.
    struct Holder
    {
        bool present = false;     // a lock file is there
        bool readable = false;    // it names a process and a machine
        bool thisMachine = false; // the machine is this one
        QString machine;          // empty when not readable
        QDateTime since;          // the lock file's time
        QByteArray content;       // so that only the lock the user saw is taken over
    };

    enum class Attempt { Acquired, Held, Stale };
    // When to ask the user before taking over a held folder: only when its
    // lock looks stale, or for any holder (the user asked to ignore the lock).
    enum class Ask { WhenStale, WheneverHeld };

    // True when this copy now holds the folder.
    bool acquire(const QString &dataFolder);
    // acquire(); when the folder is held, `holder` says by whom, and Stale
    // that the lock looks left behind at `now` (see looksStale()).
    Attempt attempt(const QString &dataFolder, const QDateTime &now, Holder *holder);
    // Removes the lock `holder` describes, if the folder still has that very
    // lock, and takes the folder. Whoever holds the lock: the user decided.
    bool takeOver(const QString &dataFolder, const Holder &holder);
    void release();
    bool held() const { return m_lock && m_lock->isLocked(); }

    static Holder readHolder(const QString &dataFolder);
    // A lock from another machine, or unreadable, older than Limits::StaleLockHours at `now`.
    static bool looksStale(const Holder &holder, const QDateTime &now);
    // The question put about a lock that looks stale, naming the machine and the date.
    static QString takeOverQuestion(const Holder &holder);

    // Takes the folder, or asks whether to take it over (see Ask; "Oui"
    // takes it over, "Non" refuses), or shows the French refusal through
    // `dialogs` when another copy works on it.
    bool acquireOrRefuse(const QString &dataFolder, Dialogs &dialogs, const QDateTime &now, Ask ask = Ask::WhenStale);

private:
    std::unique_ptr<QLockFile> m_lock;
};
