#pragma once

#include <QString>

class Connection;

// A transfer file attached to the program's connection under the schema name
// "TRANSFERT", detached when the guard goes. Attaching is refused inside a
// transaction: attach first, then open the transaction.
class TransferFile
{
public:
    static const QString Schema;

    TransferFile(Connection &connection, const QString &path, bool readOnly);
    ~TransferFile();
    TransferFile(const TransferFile &) = delete;
    TransferFile &operator=(const TransferFile &) = delete;

    bool attached() const { return m_attached; }
    const QString &error() const { return m_error; }
    bool detach(QString *error = nullptr);

    // The folder's "EXPORT.mdb" whatever the letter case on disk, or the exact
    // name when there is none.
    static QString PathIn(const QString &folder);
    // `folder` without a trailing separator (a root stays a root).
    static QString WithoutTrailingSeparator(const QString &folder);

private:
    Connection &m_connection;
    bool m_attached = false;
    QString m_error;
};
