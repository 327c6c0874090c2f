// velorin-report FOLDER OUTDIR [--school NAME] [--fiches] [--xlsx] [--ignorer-verrou]
//
// Refreshes the profiles of every class of the data folder FOLDER (or of the
// school NAME) and writes each class's synthesis as a PDF file into OUTDIR,
// named as the report viewer names it; with --fiches, each class's pupils'
// results sheets too ("<class> - fiches.pdf"); with --xlsx, instead of the PDF
// files, one XLSX workbook of results per school ("<school>.xlsx"). One line
// per file written; the exit status is 1 when anything failed, 2 on bad
// arguments. A folder that the program has open is refused; one whose lock
// looks left behind too, with the question the program would ask, unless
// --ignorer-verrou says to take it over.

#include "BatchSyntheses.h"
#include "Version.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Fonts need a GUI application; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the class syntheses of a data folder as PDF files."));
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("school"), QStringLiteral("Only the classes of this school."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("fiches"),
                      QStringLiteral("Also the pupils' results sheets of each class, one PDF file per class.")});
    parser.addOption({QStringLiteral("xlsx"),
                      QStringLiteral("Instead of the PDF files, one XLSX workbook of results per school.")});
    parser.addOption({QStringLiteral("ignorer-verrou"),
                      QStringLiteral("Work on the folder even though its lock says another copy of the program "
                                     "has it open (a lock left behind).")});
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The data folder (donnees.mdb)."));
    parser.addPositionalArgument(QStringLiteral("OUTDIR"), QStringLiteral("Where the PDF files go."));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return 2;
    }
    BatchOptions options;
    options.dataFolder = args.at(0);
    options.outputFolder = args.at(1);
    options.school = parser.value(QStringLiteral("school"));
    options.ignoreLock = parser.isSet(QStringLiteral("ignorer-verrou"));
    options.sheets = parser.isSet(QStringLiteral("fiches"));
    options.xlsx = parser.isSet(QStringLiteral("xlsx"));
    options.programTitle = QStringLiteral("Rozodivo Velorin - v%1.%2.%3")
                               .arg(VELORIN_VERSION_MAJOR)
                               .arg(VELORIN_VERSION_MINOR)
                               .arg(VELORIN_VERSION_REVISION);
    options.now = QDateTime::currentDateTime();
    const BatchResult result = WriteClassSyntheses(options);
    for (const QString &path : result.written)
        std::printf("%s\n", qPrintable(path));
    for (const QString &error : result.errors)
        std::fprintf(stderr, "velorin-report: %s\n", qPrintable(error));
    return result.errors.isEmpty() ? 0 : 1;
}
