#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class Connection;

// The scoring's reads and writes: a pupil's result fields in ELEVE, found by
// the pupil's key, and a class's row in CLASSE. Every command writes in one
// transaction, and only what changed, so that selecting a pupil whose
// profiles are up to date writes nothing. Errors are English details for the
// windows' French messages.
class ResultStore
{
public:
    explicit ResultStore(Connection &connection);

    // Every column of the pupil's ELEVE row, or nothing when no pupil has the key.
    std::optional<QVariantMap> pupilFields(qint64 key);

    // Stores `fields` (column -> value) into the pupil's row in one
    // transaction. False (and nothing stored) when the pupil is not found or
    // the database refuses.
    bool SaveResults(qint64 key, const QVariantMap &fields, QString *error = nullptr);
    // The same for several pupils whose maps name the same columns, with one
    // statement prepared once: a class's results stored together. False, and
    // nothing stored, when a pupil is not found or the database refuses.
    bool SaveResultsOfPupils(const QList<std::pair<qint64, QVariantMap>> &pupils, QString *error = nullptr);

    // Recomputes the pupil's domain profiles from its stored categories,
    // stores PROFIL_* and MOYCAT_*, and returns the four panel texts in display
    // order (CE1: PG, RM, CT, ARI). Empty when the pupil is not found. When
    // the file refuses the write the texts are still returned, with `error` set.
    QStringList ComputePupilProfile(int level, qint64 key, QString *error = nullptr);

    // Recomputes the class's average categories and domain profiles from its
    // pupils' stored categories, stores them in its CLASSE row and returns the
    // four panel texts in display order. Empty, with nothing changed, when the
    // class has no pupil. `error` is set when a read or the write fails.
    QStringList ComputeClassProfile(int level, int schoolNo, int classNo, QString *error = nullptr);

    // Every pupil's domain profiles of the class, then the class's, in one
    // transaction: what the synthesis reads is then up to date.
    bool RefreshClassProfiles(int level, int schoolNo, int classNo, QString *error = nullptr);

private:
    Connection &m_connection;
};
