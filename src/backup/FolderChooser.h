#pragma once

#include "common/Dialogs.h"

#include <QDialog>
#include <QElapsedTimer>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;
class QTreeView;

// The folder chooser: a volume list, a folder tree and the list of the
// folder's files matching the request's pattern (usable in file mode only),
// "Valider" and "Abandonner". It answers the request with the folder and file
// chosen, or nothing when the user gives up. The data folder is
// refused, with a message in the status bar.
class FolderChooser : public QDialog
{
    Q_OBJECT
public:
    FolderChooser(const ChooserRequest &request, const QString &dataFolder, QWidget *parent = nullptr);

    // The choice once closed by "Valider"; nothing otherwise.
    const std::optional<ChooserChoice> &choice() const { return m_choice; }

    static const QString Refusal;

    // The folder shown in the folder tree, '/'-separated, without a trailing separator
    // except for a root.
    QString folderPath() const;
    // Moves the folder tree to `path` (on its volume), as a click on that folder.
    void setFolder(const QString &path);
    // Selects `name` in the file list, as a click on it; false when it is not listed.
    bool selectFile(const QString &name);
    QString statusText() const;

    // "Valider", "Abandonner", and a double-click on a file (as "Valider").
    void validateClicked();
    void cancelClicked();
    void fileDoubleClicked();

public slots:
    // Closing the window any other way than "Valider" gives up.
    void reject() override;

private:
    void fillDrives();
    void volumeChanged();
    void folderChanged();
    void fileClicked();
    void fileListPathChanged();
    void showVolumeOf(const QString &path);
    void revealCurrent();
    bool atDataFolder() const;
    void refuse();
    void setStatus(const QString &text);

    const ChooserRequest m_request;
    const QString m_dataFolder;
    std::optional<ChooserChoice> m_choice;
    QComboBox *m_volumeList = nullptr;
    QTreeView *m_folderTree = nullptr;
    QFileSystemModel *m_folders = nullptr;
    QListWidget *m_fileList = nullptr;
    QLabel *m_pathLabel = nullptr; // the folder shown in the folder tree, in full
    QElapsedTimer m_revealing;     // since the tree was last moved to a folder
    QPushButton *m_validateButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusPanel = nullptr;
};

// Shows the chooser modally over `parent`; the choice, or nothing when given up.
std::optional<ChooserChoice> RunFolderChooser(const ChooserRequest &request, const QString &dataFolder,
                                              QWidget *parent);
