#include "SheetCommand.h"

#include "PageComposer.h"
#include "ReportPrinter.h"
#include "data/AppContext.h"
#include "evaluation/ResultStore.h"

#include <QLocale>
#include <QPageLayout>
#include <QPrinter>

SheetInput SessionSheets(AppContext &context, const QString &programTitle, qint64 pupilKey)
{
    const Session &session = context.session;
    SheetInput input = ReadSheetInput(context.connection, session.schoolNo(), session.classNo(), pupilKey);
    input.schoolYear = context.state.years.CurrentSchoolYear;
    input.programTitle = programTitle;
    input.printedAt = context.clock.now();
    input.locale = QLocale();
    return input;
}

bool PrintPupilSheet(AppContext &context, const QString &programTitle, qint64 pupilKey, ReportPrinter &printer,
                     QWidget *parent)
{
    const Session &session = context.session;
    if (!session.hasClass() || pupilKey == 0 || session.classLevel() == 0)
        return false;
    SheetInput input;
    QString error;
    {
        BusyGuard busy(context.dialogs);
        ResultStore store(context.connection);
        if (store.RefreshClassProfiles(session.classLevel(), session.schoolNo(), session.classNo(), &error))
            input = SessionSheets(context, programTitle, pupilKey);
    }
    if (!error.isEmpty()) {
        context.dialogs.message(QStringLiteral("ATTENTION"),
                                QStringLiteral("Les profils de la classe n'ont pas pu être enregistrés.\n") + error,
                                Dialogs::Icon::Warning);
        return false;
    }
    if (input.pupils.size() != 1)
        return false;
    PageComposer &document = printer.document();
    PrepareSheetDocument(document);
    ComposePupilSheets(document, input);
    QPrinter *target = printer.printer();
    PreparePrinter(target, document);
    target->setDocName(QStringLiteral("Fiche ") +
                       input.pupils.first().value(QStringLiteral("NOM")).toString().trimmed());
    if (!context.dialogs.printDialog(target))
        return false;
    // The paper and orientation chosen in the dialog lay the sheet out.
    const QPageLayout chosen = target->pageLayout();
    document.setPageSize(chosen.pageSize());
    document.setOrientation(chosen.orientation() == QPageLayout::Portrait ? PageComposer::Orientation::Portrait
                                                                          : PageComposer::Orientation::Landscape);
    target->setFullPage(true);
    if (PrintDocument(document, target, parent))
        return true;
    context.dialogs.message(QStringLiteral("Abandon"), QStringLiteral("L'impression n'a pas pu être faite."),
                            Dialogs::Icon::Warning);
    return false;
}
