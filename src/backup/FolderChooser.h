#pragma once

#include "common/Dialogs.h"

#include <QDialog>
#include <QElapsedTimer>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSortFilterProxyModel;
class QStatusBar;
class QTreeView;

// The folder chooser: a list of places (the home folder, mounted volumes and
// removable media), a folder tree without the system's folders, a path field
// (Entrée goes to the folder typed), "Nouveau dossier", and the list of the
// folder's files matching the request's pattern (usable in file mode only),
// "Valider" and "Abandonner". It answers the request with the folder and file
// chosen, or nothing when the user gives up. The data folder is refused, with
// a message in the status bar. It opens at the folder last chosen for the
// same request (kept from one run to the next), else at the home folder.
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
    // Entrée in the path field: goes to the folder typed (to a file's folder,
    // the file selected), or says why not.
    void pathEntered();
    // "Nouveau dossier": asks the name, makes the folder in the folder shown and goes into it.
    void newFolderClicked();

    // Why a new folder's name is refused, or nothing when it is fit for any disk
    // (USB sticks included) and free in `parent`.
    static QString NameRefusal(const QString &name, const QString &parent);

    // The settings that keep the folder last chosen for each request.
    static QString MemoryKey(const ChooserRequest &request);

public slots:
    // Closing the window any other way than "Valider" gives up.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillPlaces();
    void volumeChanged();
    void folderChanged();
    void fileClicked();
    void fileListPathChanged();
    void showVolumeOf(const QString &path);
    void revealCurrent();
    bool atDataFolder() const;
    void refuse();
    void setStatus(const QString &text);
    QString startFolder() const;

    const ChooserRequest m_request;
    const QString m_dataFolder;
    std::optional<ChooserChoice> m_choice;
    QComboBox *m_volumeList = nullptr;
    QTreeView *m_folderTree = nullptr;
    QFileSystemModel *m_folders = nullptr;
    QSortFilterProxyModel *m_shownFolders = nullptr; // without the system's folders
    QListWidget *m_fileList = nullptr;
    QLineEdit *m_pathField = nullptr; // the folder shown in the folder tree, in full, or one typed
    QElapsedTimer m_revealing;        // since the tree was last moved to a folder
    QPushButton *m_newFolderButton = nullptr;
    QPushButton *m_validateButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusPanel = nullptr;
};

// Shows the chooser modally over `parent`; the choice, or nothing when given up.
std::optional<ChooserChoice> RunFolderChooser(const ChooserRequest &request, const QString &dataFolder,
                                              QWidget *parent);
