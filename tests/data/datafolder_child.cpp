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

// Changes every pupil, fills IMPORTE with bulky rows and, when `finish`, undoes both and commits: the committed
// content stays the same, the file gains free pages (so the next compaction rebuilds it). A tiny page cache makes the
// engine write the uncommitted pages into the file itself, so a kill leaves a hot journal that must be rolled back.
bool rewrite(SqliteSupport::RawDatabase &db, const QString &folder, bool finish)
{
    const SqliteSupport::AdministrativeStep tinyCache;
    return db.open(DataFiles::LiveDatabase(folder), false) &&
           db.exec(QStringLiteral("PRAGMA cache_size = 4; BEGIN; UPDATE ELEVE SET CSP = CSP + 1000;"
                                  "INSERT INTO IMPORTE (NOM) SELECT hex(randomblob(400)) FROM ELEVE;") +
                   (finish ? "DELETE FROM IMPORTE; UPDATE ELEVE SET CSP = CSP - 1000; COMMIT" : ""));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1), folder = app.arguments().value(2);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    SqliteSupport::RawDatabase db;
    InstanceLock lock;
    QString error;
    if (mode == "lock" ? !lock.acquire(folder) : mode == "hold" ? !rewrite(db, folder, false) : mode != "loop")
        qFatal("%s %s failed: %s", qPrintable(mode), qPrintable(folder), qPrintable(db.error()));
    std::fputs("ready\n", stdout);
    // Every other round leaves nothing to reclaim: both ways of compacting run.
    for (int round = 0; mode == "loop"; ++round) {
        if (round % 2 == 0 && !rewrite(db, folder, true))
            qFatal("%s", qPrintable(db.error()));
        db.close();
        if (!CompactDatabase(folder, &error))
            qFatal("%s", qPrintable(error));
        std::fputs(".", stdout);
    }
    for (;;)
        QThread::sleep(1);
}
