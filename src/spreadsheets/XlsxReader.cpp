#include "XlsxReader.h"

#include "common/Limits.h"
#include "common/ZipSupport.h"
#include "data/DataFiles.h"

#include <QFileInfo>
#include <QHash>
#include <QXmlStreamReader>

#include <cmath>

namespace XlsxReader {

namespace {

constexpr int MaxParts = 1000;

class Reader
{
public:
    Reader(const QString &path) : m_shown(QFileInfo(path).fileName()) {}

    bool run(const QString &path, QList<Sheet> *sheets, QString *error);

private:
    bool part(const QString &name, QByteArray *bytes);
    bool fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("Le classeur « %1 » est refusé : %2").arg(m_shown, why);
        return false;
    }
    bool xmlFailed(const QXmlStreamReader &xml, const QString &name)
    {
        return fail(QStringLiteral("la partie « %1 » n'est pas du XML valide (ligne %2 : %3).")
                        .arg(name)
                        .arg(xml.lineNumber())
                        .arg(xml.errorString()));
    }
    QHash<QString, QString> relationships(const QString &name, const QString &base);
    bool sharedStrings(const QString &name);
    bool sheet(const QString &name, Sheet *out);

    QString m_shown;
    QString m_error;
    ZipSupport::Archive m_archive;
    QStringList m_strings;
    QHash<QString, QString> m_types; // target -> relationship type
};

QString resolved(const QString &base, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    QStringList parts = (base + target).split(QLatin1Char('/'));
    QStringList out;
    for (const QString &p : parts) {
        if (p == QLatin1String(".."))
            out.isEmpty() ? void() : out.removeLast();
        else if (!p.isEmpty() && p != QLatin1String("."))
            out.append(p);
    }
    return out.join(QLatin1Char('/'));
}

// "BC12" -> column 54, row 11; false when it is no cell reference.
bool cellReference(QStringView ref, int *row, int *column)
{
    int c = 0;
    qsizetype i = 0;
    while (i < ref.size() && ref.at(i).isLetter() && ref.at(i).unicode() < 128) {
        c = c * 26 + (ref.at(i).toUpper().unicode() - 'A' + 1);
        if (c > 100000)
            return false;
        ++i;
    }
    bool ok = false;
    const int r = ref.mid(i).toInt(&ok);
    if (i == 0 || !ok || r < 1)
        return false;
    *row = r - 1;
    *column = c - 1;
    return true;
}

QString numberText(const QString &v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (ok && std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(qint64(d));
    return v.trimmed();
}

bool Reader::part(const QString &name, QByteArray *bytes)
{
    QString why;
    if (!m_archive.read(name, Limits::SpreadsheetPartBytes, Limits::ZipRatio, qint64(1) << 20, bytes, &why)) {
        m_error = why;
        return false;
    }
    return true;
}

QHash<QString, QString> Reader::relationships(const QString &name, const QString &base)
{
    QHash<QString, QString> byId;
    QByteArray bytes;
    if (!m_archive.contains(name) || !part(name, &bytes))
        return byId;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD) {
            fail(QStringLiteral("la partie « %1 » déclare une DTD.").arg(name));
            return {};
        }
        if (xml.isStartElement() && xml.name() == QLatin1String("Relationship")) {
            // External targets (links to other files) are never followed.
            if (xml.attributes().value(QLatin1String("TargetMode")) == QLatin1String("External"))
                continue;
            const QString target = resolved(base, xml.attributes().value(QLatin1String("Target")).toString());
            byId.insert(xml.attributes().value(QLatin1String("Id")).toString(), target);
            m_types.insert(target, xml.attributes().value(QLatin1String("Type")).toString());
        }
    }
    if (xml.hasError())
        xmlFailed(xml, name);
    return byId;
}

// The text of an <si> or <is> element: its <t>, or its runs' <t> joined.
QString richText(QXmlStreamReader &xml)
{
    QString text;
    const QString end = xml.name().toString();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("t"))
            text += xml.readElementText();
        else if (xml.isStartElement() && (xml.name() == QLatin1String("rPh") || xml.name() == QLatin1String("rPr")))
            xml.skipCurrentElement(); // phonetic hints and run formats are no text
        else if (xml.isEndElement() && xml.name() == end)
            break;
        if (text.size() > Limits::CellLength)
            break;
    }
    return text;
}

bool Reader::sharedStrings(const QString &name)
{
    QByteArray bytes;
    if (!part(name, &bytes))
        return false;
    QXmlStreamReader xml(bytes);
    const qsizetype most = qsizetype(Limits::SpreadsheetRows) * Limits::SpreadsheetColumns;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return fail(QStringLiteral("la partie « %1 » déclare une DTD.").arg(name));
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
            m_strings.append(richText(xml));
            if (m_strings.constLast().size() > Limits::CellLength)
                return fail(QStringLiteral("un texte dépasse %1 caractères.").arg(Limits::CellLength));
            if (m_strings.size() > most)
                return fail(QStringLiteral("plus de %1 textes partagés.").arg(most));
        }
    }
    return !xml.hasError() || xmlFailed(xml, name);
}

bool Reader::sheet(const QString &name, Sheet *out)
{
    QByteArray bytes;
    if (!part(name, &bytes))
        return false;
    QXmlStreamReader xml(bytes);
    int row = -1;
    int nextColumn = 0;
    const auto place = [&](int r, int c, const QString &value) {
        if (r >= Limits::SpreadsheetRows)
            return fail(
                QStringLiteral("la feuille « %1 » dépasse %2 lignes.").arg(out->name).arg(Limits::SpreadsheetRows));
        if (c >= Limits::SpreadsheetColumns)
            return fail(QStringLiteral("la feuille « %1 » dépasse %2 colonnes.")
                            .arg(out->name)
                            .arg(Limits::SpreadsheetColumns));
        if (value.size() > Limits::CellLength)
            return fail(QStringLiteral("la cellule %1%2 de la feuille « %3 » dépasse %4 caractères.")
                            .arg(ColumnName(c))
                            .arg(r + 1)
                            .arg(out->name)
                            .arg(Limits::CellLength));
        if (value.isEmpty())
            return true;
        while (out->rows.size() <= r)
            out->rows.append(QStringList());
        QStringList &cells = out->rows[r];
        while (cells.size() <= c)
            cells.append(QString());
        cells[c] = value;
        return true;
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return fail(QStringLiteral("la partie « %1 » déclare une DTD.").arg(name));
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            bool ok = false;
            const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
            row = ok && r >= 1 ? r - 1 : row + 1;
            nextColumn = 0;
        } else if (xml.name() == QLatin1String("c")) {
            int r = std::max(row, 0);
            int c = nextColumn;
            const QStringView ref = xml.attributes().value(QLatin1String("r"));
            if (!ref.isEmpty() && !cellReference(ref, &r, &c))
                return fail(QStringLiteral("la référence de cellule « %1 » n'est pas valide.").arg(ref.toString()));
            if (r >= Limits::SpreadsheetRows || c >= Limits::SpreadsheetColumns)
                return place(r, c, QString());
            nextColumn = c + 1;
            const QString type = xml.attributes().value(QLatin1String("t")).toString();
            QString value;
            bool hasValue = false;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                    break;
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("v")) {
                    value = xml.readElementText();
                    hasValue = true;
                } else if (xml.name() == QLatin1String("is")) {
                    value = richText(xml);
                    hasValue = true;
                } else {
                    xml.skipCurrentElement(); // <f>: the formula; its result is <v>
                }
            }
            if (!hasValue)
                continue;
            if (type == QLatin1String("s")) {
                bool ok = false;
                const int index = value.toInt(&ok);
                if (!ok || index < 0 || index >= m_strings.size())
                    return fail(QStringLiteral("la cellule %1%2 renvoie à un texte partagé qui n'existe pas.")
                                    .arg(ColumnName(c))
                                    .arg(r + 1));
                value = m_strings.at(index);
            } else if (type == QLatin1String("b")) {
                value = value.trimmed() == QLatin1String("1") ? QStringLiteral("VRAI") : QStringLiteral("FAUX");
            } else if (type.isEmpty() || type == QLatin1String("n")) {
                value = numberText(value);
            } // "str" (a formula's text), "inlineStr", "e" (an error code): as written
            if (!place(r, c, value))
                return false;
        }
    }
    return !xml.hasError() || xmlFailed(xml, name);
}

bool Reader::run(const QString &path, QList<Sheet> *sheets, QString *error)
{
    const auto done = [&](bool ok) {
        if (!ok)
            *error = m_error;
        return ok;
    };
    const QString problem = DataFiles::RegularFileProblem(path);
    if (!problem.isEmpty()) {
        m_error = problem;
        return done(false);
    }
    if (QFileInfo(path).size() > Limits::SpreadsheetBytes)
        return done(fail(QStringLiteral("il dépasse %1 Mo.").arg(Limits::SpreadsheetBytes / (1024 * 1024))));
    if (!m_archive.open(path, MaxParts, &m_error)) {
        m_error = QStringLiteral("« %1 » n'est pas un classeur XLSX lisible : %2").arg(m_shown, m_error);
        return done(false);
    }
    // The workbook part, named by the package's relationships.
    QString workbook = QStringLiteral("xl/workbook.xml");
    const QHash<QString, QString> top = relationships(QStringLiteral("_rels/.rels"), QString());
    for (auto it = top.cbegin(); it != top.cend(); ++it)
        if (m_types.value(it.value()).endsWith(QLatin1String("/officeDocument")))
            workbook = it.value();
    if (!m_error.isEmpty())
        return done(false);
    if (!m_archive.contains(workbook))
        return done(fail(QStringLiteral("il ne contient pas de classeur.")));
    const QString base =
        workbook.contains(QLatin1Char('/')) ? workbook.left(workbook.lastIndexOf(QLatin1Char('/')) + 1) : QString();
    const QString relsName = base + QStringLiteral("_rels/") + workbook.mid(base.size()) + QStringLiteral(".rels");
    const QHash<QString, QString> rels = relationships(relsName, base);
    if (!m_error.isEmpty())
        return done(false);
    for (auto it = rels.cbegin(); it != rels.cend(); ++it)
        if (m_types.value(it.value()).endsWith(QLatin1String("/sharedStrings")) && m_archive.contains(it.value()) &&
            !sharedStrings(it.value()))
            return done(false);

    QByteArray bytes;
    if (!part(workbook, &bytes))
        return done(false);
    QXmlStreamReader xml(bytes);
    QList<std::pair<Sheet, QString>> listed;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return done(fail(QStringLiteral("la partie « %1 » déclare une DTD.").arg(workbook)));
        if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
            Sheet s;
            s.name = xml.attributes().value(QLatin1String("name")).toString();
            s.hidden = !xml.attributes().value(QLatin1String("state")).isEmpty() &&
                       xml.attributes().value(QLatin1String("state")) != QLatin1String("visible");
            QString id;
            for (const QXmlStreamAttribute &a : xml.attributes())
                if (a.name() == QLatin1String("id"))
                    id = a.value().toString();
            listed.append({s, rels.value(id)});
            if (listed.size() > Limits::SpreadsheetSheets)
                return done(fail(QStringLiteral("il compte plus de %1 feuilles.").arg(Limits::SpreadsheetSheets)));
        }
    }
    if (xml.hasError())
        return done(xmlFailed(xml, workbook));
    sheets->clear();
    for (auto &[s, target] : listed) {
        // A chart sheet or a missing part holds no cells.
        if (!target.isEmpty() && m_archive.contains(target) &&
            m_types.value(target).endsWith(QLatin1String("/worksheet")) && !sheet(target, &s))
            return done(false);
        sheets->append(s);
    }
    return done(true);
}

} // namespace

QString ColumnName(int column)
{
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar('A' + (c - 1) % 26));
    return name;
}

bool Read(const QString &path, QList<Sheet> *sheets, QString *error)
{
    Reader reader(path);
    return reader.run(path, sheets, error);
}

} // namespace XlsxReader
