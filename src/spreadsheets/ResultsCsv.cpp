#include "ResultsCsv.h"

#include "CsvText.h"
#include "data/DataFiles.h"

#include <QFileInfo>
#include <QSaveFile>

namespace ResultsCsv {

QList<QStringList> Rows(const ClassResults &results)
{
    const QList<ResultColumn> columns = ResultColumns(results.level);
    QStringList header{QStringLiteral("Nom")};
    for (const ResultColumn &c : columns)
        header.append(c.label);
    header.append(QStringLiteral("Clé élève"));
    QList<QStringList> rows{header};
    for (const PupilResults &p : results.pupils) {
        QStringList row{p.name};
        for (const ResultColumn &c : columns) {
            const QVariant v = CellValue(c, p.fields);
            row.append(v.isValid() ? v.toString() : QString());
        }
        row.append(QString::number(p.key));
        rows.append(row);
    }
    return rows;
}

bool Write(const QString &path, const ClassResults &results, QString *error)
{
    // QSaveFile writes beside the target and renames over it at commit.
    QSaveFile file(path);
    const QString shown = QFileInfo(path).fileName();
    if (!file.open(QIODevice::WriteOnly) || file.write(CsvText::Encode(Rows(results))) < 0 || !file.commit()) {
        *error =
            QStringLiteral("Le fichier « %1 » n'a pas pu être écrit : %2").arg(shown, DataFiles::FrenchReason(file));
        return false;
    }
    DataFiles::SyncPath(QFileInfo(path).absolutePath());
    return true;
}

} // namespace ResultsCsv
