#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>

class Connection;
class Session;

enum class RecordKind { School = 1, Class = 2, Pupil = 3 };

// The reads and writes of the record dialogs. A record is a row of ECOLE,
// CLASSE or ELEVE, found by the session's keys and then named by its
// bookmark, so that a dialog keeps editing the same row whatever the lists do
// meanwhile.
class RecordStore
{
public:
    using Values = QList<std::pair<QString, QVariant>>;

    RecordStore(Connection &connection, const Session &session);

    // The row of the session's school, class or pupil; invalid when there is none.
    QVariant selectedRow(RecordKind kind);
    // The key of a row: NOECOLE, NOCLASSE or NOELEVE.
    qint64 keyOf(RecordKind kind, const QVariant &row);
    QVariant value(RecordKind kind, const QVariant &row, const QString &column);

    // Writes `values` (column, value) into `row`, or into a new row when
    // `row` is invalid; `row` then names the new row. A new school is
    // numbered after the last row of the table (1 for the first one), a new
    // class after the largest number among its school's classes, and a new
    // pupil belongs to the session's school and class. A class's LIBELLE is
    // composed from its teacher and level. False, with a message for the
    // user and nothing written, when the number would pass 32767 or the
    // database refuses.
    bool write(RecordKind kind, QVariant &row, const Values &values, QString *error);

    // "Martin CP": the class label made of the teacher's name and the level.
    static QString ClassLabel(const QString &teacher, const QString &level);

private:
    Connection &m_connection;
    const Session &m_session;
};
