#include "SynthesisCommand.h"

#include "ClassSynthesis.h"
#include "ReportViewer.h"
#include "SheetCommand.h"
#include "data/AppContext.h"
#include "evaluation/ResultStore.h"

#include <QLocale>

bool OpenClassSynthesis(AppContext &context, const QString &programTitle, QWidget *parent)
{
    const Session &session = context.session;
    if (!session.hasClass())
        return false;
    SynthesisInput input;
    QString error;
    {
        BusyGuard busy(context.dialogs);
        ResultStore store(context.connection);
        if (store.RefreshClassProfiles(session.classLevel(), session.schoolNo(), session.classNo(), &error))
            input = ReadSynthesisInput(context.connection, session.schoolNo(), session.classNo());
    }
    if (!error.isEmpty()) {
        context.dialogs.message(QStringLiteral("ATTENTION"),
                                QStringLiteral("Les profils de la classe n'ont pas pu être enregistrés.\n") + error,
                                Dialogs::Icon::Warning);
        return false;
    }
    input.schoolYear = context.state.years.CurrentSchoolYear;
    input.programTitle = programTitle;
    input.printedAt = context.clock.now();
    input.locale = QLocale();
    ReportViewer viewer(context.dialogs, context.state.DataFolder, input, parent);
    // « Fiches élèves »: the class's sheets, read from the profiles just refreshed.
    viewer.setSheetsOpener([&context, programTitle](QWidget *over) {
        SheetInput sheets;
        {
            BusyGuard busy(context.dialogs);
            sheets = SessionSheets(context, programTitle);
        }
        if (sheets.pupils.isEmpty())
            return;
        ReportViewer sheetsViewer(context.dialogs, context.state.DataFolder, sheets, over);
        sheetsViewer.exec();
    });
    viewer.exec();
    return true;
}
