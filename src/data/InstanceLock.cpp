#include "InstanceLock.h"

#include "DataFiles.h"
#include "common/Dialogs.h"
#include "common/Limits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSysInfo>

namespace {

// A lock file is a few short lines; anything longer is not one.
constexpr qint64 LockFileBytes = 4096;
constexpr int MachineNameLength = 255;

QString lockPath(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(DataFiles::LockFile);
}

bool isPrintableName(const QString &name)
{
    if (name.isEmpty() || name.size() > MachineNameLength)
        return false;
    for (const QChar c : name)
        if (!c.isPrint() || c == QChar::ReplacementCharacter)
            return false;
    return true;
}

// « 7 novembre 2026 à 14:05 », « 1er mars 2027 à 08:00 ».
QString frenchDateTime(const QDateTime &when)
{
    const QLocale french(QLocale::French, QLocale::France);
    const QDate date = when.date();
    const QString day = date.day() == 1 ? QStringLiteral("1er") : QString::number(date.day());
    return day + QLatin1Char(' ') + french.toString(date, QStringLiteral("MMMM yyyy")) + QStringLiteral(" à ") +
           french.toString(when.time(), QStringLiteral("HH:mm"));
}

std::unique_ptr<QLockFile> newLock(const QString &dataFolder)
{
    auto lock = std::make_unique<QLockFile>(lockPath(dataFolder));
    // A copy may rightly keep the folder for days: only a lock whose process
    // is gone from this machine is taken over without asking.
    lock->setStaleLockTime(0);
    return lock;
}

} // namespace

bool InstanceLock::acquire(const QString &dataFolder)
{
    release();
    m_lock = newLock(dataFolder);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}

InstanceLock::Attempt InstanceLock::attempt(const QString &dataFolder, const QDateTime &now, Holder *holder)
{
    // The holder may let go between the two steps: then try once more.
    for (int tries = 0; tries < 2; ++tries) {
        if (acquire(dataFolder))
            return Attempt::Acquired;
        *holder = readHolder(dataFolder);
        if (holder->present)
            break;
    }
    return looksStale(*holder, now) ? Attempt::Stale : Attempt::Held;
}

bool InstanceLock::takeOver(const QString &dataFolder, const Holder &holder)
{
    if (acquire(dataFolder))
        return true;
    const QString path = lockPath(dataFolder);
    {
        // Qt's own guard against two processes removing the same lock at once.
        QLockFile removing(path + QStringLiteral(".rmlock"));
        if (!removing.tryLock(0))
            return false;
        // A lock made since the user was asked is not the one they let go.
        const Holder now = readHolder(dataFolder);
        if (now.present && (now.content != holder.content || now.since != holder.since))
            return false;
        // A holder still running on this machine keeps a native lock that
        // refuses removeStaleLockFile(): the user said to take over all the same.
        QLockFile stale(path);
        if (now.present && !stale.removeStaleLockFile() && !QFile::remove(path))
            return false;
    }
    return acquire(dataFolder);
}

void InstanceLock::release()
{
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}

// Qt writes the pid, the program, the host name, the machine id and the boot id, one a line.
InstanceLock::Holder InstanceLock::readHolder(const QString &dataFolder)
{
    Holder holder;
    QFile file(lockPath(dataFolder));
    if (!file.open(QIODevice::ReadOnly))
        return holder;
    holder.present = true;
    holder.content = file.read(LockFileBytes);
    holder.since = QFileInfo(file).lastModified();
    QList<QByteArray> lines = holder.content.split('\n');
    for (QByteArray &line : lines)
        line = line.trimmed();
    bool isNumber = false;
    const qint64 pid = lines.value(0).toLongLong(&isNumber);
    const QString machine = QString::fromUtf8(lines.value(2));
    holder.readable = file.size() <= LockFileBytes && isNumber && pid > 0 && isPrintableName(machine);
    if (!holder.readable)
        return holder;
    holder.machine = machine;
    // As Qt decides: the machine id when both sides have one, else the host name.
    const QByteArray machineId = lines.value(3), ours = QSysInfo::machineUniqueId();
    holder.thisMachine =
        !machineId.isEmpty() && !ours.isEmpty() ? machineId == ours : machine == QSysInfo::machineHostName();
    return holder;
}

bool InstanceLock::looksStale(const Holder &holder, const QDateTime &now)
{
    return holder.present && (!holder.readable || !holder.thisMachine) && holder.since.isValid() &&
           holder.since.secsTo(now) > qint64(Limits::StaleLockHours) * 3600;
}

QString InstanceLock::takeOverQuestion(const Holder &holder)
{
    const QString where =
        holder.readable ? QStringLiteral("« %1 »").arg(holder.machine) : QStringLiteral("un autre poste");
    return QStringLiteral("Le dossier semble ouvert sur %1 depuis le %2. Si ce n'est plus le cas, continuer ?")
        .arg(where, frenchDateTime(holder.since));
}

bool InstanceLock::acquireOrRefuse(const QString &dataFolder, Dialogs &dialogs, const QDateTime &now, Ask ask)
{
    Holder holder;
    const Attempt result = attempt(dataFolder, now, &holder);
    if (result == Attempt::Acquired)
        return true;
    if (holder.present && (result == Attempt::Stale || ask == Ask::WheneverHeld)) {
        if (!dialogs.question(QStringLiteral("ATTENTION"), takeOverQuestion(holder), true))
            return false;
        if (takeOver(dataFolder, holder))
            return true;
    }
    dialogs.message(QStringLiteral("ATTENTION"),
                    QStringLiteral("Rozodivo Velorin est déjà ouvert sur le dossier de données « %1 ».\n"
                                   "Une seule copie du programme peut travailler sur ces données à la fois : "
                                   "fermez l'autre copie avant d'ouvrir celle-ci.")
                        .arg(QDir::toNativeSeparators(dataFolder)),
                    Dialogs::Icon::Warning);
    return false;
}
