// velorin-sauvegarde DOSSIER DESTINATION [--garder N]
// Writes a dated copy donnees-AAAAMMJJ-HHMMSS.mdb of DOSSIER's database into
// DESTINATION, keeps the N most recent (10 by default), prints one line and
// exits 0 (done), 1 (refused) or 2 (failed).
#include "backup/ScheduledBackup.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const ScheduledBackup::Result result =
        ScheduledBackup::RunCommandLine(QCoreApplication::arguments().mid(1), QDateTime::currentDateTime());
    std::FILE *out = result.status == ScheduledBackup::Status::Done ? stdout : stderr;
    std::fprintf(out, "%s\n", result.message.toLocal8Bit().constData());
    return int(result.status);
}
