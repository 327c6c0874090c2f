#include "CsvText.h"

#include "common/Limits.h"
#include "common/TextUtil.h"
#include "data/DataFiles.h"

#include <QFile>
#include <QFileInfo>

namespace CsvText {

namespace {

QString quoted(const QString &field)
{
    static const QString special = QStringLiteral(";\"\r\n");
    bool needs = false;
    for (const QChar c : field)
        needs = needs || special.contains(c);
    if (!needs)
        return field;
    return QLatin1Char('"') + QString(field).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace

QByteArray Encode(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        QStringList fields;
        fields.reserve(row.size());
        for (const QString &f : row)
            fields.append(quoted(f));
        text += fields.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool Parse(const QString &text, const QString &shown, int maxRecords, QList<QStringList> *rows, QList<int> *lines,
           QString *error)
{
    rows->clear();
    if (lines)
        lines->clear();
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto fail = [&](int at, const QString &why) {
        *error = QStringLiteral("Le fichier « %1 » est refusé : ligne %2, %3").arg(shown).arg(at).arg(why);
        rows->clear();
        return false;
    };
    if (n > 0 && text.at(0) == QChar(0xFEFF))
        i = 1;
    while (i < n) {
        const int start = line;
        const qsizetype recordStart = i;
        QStringList record;
        QString field;
        bool ended = false;
        while (!ended) {
            field.clear();
            if (i < n && text.at(i) == QLatin1Char('"')) {
                ++i;
                for (;;) {
                    if (i >= n)
                        return fail(start, QStringLiteral("un champ entre guillemets n'est pas fermé."));
                    const QChar c = text.at(i++);
                    if (c == QLatin1Char('"')) {
                        if (i < n && text.at(i) == QLatin1Char('"')) {
                            field += c;
                            ++i;
                            continue;
                        }
                        break;
                    }
                    if (c == QLatin1Char('\n') ||
                        (c == QLatin1Char('\r') && (i >= n || text.at(i) != QLatin1Char('\n'))))
                        ++line;
                    field += c;
                    if (field.size() > Limits::CellLength)
                        break;
                }
                // What follows a closing quote up to the separator is kept, as spreadsheets do.
                while (i < n && text.at(i) != QLatin1Char(';') && text.at(i) != QLatin1Char('\r') &&
                       text.at(i) != QLatin1Char('\n'))
                    field += text.at(i++);
            } else {
                while (i < n && text.at(i) != QLatin1Char(';') && text.at(i) != QLatin1Char('\r') &&
                       text.at(i) != QLatin1Char('\n'))
                    field += text.at(i++);
            }
            if (field.size() > Limits::CellLength)
                return fail(start, QStringLiteral("un champ dépasse %1 caractères.").arg(Limits::CellLength));
            record.append(field);
            if (record.size() > Limits::SpreadsheetColumns)
                return fail(start, QStringLiteral("plus de %1 colonnes.").arg(Limits::SpreadsheetColumns));
            if (i - recordStart > Limits::CsvLineLength)
                return fail(start, QStringLiteral("la ligne dépasse %1 caractères.").arg(Limits::CsvLineLength));
            if (i < n && text.at(i) == QLatin1Char(';')) {
                ++i;
                continue;
            }
            ended = true;
            if (i < n && text.at(i) == QLatin1Char('\r'))
                ++i;
            if (i < n && text.at(i) == QLatin1Char('\n'))
                ++i;
            ++line;
        }
        const bool blank = record.size() == 1 && record.constFirst().trimmed().isEmpty();
        if (blank)
            continue;
        if (rows->size() >= maxRecords)
            return fail(start, QStringLiteral("le fichier compte plus de %1 lignes.").arg(maxRecords));
        rows->append(record);
        if (lines)
            lines->append(start);
    }
    return true;
}

bool ReadFile(const QString &path, qint64 maxBytes, QString *text, QString *error)
{
    const QString shown = QFileInfo(path).fileName();
    const QString problem = DataFiles::RegularFileProblem(path);
    if (!problem.isEmpty()) {
        *error = problem;
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(shown);
        return false;
    }
    const QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(shown);
        return false;
    }
    if (bytes.size() > maxBytes) {
        *error = QStringLiteral("Le fichier « %1 » dépasse %2 Ko, la plus grande taille acceptée.")
                     .arg(shown, QString::number(maxBytes / 1024));
        return false;
    }
    *text = DecodeUtf8OrWindows1252(bytes);
    return true;
}

} // namespace CsvText
