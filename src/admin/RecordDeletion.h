#pragma once

#include <QString>
#include <QVariant>

class Connection;

// The deletions of the administration commands. Each runs in one
// transaction: on any failure nothing is deleted and `error` says why. The
// archive PARCOURS and the log CHANGEANNEE are never touched.

// The current school's pupils, then its classes, then the school itself
// (the current row of Data1).
bool DeleteSchool(Connection &connection, qint16 school, QString *error);
// The class's pupils, then the class itself (the current row of Data2).
bool DeleteClass(Connection &connection, qint16 school, qint16 klass, QString *error);
// One pupil with all its results: the ELEVE row `pupilRow`.
bool DeletePupil(Connection &connection, const QVariant &pupilRow, QString *error);
