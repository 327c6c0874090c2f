#include "DataFolderChoice.h"

#include "DataFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace DataFolderChoice {

namespace {

const QString LastUsedKey = QStringLiteral("dossierDeDonnees/dernier");

QSettings settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Rozodivo Velorin"),
                     QStringLiteral("velorin"));
}

QString cleaned(const QString &path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

} // namespace

Arguments Parse(const QStringList &arguments)
{
    Arguments parsed;
    const QString usage = QStringLiteral("Utilisation : velorin [--ignorer-verrou] [DOSSIER]");
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--ignorer-verrou")) {
            parsed.ignoreLock = true;
        } else if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-'))) {
            parsed.error = QStringLiteral("Option inconnue « %1 ».\n%2").arg(argument, usage);
            return parsed;
        } else if (!parsed.folder.isEmpty()) {
            parsed.error = QStringLiteral("Un seul dossier de données peut être donné.\n%1").arg(usage);
            return parsed;
        } else if (argument.isEmpty()) {
            parsed.error = QStringLiteral("Le nom du dossier de données est vide.\n%1").arg(usage);
            return parsed;
        } else {
            parsed.folder = argument;
        }
    }
    return parsed;
}

Decision Decide(const Situation &s)
{
    const QString current = cleaned(s.currentFolder);
    if (!s.argument.isEmpty())
        return {cleaned(QDir(current).absoluteFilePath(QDir::fromNativeSeparators(s.argument))), Source::Argument};
    if (s.currentHoldsDatabase)
        return {current, Source::CurrentFolder};
    if (!s.lastUsed.isEmpty() && s.lastUsedIsFolder && QDir::isAbsolutePath(s.lastUsed))
        return {cleaned(s.lastUsed), Source::LastUsed};
    const QString documents = s.documents.isEmpty() ? QDir::homePath() + QStringLiteral("/Documents") : s.documents;
    return {cleaned(documents) + QStringLiteral("/Velorin"), Source::Default};
}

Situation Observe(const QString &argument)
{
    Situation s;
    s.argument = argument;
    s.currentFolder = QDir::currentPath();
    s.currentHoldsDatabase = !DataFiles::LiveDatabase(s.currentFolder).isEmpty();
    s.lastUsed = LastUsed();
    s.lastUsedIsFolder = !s.lastUsed.isEmpty() && QFileInfo(s.lastUsed).isDir();
    s.documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return s;
}

QString LastUsed()
{
    return settings().value(LastUsedKey).toString();
}

void RememberLastUsed(const QString &folder)
{
    QSettings s = settings();
    s.setValue(LastUsedKey, cleaned(folder));
}

} // namespace DataFolderChoice
