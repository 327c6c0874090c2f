#pragma once

#include <QString>

class Connection;

// Sending one pupil, with all its results, to another school: the transfer
// file "EXPORT.mdb" made from the data folder's template "Export.vid".
namespace PupilExport {

// Writes `folder`/EXPORT.mdb holding a table ELEVE (the columns of
// VIEW_EXPORT, which leave the key behind) with the pupil of key `pupilKey`.
// The file is built beside the target and renamed over it only when it holds
// the pupil: a failed export leaves the folder as it was.
bool Export(Connection &connection, const QString &folder, qint64 pupilKey, QString *error);

} // namespace PupilExport
