#include "StartupSequence.h"

#include "Compaction.h"
#include "Connection.h"
#include "DataFiles.h"
#include "DatabaseStartup.h"
#include "common/Dialogs.h"

#include <QDir>
#include <QFileInfo>

bool StartDatabase(Connection &connection, Dialogs &dialogs, const QDateTime &now)
{
    const QString folder = connection.DataFolder();
    QString error;
    {
        BusyGuard busy(dialogs);
        connection.CloseDatabase();
        if (!PrepareDataFolder(folder, dialogs, now))
            return false;
        CompactionReport report;
        bool compacted = CompactDatabase(folder, &error, &report);
        if (!compacted && report.damaged) {
            const QString live = DataFiles::LiveDatabase(folder);
            if (!OfferPreviousDatabase(folder, live, QStringLiteral("Cette base de données est endommagée."), dialogs,
                                       now))
                return false;
            compacted = CompactDatabase(folder, &error, &report);
        }
        if (!compacted) {
            // Whatever step failed, the live file is whole: put it back under
            // its name if the failure came between the renames.
            CompleteInterruptedCompaction(folder);
            if (DataFiles::LiveDatabase(folder).isEmpty()) {
                dialogs.message(QStringLiteral("ATTENTION"),
                                QStringLiteral("Le compactage de la base de données du dossier « %1 » a échoué :\n%2")
                                    .arg(QDir::toNativeSeparators(folder), error),
                                Dialogs::Icon::Critical);
                return false;
            }
            dialogs.message(QStringLiteral("ATTENTION"),
                            QStringLiteral("Le compactage de la base de données a échoué :\n%1\n"
                                           "La base de données est ouverte sans être compactée.")
                                .arg(error),
                            Dialogs::Icon::Warning);
        }
        if (connection.OpenDatabase(&error))
            return true;
    }
    dialogs.message(QStringLiteral("ATTENTION"),
                    QStringLiteral("Impossible d'ouvrir la base de données du dossier « %1 » :\n%2")
                        .arg(QDir::toNativeSeparators(folder), error),
                    Dialogs::Icon::Critical);
    return false;
}

bool TakeDataFolder(Connection &connection, InstanceLock &lock, const QString &folder, Dialogs &dialogs,
                    const QDateTime &now, InstanceLock::Ask ask)
{
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    const QFileInfo info(path);
    const bool missing = !info.exists();
    if (!missing && !info.isDir()) {
        dialogs.message(QStringLiteral("ATTENTION"),
                        QStringLiteral("« %1 » n'est pas un dossier.").arg(QDir::toNativeSeparators(path)),
                        Dialogs::Icon::Warning);
        return false;
    }
    if (missing) {
        if (!AskForEmptyDatabase(path, dialogs))
            return false;
        if (!QDir().mkpath(path)) {
            dialogs.message(
                QStringLiteral("ATTENTION"),
                QStringLiteral("Impossible de créer le dossier « %1 ».").arg(QDir::toNativeSeparators(path)),
                Dialogs::Icon::Critical);
            return false;
        }
    }
    InstanceLock next;
    if (!next.acquireOrRefuse(path, dialogs, now, ask))
        return false;
    if (missing && DataFiles::LiveDatabase(path).isEmpty() && !CreateEmptyDatabase(path, dialogs))
        return false;
    lock = std::move(next);
    connection.setDataFolder(path);
    return true;
}
