#include "PupilTextList.h"

#include "data/Connection.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>

namespace PupilTextList {

namespace {

// Windows-1252 in 0x80..0x9F; the other bytes are those of Latin-1. The five
// unassigned bytes keep their C1 code, as Windows converts them.
const char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A list of a whole school fits easily; anything larger is not a list of names.
constexpr qint64 MaxListBytes = 4 * 1024 * 1024;

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

QString Decode(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(Cp1252High[b - 0x80]) : QChar(b));
    }
    return text;
}

QStringList Names(const QString &text)
{
    QStringList names;
    qsizetype start = 0;
    const qsizetype n = text.size();
    auto take = [&](qsizetype end) {
        QString line = text.mid(start, end - start);
        line.replace(QLatin1Char('\t'), QLatin1Char(' '));
        if (!line.trimmed().isEmpty())
            names.append(line);
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            take(i);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        take(n);
    return names;
}

bool Import(Connection &connection, const QString &path, qint16 school, qint16 klass, int *added, QString *error,
            int *skipped)
{
    if (added)
        *added = 0;
    if (skipped)
        *skipped = 0;
    const QString shown = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(shown));
    if (file.size() > MaxListBytes)
        return fail(error, QStringLiteral("Le fichier « %1 » est trop volumineux pour une liste d'élèves.").arg(shown));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(error, QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(shown));
    const QStringList names = Names(Decode(bytes));

    Connection::Transaction transaction(connection);
    QSqlQuery q(connection.database());
    if (!transaction.active() ||
        !q.prepare(
            QStringLiteral("INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) SELECT :NO_ECOLE, :NO_CLASSE, :NOM, 0 "
                           "WHERE NOT EXISTS (SELECT 1 FROM ELEVE WHERE NOECOLE = :NO_ECOLE AND NOCLASSE = :NO_CLASSE "
                           "AND NOM = :NOM)")))
        return fail(error,
                    QStringLiteral("La base de données a refusé la liste des élèves : aucun élève n'a été ajouté."));
    int inserted = 0;
    for (const QString &name : names) {
        q.bindValue(QStringLiteral(":NO_ECOLE"), school);
        q.bindValue(QStringLiteral(":NO_CLASSE"), klass);
        q.bindValue(QStringLiteral(":NOM"), name);
        if (!q.exec())
            return fail(error, QStringLiteral("La base de données a refusé l'élève « %1 » : aucun élève de la liste "
                                              "n'a été ajouté.")
                                   .arg(name));
        inserted += q.numRowsAffected() == 1 ? 1 : 0;
    }
    q.finish();
    if (!transaction.commit())
        return fail(error,
                    QStringLiteral("La base de données a refusé la liste des élèves : aucun élève n'a été ajouté."));
    if (added)
        *added = inserted;
    if (skipped)
        *skipped = int(names.size()) - inserted;
    return true;
}

} // namespace PupilTextList
