// A process that works on a data folder until the test kills it:
//   datafolder_child loop FOLDER   rewrite a transaction and compact, forever
//   datafolder_child hold FOLDER   leave a large transaction uncommitted
//   datafolder_child lock FOLDER   hold the folder's instance lock
// It writes "ready" once the state the test waits for is reached, then one "." per finished round (loop mode).
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

// Changes every pupil, fills IMPORTE with bulky rows and, when `finish`, undoes both and commits: the committed
// content stays the same, the file gains free pages (so the next compaction rebuilds it). A tiny page cache makes the
// engine write the uncommitted pages into the file itself, so a kill leaves a hot journal that must be rolled back.
bool rewrite(SqliteSupport::RawDatabase &db, const QString &folder, bool finish)
{
    QStringList steps{"PRAGMA cache_size = 4", "BEGIN", "UPDATE ELEVE SET CSP = CSP + 1000",
                      "INSERT INTO IMPORTE (NOM) SELECT hex(randomblob(400)) FROM ELEVE"};
    if (finish)
        steps << "DELETE FROM IMPORTE"
              << "UPDATE ELEVE SET CSP = CSP - 1000"
              << "COMMIT";
    bool ok = db.open(DataFiles::LiveDatabase(folder), false);
    for (const QString &sql : steps)
        ok = ok && db.exec(sql);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("usage: datafolder_child loop|hold|lock FOLDER"));
    const QString mode = args.at(1), folder = args.at(2);
    SqliteSupport::RawDatabase db;
    InstanceLock lock;
    if (mode == QLatin1String("lock") || mode == QLatin1String("hold")) {
        if (mode == QLatin1String("lock") ? !lock.acquire(folder) : !rewrite(db, folder, false))
            return fail(mode + QStringLiteral(" failed ") + db.error());
        say("ready\n");
        for (;;)
            QThread::sleep(1);
    }
    if (mode != QLatin1String("loop"))
        return fail(QStringLiteral("unknown mode ") + mode);
    say("ready\n");
    // Every other round leaves nothing to reclaim: both ways of compacting run.
    for (int round = 0;; ++round) {
        if (round % 2 == 0 && !rewrite(db, folder, true))
            return fail(db.error());
        db.close();
        QString error;
        if (!CompactDatabase(folder, &error))
            return fail(error);
        say(".");
    }
}
