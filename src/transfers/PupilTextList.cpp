#include "PupilTextList.h"

#include "common/Limits.h"
#include "common/TextUtil.h"
#include "data/Connection.h"
#include "data/DataFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace PupilTextList {

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

QString Decode(const QByteArray &bytes)
{
    return DecodeUtf8OrWindows1252(bytes);
}

QStringList Names(const QString &text, QList<int> *lines)
{
    QStringList names;
    qsizetype start = 0;
    int line = 1;
    const qsizetype n = text.size();
    auto take = [&](qsizetype end) {
        QString name = text.mid(start, end - start);
        name.replace(QLatin1Char('\t'), QLatin1Char(' '));
        if (name.trimmed().isEmpty())
            return;
        names.append(name);
        if (lines)
            lines->append(line);
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            take(i);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
            ++line;
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
    const QString nothingAdded = QStringLiteral(" Aucun élève n'a été ajouté.");
    // Before any open: opening a pipe waits for a writer, and a device such as
    // /dev/zero never ends.
    const QString problem = DataFiles::RegularFileProblem(path);
    if (!problem.isEmpty())
        return fail(error, problem + nothingAdded);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(shown) + nothingAdded);
    // One byte over the limit is enough to refuse, even if the file grows meanwhile.
    const QByteArray bytes = file.read(Limits::ListBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(error, QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(shown) + nothingAdded);
    if (bytes.size() > Limits::ListBytes)
        return fail(error, QStringLiteral("Le fichier « %1 » dépasse %2 Ko, la taille la plus grande d'une liste "
                                          "d'élèves.")
                                   .arg(shown, QString::number(Limits::ListBytes / 1024)) +
                               nothingAdded);
    QList<int> lines;
    const QStringList names = Names(Decode(bytes), &lines);
    if (names.size() > Limits::NamesPerList)
        return fail(error, QStringLiteral("La liste « %1 » compte %2 noms : une liste en compte au plus %3.")
                                   .arg(shown, QString::number(names.size()), QString::number(Limits::NamesPerList)) +
                               nothingAdded);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const qsizetype length = names.at(i).trimmed().size();
        if (length > Limits::NameLength)
            return fail(error, QStringLiteral("Le nom de la ligne %1 de « %2 » compte %3 caractères : un nom en "
                                              "compte au plus %4.")
                                       .arg(QString::number(lines.at(i)), shown, QString::number(length),
                                            QString::number(Limits::NameLength)) +
                                   nothingAdded);
    }

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
    // Counted after the inserts, in the transaction: names the class has are not new pupils.
    QSqlQuery count(connection.database());
    count.prepare(QStringLiteral("SELECT COUNT(*) FROM ELEVE WHERE NOECOLE = :NO_ECOLE AND NOCLASSE = :NO_CLASSE"));
    count.bindValue(QStringLiteral(":NO_ECOLE"), school);
    count.bindValue(QStringLiteral(":NO_CLASSE"), klass);
    if (!count.exec() || !count.next())
        return fail(error,
                    QStringLiteral("La base de données a refusé la liste des élèves : aucun élève n'a été ajouté."));
    const int pupils = count.value(0).toInt();
    count.finish();
    if (pupils > Limits::PupilsPerClass)
        return fail(error, QStringLiteral("La classe compte %1 élèves : avec les %2 nouveaux de la liste, elle en "
                                          "compterait %3, et une classe en compte au plus %4.")
                                   .arg(pupils - inserted)
                                   .arg(inserted)
                                   .arg(pupils)
                                   .arg(Limits::PupilsPerClass) +
                               nothingAdded);
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
