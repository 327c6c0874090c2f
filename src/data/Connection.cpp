#include "Connection.h"

#include "DataFiles.h"
#include "Migration.h"
#include "SqliteSupport.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QAtomicInt connectionCounter;

// Record sources: tables and views opened by the bound recordsets. The two
// filtered lists start empty and are filled by DonneFiltre/DonneFiltre2.
QString recordSourceOf(const QString &name)
{
    if (name == QLatin1String("VIEW_CLASSE") || name == QLatin1String("VIEW_ELEVE"))
        return {};
    return name;
}

// The table that edits made through a stored query go to.
QString baseTableOf(const QString &query)
{
    if (query == QLatin1String("VIEW_CLASSE"))
        return QStringLiteral("CLASSE");
    if (query == QLatin1String("VIEW_ELEVE"))
        return QStringLiteral("ELEVE");
    return {};
}

} // namespace

Connection::Connection() : m_connectionName(QStringLiteral("velorin-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{}

Connection::~Connection()
{
    CloseDatabase();
}

void Connection::setDataFolder(const QString &folder)
{
    m_dataFolder = DataFiles::WithTrailingSeparator(folder);
}

std::array<Recordset *, 10> Connection::recordsets()
{
    return {&ECOLE,       &CLASSE,        &ELEVE,   &VIEW_CLASSE, &VIEW_ELEVE,
            &CHANGEANNEE, &VIEW_PARCOURS, &IMPORTE, &VIEW_ANCIEN, &VIEW_IMPORTE};
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool Connection::OpenDatabase(QString *error)
{
    CloseDatabase();
    const QString path = DataFiles::LiveDatabase(m_dataFolder);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("le fichier %1 est introuvable dans %2").arg(DataFiles::Database, m_dataFolder);
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open() || !SqliteSupport::RegisterFrenchCollation(SqliteSupport::Handle(db)) ||
            !SqliteSupport::Harden(SqliteSupport::Handle(db))) {
            if (error)
                *error = db.lastError().text();
            db = QSqlDatabase();
            CloseDatabase();
            return false;
        }
        // A file of an older version is brought up to date before any use.
        QString why;
        if (!Migration::MigrateToCurrent(db, &why)) {
            if (error)
                *error = QStringLiteral("la mise à jour du fichier a échoué (%1)").arg(why);
            db = QSqlDatabase();
            CloseDatabase();
            return false;
        }
    }
    for (Recordset *rs : recordsets()) {
        rs->setConnectionName(m_connectionName);
        rs->setEnabled(true);
        rs->setRecordSource(recordSourceOf(rs->name()));
        if (!rs->refresh()) {
            if (error)
                *error = rs->lastError();
            CloseDatabase();
            return false;
        }
    }
    return true;
}

void Connection::CloseDatabase()
{
    for (Recordset *rs : recordsets()) {
        rs->setEnabled(false);
        rs->close();
    }
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

QString Connection::storedQuery(const QString &name, QString *error)
{
    // The program's own texts. The file's table REQUETES holds the same ones
    // for older copies of the program, but what a file holds is never run.
    static const QHash<QString, QString> queries = {
        {QStringLiteral("VIEW_CLASSE"),
         QStringLiteral("SELECT rowid AS RID, *, NIVEAU AS Niveau FROM CLASSE WHERE NOECOLE = :NO_ECOLE "
                        "ORDER BY LIBELLE COLLATE FRANCAIS, rowid")},
        {QStringLiteral("VIEW_ELEVE"),
         QStringLiteral("SELECT rowid AS RID, * FROM ELEVE WHERE NOECOLE = :NO_ECOLE AND NOCLASSE = :NO_CLASSE "
                        "ORDER BY NOM COLLATE FRANCAIS, rowid")},
        {QStringLiteral("SUP_ELEVE_ECOLE"), QStringLiteral("DELETE FROM ELEVE WHERE NOECOLE = :NO_ECOLE")},
        {QStringLiteral("SUP_CLASSE_ECOLE"), QStringLiteral("DELETE FROM CLASSE WHERE NOECOLE = :NO_ECOLE")},
        {QStringLiteral("SUP_ELEVE_CLASSE"),
         QStringLiteral("DELETE FROM ELEVE WHERE NOECOLE = :NO_ECOLE AND NOCLASSE = :NO_CLASSE")},
        {QStringLiteral("SUP_IMPORTE"), QStringLiteral("DELETE FROM IMPORTE")},
    };
    const QString sql = queries.value(name);
    if (sql.isEmpty() && error)
        *error = QStringLiteral("requête %1 introuvable").arg(name);
    return sql;
}

bool Connection::DonneFiltre(Recordset &xdata, const QString &vue, const QString &param, const QVariant &filtre)
{
    QString error;
    const QString sql = storedQuery(vue, &error);
    if (sql.isEmpty())
        return false;
    return xdata.openQuery(sql, {{param, filtre}}, baseTableOf(vue));
}

bool Connection::DonneFiltre2(Recordset &xdata, const QString &vue, const QString &param, const QVariant &filtre,
                              const QString &param2, const QVariant &filtre2)
{
    QString error;
    const QString sql = storedQuery(vue, &error);
    if (sql.isEmpty())
        return false;
    return xdata.openQuery(sql, {{param, filtre}, {param2, filtre2}}, baseTableOf(vue));
}

bool Connection::execute(const QString &sql, const QVariantMap &params, QString *error)
{
    QSqlQuery q(database());
    if (!q.prepare(sql)) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    return true;
}

bool Connection::executeStored(const QString &name, const QVariantMap &params, QString *error)
{
    const QString sql = storedQuery(name, error);
    return !sql.isEmpty() && execute(sql, params, error);
}

Connection::Transaction::Transaction(Connection &connection)
    : m_connection(connection), m_level(connection.m_transactionDepth)
{
    m_active =
        m_level == 0 ? connection.database().transaction() : run(QStringLiteral("SAVEPOINT velorin_%1").arg(m_level));
    if (m_active)
        ++m_connection.m_transactionDepth;
}

Connection::Transaction::~Transaction()
{
    if (!m_active)
        return;
    m_active = false;
    --m_connection.m_transactionDepth;
    if (m_level == 0) {
        m_connection.database().rollback();
    } else {
        run(QStringLiteral("ROLLBACK TO velorin_%1").arg(m_level));
        run(QStringLiteral("RELEASE velorin_%1").arg(m_level));
    }
}

bool Connection::Transaction::run(const QString &sql)
{
    QSqlQuery q(m_connection.database());
    return q.exec(sql);
}

bool Connection::Transaction::commit()
{
    if (!m_active)
        return false;
    if (m_level > 0) {
        if (!run(QStringLiteral("RELEASE velorin_%1").arg(m_level)))
            return false; // the destructor undoes this step's writes
        m_active = false;
        --m_connection.m_transactionDepth;
        return true;
    }
    m_active = false;
    --m_connection.m_transactionDepth;
    QSqlDatabase db = m_connection.database();
    if (db.commit())
        return true;
    // A commit that fails leaves nothing half-written: the transaction is rolled back.
    db.rollback();
    return false;
}
