#include "TransferFile.h"

#include "data/Connection.h"
#include "data/DataFiles.h"
#include "data/SqliteSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <sqlite3.h>

const QString TransferFile::Schema = QStringLiteral("TRANSFERT");

TransferFile::TransferFile(Connection &connection, const QString &path, bool readOnly) : m_connection(connection)
{
    QSqlQuery q(connection.database());
    // The path is bound, never pasted; read-only through a URI so that an
    // untrusted file can neither be written nor have a journal replayed into it.
    QString name = path;
    if (readOnly) {
        QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        url.setQuery(QStringLiteral("mode=ro"));
        name = QString::fromUtf8(url.toEncoded());
    }
    const SqliteSupport::AdministrativeStep attaching;
    if (!q.prepare(QStringLiteral("ATTACH DATABASE :FILE AS ") + Schema)) {
        m_error = q.lastError().text();
        return;
    }
    q.bindValue(QStringLiteral(":FILE"), name);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return;
    }
    m_attached = true;
    if (readOnly && sqlite3_db_readonly(SqliteSupport::Handle(connection.database()), "TRANSFERT") != 1) {
        detach();
        m_error = QStringLiteral("le fichier de transfert ne peut pas être ouvert en lecture");
    }
}

TransferFile::~TransferFile()
{
    detach();
}

bool TransferFile::detach(QString *error)
{
    if (!m_attached)
        return true;
    QSqlQuery q(m_connection.database());
    const SqliteSupport::AdministrativeStep detaching;
    if (!q.exec(QStringLiteral("DETACH DATABASE ") + Schema)) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    m_attached = false;
    return true;
}

QString TransferFile::PathIn(const QString &folder)
{
    const QString found = DataFiles::Resolve(folder, DataFiles::TransferFile);
    return found.isEmpty() ? QDir(folder).filePath(DataFiles::TransferFile) : found;
}

QString TransferFile::WithoutTrailingSeparator(const QString &folder)
{
    QString f = folder;
    while (f.size() > 1 && (f.endsWith(QLatin1Char('/')) || f.endsWith(QLatin1Char('\\'))) &&
           !(f.size() == 3 && f.at(1) == QLatin1Char(':')))
        f.chop(1);
    return f;
}
