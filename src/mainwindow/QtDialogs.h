#pragma once

#include "common/Dialogs.h"

#include <QString>

#include <functional>

class QWidget;

// Loads Qt's French translation, so that standard buttons read "Oui", "Non",
// "Annuler". False when the translation is not installed.
bool InstallFrenchTranslation();

// `text` with the paths it holds ("/home/prof/Clé USB/", "E:\\Sauvegardes",
// from their first separator to the end of the line or a closing quote) made
// to break only after their separators: a line may end after "/", never
// inside a folder's name (not at its blanks or hyphens either). The marks
// added are invisible.
QString BreakablePaths(const QString &text);

// Message boxes and questions shown with Qt, paths broken between their parts; buttons read "Oui", "Non", "OK"
// once Qt's French translation is loaded.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    // The folder the chooser refuses: the data folder of the moment.
    void setDataFolder(std::function<QString()> folder) { m_dataFolder = std::move(folder); }

    void message(const QString &title, const QString &text, Icon icon = Icon::Information) override;
    bool question(const QString &title, const QString &text, bool defaultNo = false) override;
    Answer questionWithCancel(const QString &title, const QString &text) override;
    std::optional<ChooserChoice> chooseFolder(const ChooserRequest &request) override;
    bool printDialog(QPrinter *printer) override;
    void beginBusy() override;
    void endBusy() override;

private:
    QWidget *m_parent;
    std::function<QString()> m_dataFolder;
};
