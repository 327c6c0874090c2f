#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class Connection;
struct AppState;

// The scoring's reads and writes: a pupil's result fields in ELEVE, found by
// name within the current school and class, and the current class's row in
// CLASSE (Data2). Every command writes in one transaction, and only what
// changed, so that selecting a pupil whose profiles are up to date writes
// nothing.
class ResultStore
{
public:
    ResultStore(Connection &connection, AppState &state);

    // Every column of the pupil's ELEVE row, or nothing when the pupil is not
    // found in the current class.
    std::optional<QVariantMap> pupilFields(const QString &pupilName);

    // Stores `fields` (column -> value) into the pupil's row in one
    // transaction, then requeries the class's pupils keeping the pupil
    // current. False (and nothing stored) when the pupil is not found or the
    // database refuses.
    bool SaveResults(const QString &pupilName, const QVariantMap &fields, QString *error = nullptr);

    // Recomputes the pupil's domain profiles from its stored categories,
    // stores PROFIL_* and MOYCAT_*, and returns the four panel texts in display
    // order (CE1: PG, RM, CT, ARI). Empty when the pupil is not found.
    QStringList ComputePupilProfile(int level, const QString &pupilName);

    // Recomputes the current class's average categories and domain profiles
    // from its pupils' stored categories, stores them in its CLASSE row in one
    // transaction and returns the four panel texts in display order. Empty,
    // with nothing changed, when the class has no pupil or no class is selected.
    QStringList ComputeClassProfile(int level);

private:
    Connection &m_connection;
    AppState &m_state;
};
