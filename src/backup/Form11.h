#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;
class QTreeView;
struct AppState;

// The folder chooser: a volume list (Drive1), a folder tree (Dir1) and the
// list of the folder's files matching ChooserPattern (File1, usable in file
// mode only), "Valider" (Command1) and "Abandonner" (Command2). It reads
// ChooserFolderMode, ChooserPattern and ChooserTitle and sets ChosenFolder
// and ChosenFile (both empty when the user gives up). The data folder is
// refused, with a message in the status bar.
class Form11 : public QDialog
{
    Q_OBJECT
public:
    explicit Form11(AppState &state, QWidget *parent = nullptr);

    static const QString Refusal;

    // The folder shown in Dir1, '/'-separated, without a trailing separator
    // except for a root.
    QString folderPath() const;
    // Moves Dir1 to `path` (on its volume), as a click on that folder.
    void setFolder(const QString &path);
    // Selects `name` in File1, as a click on it; false when it is not listed.
    bool selectFile(const QString &name);
    QString statusText() const;

    // "Valider", "Abandonner", and a double-click on a file (as "Valider").
    void Command1_Click();
    void Command2_Click();
    void File1_DblClick();

public slots:
    // Closing the window any other way than "Valider" gives up.
    void reject() override;

private:
    void fillDrives();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void File1_PathChange();
    void showVolumeOf(const QString &path);
    void revealCurrent();
    bool atDataFolder() const;
    void refuse();
    void setStatus(const QString &text);

    AppState &m_state;
    QComboBox *m_drive1 = nullptr;
    QTreeView *m_dir1 = nullptr;
    QFileSystemModel *m_folders = nullptr;
    QListWidget *m_file1 = nullptr;
    QLabel *m_pathLabel = nullptr; // the folder shown in Dir1, in full
    QElapsedTimer m_revealing;     // since the tree was last moved to a folder
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusPanel = nullptr;
};

// Shows the chooser modally over `parent` and leaves the choice in `state`.
void RunFolderChooser(AppState &state, QWidget *parent);
