#include "QtDialogs.h"

#include "backup/FolderChooser.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTranslator>

bool InstallFrenchTranslation()
{
    static QTranslator translator;
    if (!translator.isEmpty())
        return true;
    if (!translator.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

namespace {
QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::Information:
        break;
    }
    return QMessageBox::Information;
}
} // namespace

void QtDialogs::message(const QString &title, const QString &text, Icon icon)
{
    // The hourglass must not hide the pointer over a message.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, m_parent);
    box.exec();
    QApplication::restoreOverrideCursor();
}

bool QtDialogs::question(const QString &title, const QString &text, bool defaultNo)
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    const bool yes = box.exec() == QMessageBox::Yes;
    QApplication::restoreOverrideCursor();
    return yes;
}

void QtDialogs::beginBusy()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtDialogs::endBusy()
{
    QApplication::restoreOverrideCursor();
}

bool QtDialogs::printDialog(QPrinter *printer)
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QPrintDialog dialog(printer, m_parent);
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    QApplication::restoreOverrideCursor();
    return confirmed;
}

std::optional<ChooserChoice> QtDialogs::chooseFolder(const ChooserRequest &request)
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    std::optional<ChooserChoice> choice = RunFolderChooser(request, m_dataFolder, m_parent);
    QApplication::restoreOverrideCursor();
    return choice;
}
