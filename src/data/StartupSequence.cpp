#include "StartupSequence.h"

#include "Compaction.h"
#include "Connection.h"
#include "DataFiles.h"
#include "DatabaseStartup.h"
#include "common/Dialogs.h"

#include <QDir>

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
