#include "Form11.h"

#include "FolderPaths.h"
#include "common/AppState.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

const QString Form11::Refusal =
    QStringLiteral("Choisissez un répertoire différent de celui de la base de données actuelle");

namespace {

// Volumes a user can keep files on: not the system's own pseudo file systems.
bool offered(const QStorageInfo &volume)
{
    if (!volume.isValid() || !volume.isReady() || !QFileInfo(volume.rootPath()).isDir())
        return false;
    const QString root = volume.rootPath();
    for (const char *hidden : {"/proc", "/sys", "/dev", "/snap", "/boot/efi"})
        if (root == QLatin1String(hidden) || root.startsWith(QLatin1String(hidden) + QLatin1Char('/')))
            return false;
    return !root.startsWith(QLatin1String("/run/")) || root.startsWith(QLatin1String("/run/media/"));
}

QString volumeCaption(const QStorageInfo &volume)
{
    const QString root = QDir::toNativeSeparators(volume.rootPath());
    const QString name = volume.displayName();
    return name.isEmpty() || name == volume.rootPath() ? root : root + QStringLiteral("  [") + name + QLatin1Char(']');
}

} // namespace

Form11::Form11(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(state.ChooserTitle);
    setModal(true);

    m_drive1 = new QComboBox(this);
    m_drive1->setObjectName(QStringLiteral("Drive1"));

    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_folders->setReadOnly(true);
    m_dir1 = new QTreeView(this);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setModel(m_folders);
    m_dir1->setHeaderHidden(true);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        m_dir1->hideColumn(column);
    m_dir1->setSelectionMode(QAbstractItemView::SingleSelection);

    m_file1 = new QListWidget(this);
    m_file1->setObjectName(QStringLiteral("File1"));
    m_file1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_file1->setEnabled(!state.ChooserFolderMode);

    m_command1 = new QPushButton(QStringLiteral("Valider"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_command2 = new QPushButton(QStringLiteral("Abandonner"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setAutoDefault(false);

    m_pathLabel = new QLabel(this);
    m_pathLabel->setObjectName(QStringLiteral("Dir1_Path"));
    m_pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(m_statusBar);
    m_statusPanel->setObjectName(QStringLiteral("StatusBar1_Panel1"));
    m_statusBar->addWidget(m_statusPanel, 1);

    auto caption = [this](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    auto *grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("&Lecteur :"), m_drive1), 0, 0);
    grid->addWidget(m_drive1, 1, 0);
    grid->addWidget(caption(QStringLiteral("&Dossiers :"), m_dir1), 2, 0);
    grid->addWidget(m_dir1, 3, 0);
    grid->addWidget(m_pathLabel, 4, 0, 1, 2);
    grid->addWidget(caption(QStringLiteral("&Fichiers (%1) :").arg(state.ChooserPattern), m_file1), 0, 1, 3, 1,
                    Qt::AlignBottom);
    grid->addWidget(m_file1, 3, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setRowStretch(3, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid, 1);
    outer->addLayout(buttons);
    outer->addWidget(m_statusBar);
    outer->setContentsMargins(8, 8, 8, 0);
    resize(620, 420);

    fillDrives();
    connect(m_drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(m_dir1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { Dir1_Change(); });
    connect(m_dir1, &QTreeView::clicked, this, [this] { Dir1_Change(); });
    // Folders are listed in the background: as the current folder's
    // ancestors fill in, open them and keep the folder in view (for a moment
    // only, so that later changes on the disk never move the user's view).
    auto keepInView = [this] {
        if (m_revealing.isValid() && m_revealing.elapsed() < 2000)
            QTimer::singleShot(0, this, [this] { revealCurrent(); });
    };
    connect(m_folders, &QFileSystemModel::rowsInserted, this, keepInView);
    connect(m_folders, &QFileSystemModel::layoutChanged, this, keepInView);
    connect(m_file1, &QListWidget::itemClicked, this, [this] { File1_Click(); });
    connect(m_file1, &QListWidget::currentRowChanged, this, [this] { File1_Click(); });
    connect(m_file1, &QListWidget::itemDoubleClicked, this, [this] { File1_DblClick(); });
    connect(m_command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(m_command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    // Starts in the user's own folder (the data folder is refused anyway).
    setFolder(QDir::homePath());
}

void Form11::fillDrives()
{
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (offered(volume))
            m_drive1->addItem(volumeCaption(volume), volume.rootPath());
}

QString Form11::folderPath() const
{
    const QModelIndex current = m_dir1->currentIndex();
    return current.isValid() ? FolderPaths::WithoutTrailingSeparator(m_folders->filePath(current)) : QString();
}

QString Form11::statusText() const
{
    return m_statusPanel->text();
}

void Form11::setStatus(const QString &text)
{
    m_statusPanel->setText(text);
}

bool Form11::atDataFolder() const
{
    return FolderPaths::IsDataFolder(folderPath(), m_state.DataFolder);
}

void Form11::refuse()
{
    setStatus(Refusal);
    m_command1->setEnabled(false);
    if (!m_state.ChooserFolderMode)
        m_file1->setEnabled(false);
}

// Shows the folder tree of the volume holding `path`.
void Form11::showVolumeOf(const QString &path)
{
    const QString root = QStorageInfo(path).rootPath();
    int index = m_drive1->findData(root);
    if (index < 0 && !root.isEmpty()) {
        m_drive1->addItem(QDir::toNativeSeparators(root), root);
        index = m_drive1->count() - 1;
    }
    {
        const QSignalBlocker blocker(m_drive1);
        m_drive1->setCurrentIndex(index);
    }
    const QString volumeRoot = root.isEmpty() ? QDir::rootPath() : root;
    m_folders->setRootPath(volumeRoot);
    // The root's parent as the tree's root, so that the volume's root can be chosen too.
    m_dir1->setRootIndex(m_folders->index(volumeRoot).parent());
}

void Form11::setFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(path));
    showVolumeOf(folder);
    const QModelIndex index = m_folders->index(folder);
    if (!index.isValid())
        return;
    m_revealing.start();
    if (m_dir1->currentIndex() == index)
        Dir1_Change();
    else
        m_dir1->setCurrentIndex(index);
    revealCurrent();
}

void Form11::revealCurrent()
{
    const QModelIndex current = m_dir1->currentIndex();
    for (QModelIndex parent = current.parent(); parent.isValid(); parent = parent.parent())
        m_dir1->expand(parent);
    m_dir1->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

void Form11::Drive1_Change()
{
    const QString root = m_drive1->currentData().toString();
    if (!root.isEmpty())
        setFolder(root);
}

void Form11::Dir1_Change()
{
    // The file list moves to the folder.
    const QString folder = folderPath();
    m_pathLabel->setText(QDir::toNativeSeparators(folder));
    {
        const QSignalBlocker blocker(m_file1);
        m_file1->clear();
        if (!folder.isEmpty()) {
            const QStringList patterns = m_state.ChooserPattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
            m_file1->addItems(
                QDir(folder).entryList(patterns, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase));
        }
    }
    File1_PathChange();
    if (m_state.ChooserFolderMode)
        m_command1->setEnabled(!folder.isEmpty());
    if (atDataFolder()) {
        refuse();
        return;
    }
    setStatus(QString());
    if (!m_state.ChooserFolderMode)
        m_file1->setEnabled(true);
}

void Form11::File1_PathChange()
{
    m_command1->setEnabled(m_file1->currentItem() != nullptr);
}

void Form11::File1_Click()
{
    if (atDataFolder()) {
        refuse();
        return;
    }
    if (m_state.ChooserFolderMode) {
        if (folderPath().isEmpty()) {
            setStatus(QString());
            m_command1->setEnabled(false);
        } else {
            m_command1->setEnabled(true);
        }
    } else {
        m_command1->setEnabled(m_file1->currentItem() != nullptr);
    }
}

bool Form11::selectFile(const QString &name)
{
    const QList<QListWidgetItem *> found = m_file1->findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    m_file1->setCurrentItem(found.first());
    File1_Click();
    return true;
}

void Form11::File1_DblClick()
{
    Command1_Click();
}

void Form11::Command1_Click()
{
    if (atDataFolder()) {
        refuse();
        return;
    }
    m_state.ChosenFolder = folderPath();
    const QListWidgetItem *file = m_file1->currentItem();
    m_state.ChosenFile = file ? file->text() : QString();
    accept();
}

void Form11::Command2_Click()
{
    reject();
}

void Form11::reject()
{
    m_state.ChosenFolder.clear();
    m_state.ChosenFile.clear();
    QDialog::reject();
}

void RunFolderChooser(AppState &state, QWidget *parent)
{
    state.ChosenFolder.clear();
    state.ChosenFile.clear();
    Form11 chooser(state, parent);
    chooser.exec();
}
