// velorin-gendata FOLDER [--schools N] [--classes N] [--pupils N] [--years N] [--seed N] [--force]
// Fills FOLDER with a generated donnees.mdb and the transfer template Export.vid.

#include "Generator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

bool readNumber(const QCommandLineParser &parser, const QString &name, int max, int *value, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int n = parser.value(name).toInt(&ok);
    if (!ok || n < 0 || n > max) {
        *error = QStringLiteral("--%1 takes a whole number from 0 to %2").arg(name).arg(max);
        return false;
    }
    *value = n;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a generated donnees.mdb and Export.vid into FOLDER."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("Data folder to fill (created if missing)."));
    parser.addOptions({
        {QStringLiteral("schools"), QStringLiteral("Number of schools (default 1)."), QStringLiteral("N")},
        {QStringLiteral("classes"), QStringLiteral("Classes per school (default 3)."), QStringLiteral("N")},
        {QStringLiteral("pupils"), QStringLiteral("Pupils per class (default 24)."), QStringLiteral("N")},
        {QStringLiteral("years"), QStringLiteral("Archived school years (default 2)."), QStringLiteral("N")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the random draws (default 1)."), QStringLiteral("N")},
        {QStringLiteral("force"), QStringLiteral("Replace a database already in FOLDER.")},
    });
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    GenData::Options options;
    QString error;
    bool ok = positional.size() == 1;
    if (!ok)
        error = QStringLiteral("one FOLDER expected");
    ok = ok && readNumber(parser, QStringLiteral("schools"), GenData::MaxSchools, &options.schools, &error) &&
         readNumber(parser, QStringLiteral("classes"), GenData::MaxClassesPerSchool, &options.classesPerSchool,
                    &error) &&
         readNumber(parser, QStringLiteral("pupils"), GenData::MaxPupilsPerClass, &options.pupilsPerClass, &error) &&
         readNumber(parser, QStringLiteral("years"), GenData::MaxArchivedYears, &options.archivedYears, &error);
    if (ok && parser.isSet(QStringLiteral("seed"))) {
        options.seed = parser.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok)
            error = QStringLiteral("--seed takes a whole number from 0 to 4294967295");
    }
    if (!ok) {
        std::fprintf(stderr, "velorin-gendata: %s\n%s", qPrintable(error), qPrintable(parser.helpText()));
        return 2;
    }

    QElapsedTimer timer;
    timer.start();
    GenData::Summary summary;
    if (!GenData::GenerateDataFolder(positional.first(), options, parser.isSet(QStringLiteral("force")), &summary,
                                     &error)) {
        std::fprintf(stderr, "velorin-gendata: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s, in %.1f s\n", qPrintable(GenData::SummaryLine(summary)), double(timer.elapsed()) / 1000.0);
    return 0;
}
