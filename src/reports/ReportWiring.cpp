#include "ReportWiring.h"

#include "ClassSynthesis.h"
#include "ReportViewer.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/Form1.h"

#include <QListWidget>
#include <QLocale>

void ConnectReports(Form1 &form, AppContext &context)
{
    form.routes().openReportViewer = [&form, &context] {
        if (context.state.CurrentClassNo == 0 || !form.classList()->currentItem())
            return;
        SynthesisInput input;
        {
            BusyGuard busy(context.dialogs);
            input = ReadSynthesisInput(context.connection);
        }
        input.className = form.classList()->currentItem()->text();
        input.schoolYear = context.state.years.CurrentSchoolYear;
        input.programTitle = form.windowTitleText();
        input.printedAt = context.clock.now();
        input.locale = QLocale();
        ReportViewer viewer(context.dialogs, context.state.DataFolder, input, &form);
        viewer.exec();
    };
}
