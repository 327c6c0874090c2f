#pragma once

#include "Recordset.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>

#include <array>

// The one connection to the data folder's database and the ten recordsets
// through which the windows reach it. Only the backup and restore close it
// while the program runs.
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Data folder with its trailing separator.
    void setDataFolder(const QString &folder);
    const QString &DataFolder() const { return m_dataFolder; }

    bool OpenDatabase(QString *error = nullptr);
    void CloseDatabase();
    bool isOpen() const;
    QSqlDatabase database() const;

    // Opens the stored query `vue` with its parameter(s) and makes the result
    // the current rows of `xdata`.
    bool DonneFiltre(Recordset &xdata, const QString &vue, const QString &param, const QVariant &filtre);
    bool DonneFiltre2(Recordset &xdata, const QString &vue, const QString &param, const QVariant &filtre,
                      const QString &param2, const QVariant &filtre2);

    // The SQL text of one of the program's named queries (named parameters).
    QString storedQuery(const QString &name, QString *error = nullptr);
    // Runs a stored action query (a SUP_ query) with its parameters.
    bool executeStored(const QString &name, const QVariantMap &params, QString *error = nullptr);
    // Runs a statement; values are bound by name (":NAME" in the text, "NAME" in the map).
    bool execute(const QString &sql, const QVariantMap &params = {}, QString *error = nullptr);

    // One transaction per user command: rolled back unless commit() is called.
    // A transaction begun while another is open nests inside it (a savepoint):
    // its commit keeps its writes for the outer commit, its rollback undoes
    // only them. A command made of several steps thus costs one disk commit.
    class Transaction
    {
    public:
        explicit Transaction(Connection &connection);
        ~Transaction();
        bool commit();
        bool active() const { return m_active; }

    private:
        bool run(const QString &sql);

        Connection &m_connection;
        int m_level = 0; // 0 outermost, then savepoint numbers
        bool m_active = false;
    };

    Recordset ECOLE{QStringLiteral("ECOLE")};
    Recordset CLASSE{QStringLiteral("CLASSE")};
    Recordset ELEVE{QStringLiteral("ELEVE")};
    Recordset VIEW_CLASSE{QStringLiteral("VIEW_CLASSE")};
    Recordset VIEW_ELEVE{QStringLiteral("VIEW_ELEVE")};
    Recordset CHANGEANNEE{QStringLiteral("CHANGEANNEE")};
    Recordset VIEW_PARCOURS{QStringLiteral("VIEW_PARCOURS")};
    Recordset IMPORTE{QStringLiteral("IMPORTE")};
    Recordset VIEW_ANCIEN{QStringLiteral("VIEW_ANCIEN")};
    Recordset VIEW_IMPORTE{QStringLiteral("VIEW_IMPORTE")};

    // In the order the database is opened.
    std::array<Recordset *, 10> recordsets();

private:
    QString m_connectionName;
    QString m_dataFolder;
    int m_transactionDepth = 0;
};
