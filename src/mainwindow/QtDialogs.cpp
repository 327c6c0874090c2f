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

constexpr QChar BreakHere(0x200B);  // zero-width space: a line may end here
constexpr QChar KeepJoined(0x2060); // word joiner: no line ends here
constexpr QChar NoBreakSpace(0x00A0);

bool isSeparator(QChar ch)
{
    return ch == QLatin1Char('/') || ch == QLatin1Char('\\');
}

// Where a path starts at `i`: "/", "\\", "~/" or a drive ("E:/") at the start of a word or after a quote.
bool pathStarts(const QString &text, qsizetype i)
{
    if (i > 0 && !text.at(i - 1).isSpace() && !QStringLiteral("«\"'(").contains(text.at(i - 1)))
        return false;
    if (isSeparator(text.at(i)))
        return true;
    const auto at = [&text](qsizetype k) { return k < text.size() ? text.at(k) : QChar(); };
    if (text.at(i) == QLatin1Char('~') && isSeparator(at(i + 1)))
        return true;
    return text.at(i).isLetter() && at(i + 1) == QLatin1Char(':') && isSeparator(at(i + 2));
}

} // namespace

QString BreakablePaths(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 4);
    bool inPath = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (!inPath && pathStarts(text, i))
            inPath = true;
        else if (inPath && (ch == QLatin1Char('\n') || ch == QChar(0x00BB) || ch == QLatin1Char('"')))
            inPath = false;
        if (!inPath) {
            out += ch;
            continue;
        }
        // A blank just before a closing quote ends the path too.
        if (ch == QLatin1Char(' ') && i + 1 < text.size() && text.at(i + 1) == QChar(0x00BB)) {
            inPath = false;
            out += ch;
        } else if (isSeparator(ch)) {
            out += ch;
            out += BreakHere;
        } else if (ch == QLatin1Char(' ')) {
            out += NoBreakSpace;
        } else if (ch == QLatin1Char('-') || ch == QChar(0x2010) || ch == QLatin1Char('+')) {
            out += ch;
            out += KeepJoined;
        } else {
            out += ch;
        }
    }
    return out;
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
    QMessageBox box(toQt(icon), title, BreakablePaths(text), QMessageBox::Ok, m_parent);
    box.exec();
    QApplication::restoreOverrideCursor();
}

bool QtDialogs::question(const QString &title, const QString &text, bool defaultNo)
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Question, title, BreakablePaths(text), QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    const bool yes = box.exec() == QMessageBox::Yes;
    QApplication::restoreOverrideCursor();
    return yes;
}

Dialogs::Answer QtDialogs::questionWithCancel(const QString &title, const QString &text)
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Question, title, BreakablePaths(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    QApplication::restoreOverrideCursor();
    return answer == QMessageBox::Yes ? Answer::Yes : answer == QMessageBox::No ? Answer::No : Answer::Cancel;
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
    std::optional<ChooserChoice> choice = RunFolderChooser(request, m_dataFolder ? m_dataFolder() : QString(), m_parent);
    QApplication::restoreOverrideCursor();
    return choice;
}
