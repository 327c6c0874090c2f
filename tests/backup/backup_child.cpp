// backup_child DATAFOLDER BACKUPFOLDER: backs the database up, puts the backup
// back, compacting after each as the start-up that follows them does, in a
// loop until the test kills it. Writes "ready", then one "." per round.
#include "backup/BackupFiles.h"
#include "data/Compaction.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fputs("usage: backup_child DATAFOLDER BACKUPFOLDER\n", stderr);
        return 2;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;) {
        QString error;
        if (!BackupFiles::CopyOut(args.at(1), args.at(2), &error) || !CompactDatabase(args.at(1), &error) ||
            !BackupFiles::CopyIn(args.at(1), args.at(2), &error) || !CompactDatabase(args.at(1), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::fputs(".", stdout);
        std::fflush(stdout);
    }
}
