#include "PupilExport.h"

#include "TransferFile.h"

#include "data/Connection.h"
#include "data/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace PupilExport {

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

bool Export(Connection &connection, const QString &folder, qint64 pupilKey, QString *error)
{
    // The columns the export view lists (the key is not among them), read
    // from ELEVE by the pupil's key.
    QStringList columns;
    {
        QSqlQuery q(connection.database());
        if (q.exec(QStringLiteral("SELECT name FROM pragma_table_info('VIEW_EXPORT')")))
            while (q.next())
                if (q.value(0).toString() != QLatin1String("Niveau"))
                    columns.append(QStringLiteral("ELEVE.\"%1\"").arg(q.value(0).toString()));
    }
    if (columns.isEmpty() || columns.contains(QStringLiteral("ELEVE.\"NOELEVE\"")))
        return fail(error, QStringLiteral("VIEW_EXPORT is missing or lists the key"));
    const QString templ = DataFiles::Resolve(connection.DataFolder(), DataFiles::ExportTemplate);
    if (templ.isEmpty())
        return fail(error, QStringLiteral("transfer template missing"));
    const QString dir = TransferFile::WithoutTrailingSeparator(folder);
    const QString target = QDir(dir).filePath(DataFiles::TransferFile);
    const QString partial = target + QStringLiteral(".part");

    QFile::remove(partial);
    if (!QFile::copy(templ, partial))
        return fail(error, QStringLiteral("cannot copy the template to ") + partial);
    // The template may be read-only; its copy must take the table.
    QFile::setPermissions(partial, QFile::permissions(partial) | QFile::WriteOwner | QFile::ReadOwner);

    qint64 copied = -1;
    {
        TransferFile file(connection, partial, false);
        if (!file.attached()) {
            QFile::remove(partial);
            return fail(error, file.error());
        }
        QSqlQuery q(connection.database());
        q.prepare(
            QStringLiteral("CREATE TABLE %1.ELEVE AS SELECT %2, CLASSE.NIVEAU AS Niveau FROM ELEVE "
                           "LEFT JOIN CLASSE ON CLASSE.NOECOLE = ELEVE.NOECOLE AND CLASSE.NOCLASSE = ELEVE.NOCLASSE "
                           "WHERE ELEVE.NOELEVE = :KEY")
                .arg(TransferFile::Schema, columns.join(QStringLiteral(", "))));
        q.bindValue(QStringLiteral(":KEY"), pupilKey);
        QString failure;
        if (!q.exec())
            failure = q.lastError().text();
        q.finish();
        if (failure.isEmpty() && q.exec(QStringLiteral("SELECT count(*) FROM %1.ELEVE").arg(TransferFile::Schema)) &&
            q.next())
            copied = q.value(0).toLongLong();
        q.finish();
        QString detachError;
        if (!file.detach(&detachError) && failure.isEmpty())
            failure = detachError;
        if (!failure.isEmpty()) {
            QFile::remove(partial);
            return fail(error, failure);
        }
    }
    if (copied != 1) {
        QFile::remove(partial);
        return fail(error, QStringLiteral("no pupil has this key"));
    }
    // An earlier transfer file, whatever the letter case of its name, is replaced.
    const QString earlier = DataFiles::Resolve(dir, DataFiles::TransferFile);
    if (!earlier.isEmpty() && QFileInfo(earlier).fileName() != DataFiles::TransferFile && !QFile::remove(earlier)) {
        QFile::remove(partial);
        return fail(error, QStringLiteral("cannot remove ") + earlier);
    }
    QString renameError;
    if (!DataFiles::RenameReplacing(partial, target, &renameError)) {
        QFile::remove(partial);
        return fail(error, renameError);
    }
    return true;
}

} // namespace PupilExport
