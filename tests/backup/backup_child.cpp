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
    QString error;
    for (const char *done = "ready\n"; args.size() == 3; done = ".") {
        std::fputs(done, stdout);
        std::fflush(stdout);
        if (!BackupFiles::CopyOut(args.at(1), args.at(2), &error) || !CompactDatabase(args.at(1), &error) ||
            !BackupFiles::CopyIn(args.at(1), args.at(2), &error) || !CompactDatabase(args.at(1), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    return 2; // not DATAFOLDER BACKUPFOLDER
}
