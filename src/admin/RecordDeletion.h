#pragma once

#include <QString>
#include <QVariant>

class Connection;

// The deletions of the administration commands. Each runs in one
// transaction: on any failure nothing is deleted and `error` says why. The
// archive PARCOURS and the log CHANGEANNEE are never touched.

// The school's pupils, then its classes, then the school itself.
bool DeleteSchool(Connection &connection, qint16 school, QString *error);
// The class's pupils, then the class itself.
bool DeleteClass(Connection &connection, qint16 school, qint16 klass, QString *error);
// One pupil with all its results, by its key.
bool DeletePupil(Connection &connection, qint64 pupilKey, QString *error);
