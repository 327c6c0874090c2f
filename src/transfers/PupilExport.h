#pragma once

#include <QString>

class Connection;

// Sending one pupil, with all its results, to another school: the transfer
// file "EXPORT.mdb" made from the data folder's template "Export.vid".
namespace PupilExport {

// Writes `folder`/EXPORT.mdb holding a table ELEVE (the columns of
// VIEW_EXPORT) with the pupil of the class shown as `shownName` in the pupil
// list. The stored name is matched as shown, or else without its surrounding
// blanks. The file is built beside the target and renamed over it only when it
// holds the pupil: a failed export leaves the folder as it was.
bool Export(Connection &connection, const QString &folder, qint16 school, qint16 klass, const QString &shownName,
            QString *error);

} // namespace PupilExport
