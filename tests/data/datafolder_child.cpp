// A process that works on a data folder until the test kills it:
//   datafolder_child loop FOLDER   rewrite a transaction and compact, forever
//   datafolder_child hold FOLDER   leave a large transaction uncommitted
//   datafolder_child lock FOLDER   hold the folder's instance lock
// It writes "ready" once the state the test waits for is reached, then one
// "." per finished round (loop mode).
#include "data/Compaction.h"
#include "data/DataFiles.h"
#include "data/InstanceLock.h"
#include "data/SqliteSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace {

void say(const char *text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

int fail(const QString &why)
{
    std::fprintf(stderr, "%s\n", qPrintable(why));
    return 2;
}

// Changes every pupil, fills IMPORTE with bulky rows and, when `finish`,
// undoes both and commits: the committed content stays the same, the file
// gains free pages (so the next compaction rebuilds it). A tiny page cache
// makes the engine write the uncommitted pages into the file itself, so a
// kill leaves a hot journal that must be rolled back.
bool rewrite(SqliteSupport::RawDatabase &db, bool finish)
{
    const bool started = db.exec(QStringLiteral("PRAGMA cache_size = 4")) && db.exec(QStringLiteral("BEGIN"))
                         && db.exec(QStringLiteral("UPDATE ELEVE SET CSP = CSP + 1000"))
                         && db.exec(QStringLiteral("INSERT INTO IMPORTE (NOM) SELECT hex(randomblob(400)) FROM ELEVE"));
    if (!started || !finish)
        return started;
    return db.exec(QStringLiteral("DELETE FROM IMPORTE")) && db.exec(QStringLiteral("UPDATE ELEVE SET CSP = CSP - 1000"))
           && db.exec(QStringLiteral("COMMIT"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("usage: datafolder_child loop|hold|lock FOLDER"));
    const QString mode = args.at(1);
    const QString folder = args.at(2);

    if (mode == QLatin1String("lock")) {
        InstanceLock lock;
        if (!lock.acquire(folder))
            return fail(QStringLiteral("lock not acquired"));
        say("ready\n");
        for (;;)
            QThread::sleep(1);
    }
    if (mode == QLatin1String("hold")) {
        SqliteSupport::RawDatabase db;
        if (!db.open(DataFiles::LiveDatabase(folder), false) || !rewrite(db, false))
            return fail(db.error());
        say("ready\n");
        for (;;)
            QThread::sleep(1);
    }
    if (mode == QLatin1String("loop")) {
        say("ready\n");
        // Every other round leaves nothing to reclaim: both ways of compacting run.
        for (int round = 0;; ++round) {
            if (round % 2 == 0) {
                SqliteSupport::RawDatabase db;
                if (!db.open(DataFiles::LiveDatabase(folder), false) || !rewrite(db, true))
                    return fail(db.error());
            }
            QString error;
            if (!CompactDatabase(folder, &error))
                return fail(error);
            say(".");
        }
    }
    return fail(QStringLiteral("unknown mode ") + mode);
}
