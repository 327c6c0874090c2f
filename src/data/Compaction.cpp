#include "Compaction.h"

#include "DataFiles.h"
#include "Schema.h"
#include "SqliteSupport.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

using SqliteSupport::RawDatabase;

namespace {

void removeWithJournal(const QString &path)
{
    if (path.isEmpty())
        return;
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

bool stepDone(CompactionStepHook hook, const char *step, QString *error)
{
    if (!hook || hook(step))
        return true;
    if (error)
        *error = QStringLiteral("interrompu après l'étape %1").arg(QLatin1String(step));
    return false;
}

bool isDamage(int code)
{
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

bool pageCopy(RawDatabase &source, const QString &target, QString *error, bool *damaged)
{
    RawDatabase dest;
    // The target is the program's own new file: no journal while it is written.
    const SqliteSupport::AdministrativeStep writing(dest.open(target, true) ? dest.handle() : nullptr);
    if (!dest.handle() || !dest.exec(QStringLiteral("PRAGMA journal_mode = OFF")) ||
        !dest.exec(QStringLiteral("PRAGMA synchronous = OFF"))) {
        *error = dest.error();
        return false;
    }
    sqlite3_backup *backup = sqlite3_backup_init(dest.handle(), "main", source.handle(), "main");
    if (!backup) {
        *error = QString::fromUtf8(sqlite3_errmsg(dest.handle()));
        return false;
    }
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        *damaged = isDamage(rc);
        *error = QString::fromUtf8(sqlite3_errstr(rc));
        return false;
    }
    return true;
}

// Nothing to reclaim: the file's bytes already are the compacted file. They
// are copied as a file (in the kernel where the system can), under a read
// transaction that keeps writers out; a page-by-page copy through SQLite
// costs twice as much on a large file. A file in WAL mode, whose latest pages
// may sit in its -wal file, goes through SQLite.
bool fileCopy(RawDatabase &source, const QString &live, const QString &target, QString *error, bool *damaged)
{
    QStringList mode;
    if (!source.queryTexts(QStringLiteral("PRAGMA journal_mode"), &mode) ||
        mode.value(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0)
        return pageCopy(source, target, error, damaged);
    qint64 tables = 0;
    if (!source.exec(QStringLiteral("BEGIN")) ||
        !source.queryInt(QStringLiteral("SELECT count(*) FROM sqlite_master"), &tables)) {
        *damaged = isDamage(source.errorCode());
        *error = source.error();
        source.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    QFile in(live);
    QFile out(target);
    bool ok = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    qint64 copied = 0;
    const qint64 size = ok ? in.size() : 0;
#ifdef Q_OS_LINUX
    while (ok && copied < size) {
        const ssize_t n = ::copy_file_range(in.handle(), nullptr, out.handle(), nullptr, size_t(size - copied), 0);
        if (n <= 0)
            break; // not supported here, or failed: the loop below finishes the copy
        copied += n;
    }
    ok = ok && in.seek(copied) && out.seek(copied);
#endif
    QByteArray buffer;
    while (ok && copied < size) {
        buffer.resize(1 << 20);
        const qint64 n = in.read(buffer.data(), buffer.size());
        ok = n > 0 && out.write(buffer.constData(), n) == n;
        copied += n;
    }
    ok = ok && out.flush();
    if (!ok)
        *error = DataFiles::FrenchReason(out.error() != QFileDevice::NoError ? out : in);
    out.close();
    in.close();
    source.exec(QStringLiteral("COMMIT"));
    return ok;
}

} // namespace

bool CompactDatabase(const QString &dataFolder, QString *error, CompactionReport *report, CompactionStepHook hook)
{
    CompactionReport local;
    CompactionReport &r = report ? *report : local;
    QString ignored;
    QString &why = error ? *error : ignored;
    const QDir folder(dataFolder);

    removeWithJournal(DataFiles::Resolve(dataFolder, DataFiles::CompactionTarget));
    if (!stepDone(hook, "target-removed", error))
        return false;

    const QString live = DataFiles::LiveDatabase(dataFolder);
    if (live.isEmpty()) {
        why = QStringLiteral("le fichier %1 est introuvable").arg(DataFiles::Database);
        return false;
    }
    const QString target = folder.filePath(DataFiles::CompactionTarget);
    {
        RawDatabase source;
        // Opened for writing so that a transaction left unfinished by a crash
        // (a hot journal beside the file) is rolled back before the copy.
        if (!source.open(live, false) || !source.queryInt(QStringLiteral("PRAGMA page_count"), &r.pages) ||
            !source.queryInt(QStringLiteral("PRAGMA freelist_count"), &r.freePages)) {
            r.damaged = isDamage(source.errorCode());
            why = source.error();
            return false;
        }
        // Few free pages: nothing worth a rebuild.
        r.rebuilt = r.freePages > 8 && r.freePages * 100 > r.pages;
        bool ok;
        if (r.rebuilt) {
            sqlite3_stmt *stmt = nullptr;
            const SqliteSupport::AdministrativeStep vacuuming(source.handle());
            ok = sqlite3_prepare_v2(source.handle(), "VACUUM INTO ?", -1, &stmt, nullptr) == SQLITE_OK;
            if (ok) {
                const QByteArray path = target.toUtf8();
                sqlite3_bind_text(stmt, 1, path.constData(), int(path.size()), SQLITE_TRANSIENT);
                ok = sqlite3_step(stmt) == SQLITE_DONE;
            }
            sqlite3_finalize(stmt);
            if (!ok) {
                r.damaged = isDamage(sqlite3_extended_errcode(source.handle()));
                why = QString::fromUtf8(sqlite3_errmsg(source.handle()));
            }
        } else {
            ok = fileCopy(source, live, target, &why, &r.damaged);
        }
        if (!ok) {
            removeWithJournal(target);
            return false;
        }
    }
    DataFiles::SyncPath(target);
    if (!stepDone(hook, "compacted", error))
        return false;

    removeWithJournal(DataFiles::Resolve(dataFolder, DataFiles::PreviousDatabase));
    if (!stepDone(hook, "backup-removed", error))
        return false;
    // A journal left beside the live file by a killed process is no longer hot
    // (reading the file above rolled a hot one back); it must not stay behind
    // under the name of the file that takes the live file's place.
    QFile::remove(live + QStringLiteral("-journal"));
    if (!DataFiles::RenameReplacing(live, folder.filePath(DataFiles::PreviousDatabase), error))
        return false;
    if (!stepDone(hook, "live-renamed", error))
        return false;
    if (!DataFiles::RenameReplacing(target, folder.filePath(DataFiles::CompactedDatabase), error))
        return false;
    return stepDone(hook, "target-renamed", error);
}

bool CompleteInterruptedCompaction(const QString &dataFolder)
{
    if (!DataFiles::LiveDatabase(dataFolder).isEmpty())
        return false;
    const QString target = DataFiles::Resolve(dataFolder, DataFiles::CompactionTarget);
    if (target.isEmpty() || !Schema::CheckDatabaseFile(target, true).sound())
        return false;
    return DataFiles::RenameReplacing(target, QDir(dataFolder).filePath(DataFiles::CompactedDatabase), nullptr);
}
