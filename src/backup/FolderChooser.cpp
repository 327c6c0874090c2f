#include "FolderChooser.h"

#include "FolderPaths.h"

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

const QString FolderChooser::Refusal =
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

FolderChooser::FolderChooser(const ChooserRequest &request, const QString &dataFolder, QWidget *parent)
    : QDialog(parent), m_request(request), m_dataFolder(dataFolder)
{
    setObjectName(QStringLiteral("FolderChooser"));
    setWindowTitle(request.title);
    setModal(true);

    m_volumeList = new QComboBox(this);
    m_volumeList->setObjectName(QStringLiteral("volumeList"));

    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_folders->setReadOnly(true);
    m_folderTree = new QTreeView(this);
    m_folderTree->setObjectName(QStringLiteral("folderTree"));
    m_folderTree->setModel(m_folders);
    m_folderTree->setHeaderHidden(true);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        m_folderTree->hideColumn(column);
    m_folderTree->setSelectionMode(QAbstractItemView::SingleSelection);

    m_fileList = new QListWidget(this);
    m_fileList->setObjectName(QStringLiteral("fileList"));
    m_fileList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_fileList->setEnabled(!request.folderMode);

    m_validateButton = new QPushButton(QStringLiteral("Valider"), this);
    m_validateButton->setObjectName(QStringLiteral("validateButton"));
    m_validateButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Abandonner"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);

    m_pathLabel = new QLabel(this);
    m_pathLabel->setObjectName(QStringLiteral("folderPath"));
    m_pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(m_statusBar);
    m_statusPanel->setObjectName(QStringLiteral("statusPanel"));
    m_statusBar->addWidget(m_statusPanel, 1);

    auto caption = [this](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    auto *grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("&Lecteur :"), m_volumeList), 0, 0);
    grid->addWidget(m_volumeList, 1, 0);
    grid->addWidget(caption(QStringLiteral("&Dossiers :"), m_folderTree), 2, 0);
    grid->addWidget(m_folderTree, 3, 0);
    grid->addWidget(m_pathLabel, 4, 0, 1, 2);
    grid->addWidget(caption(QStringLiteral("&Fichiers (%1) :").arg(request.pattern), m_fileList), 0, 1, 3, 1,
                    Qt::AlignBottom);
    grid->addWidget(m_fileList, 3, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setRowStretch(3, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_validateButton);
    buttons->addWidget(m_cancelButton);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid, 1);
    outer->addLayout(buttons);
    outer->addWidget(m_statusBar);
    outer->setContentsMargins(8, 8, 8, 0);
    resize(620, 420);

    fillDrives();
    connect(m_volumeList, &QComboBox::currentIndexChanged, this, [this] { volumeChanged(); });
    connect(m_folderTree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { folderChanged(); });
    connect(m_folderTree, &QTreeView::clicked, this, [this] { folderChanged(); });
    // Folders are listed in the background: as the current folder's
    // ancestors fill in, open them and keep the folder in view (for a moment
    // only, so that later changes on the disk never move the user's view).
    auto keepInView = [this] {
        if (m_revealing.isValid() && m_revealing.elapsed() < 2000)
            QTimer::singleShot(0, this, [this] { revealCurrent(); });
    };
    connect(m_folders, &QFileSystemModel::rowsInserted, this, keepInView);
    connect(m_folders, &QFileSystemModel::layoutChanged, this, keepInView);
    connect(m_fileList, &QListWidget::itemClicked, this, [this] { fileClicked(); });
    connect(m_fileList, &QListWidget::currentRowChanged, this, [this] { fileClicked(); });
    connect(m_fileList, &QListWidget::itemDoubleClicked, this, [this] { fileDoubleClicked(); });
    connect(m_validateButton, &QPushButton::clicked, this, [this] { validateClicked(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancelClicked(); });

    // Starts in the user's own folder (the data folder is refused anyway).
    setFolder(QDir::homePath());
}

void FolderChooser::fillDrives()
{
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (offered(volume))
            m_volumeList->addItem(volumeCaption(volume), volume.rootPath());
}

QString FolderChooser::folderPath() const
{
    const QModelIndex current = m_folderTree->currentIndex();
    return current.isValid() ? FolderPaths::WithoutTrailingSeparator(m_folders->filePath(current)) : QString();
}

QString FolderChooser::statusText() const
{
    return m_statusPanel->text();
}

void FolderChooser::setStatus(const QString &text)
{
    m_statusPanel->setText(text);
}

bool FolderChooser::atDataFolder() const
{
    return FolderPaths::IsDataFolder(folderPath(), m_dataFolder);
}

void FolderChooser::refuse()
{
    setStatus(Refusal);
    m_validateButton->setEnabled(false);
    if (!m_request.folderMode)
        m_fileList->setEnabled(false);
}

// Shows the folder tree of the volume holding `path`.
void FolderChooser::showVolumeOf(const QString &path)
{
    const QString root = QStorageInfo(path).rootPath();
    int index = m_volumeList->findData(root);
    if (index < 0 && !root.isEmpty()) {
        m_volumeList->addItem(QDir::toNativeSeparators(root), root);
        index = m_volumeList->count() - 1;
    }
    {
        const QSignalBlocker blocker(m_volumeList);
        m_volumeList->setCurrentIndex(index);
    }
    const QString volumeRoot = root.isEmpty() ? QDir::rootPath() : root;
    m_folders->setRootPath(volumeRoot);
    // The root's parent as the tree's root, so that the volume's root can be chosen too.
    m_folderTree->setRootIndex(m_folders->index(volumeRoot).parent());
}

void FolderChooser::setFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(path));
    showVolumeOf(folder);
    const QModelIndex index = m_folders->index(folder);
    if (!index.isValid())
        return;
    m_revealing.start();
    if (m_folderTree->currentIndex() == index)
        folderChanged();
    else
        m_folderTree->setCurrentIndex(index);
    revealCurrent();
}

void FolderChooser::revealCurrent()
{
    const QModelIndex current = m_folderTree->currentIndex();
    for (QModelIndex parent = current.parent(); parent.isValid(); parent = parent.parent())
        m_folderTree->expand(parent);
    m_folderTree->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

void FolderChooser::volumeChanged()
{
    const QString root = m_volumeList->currentData().toString();
    if (!root.isEmpty())
        setFolder(root);
}

void FolderChooser::folderChanged()
{
    // The file list moves to the folder.
    const QString folder = folderPath();
    m_pathLabel->setText(QDir::toNativeSeparators(folder));
    {
        const QSignalBlocker blocker(m_fileList);
        m_fileList->clear();
        if (!folder.isEmpty()) {
            const QStringList patterns = m_request.pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
            m_fileList->addItems(
                QDir(folder).entryList(patterns, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase));
        }
    }
    fileListPathChanged();
    if (m_request.folderMode)
        m_validateButton->setEnabled(!folder.isEmpty());
    if (atDataFolder()) {
        refuse();
        return;
    }
    setStatus(QString());
    if (!m_request.folderMode)
        m_fileList->setEnabled(true);
}

void FolderChooser::fileListPathChanged()
{
    m_validateButton->setEnabled(m_fileList->currentItem() != nullptr);
}

void FolderChooser::fileClicked()
{
    if (atDataFolder()) {
        refuse();
        return;
    }
    if (m_request.folderMode) {
        if (folderPath().isEmpty()) {
            setStatus(QString());
            m_validateButton->setEnabled(false);
        } else {
            m_validateButton->setEnabled(true);
        }
    } else {
        m_validateButton->setEnabled(m_fileList->currentItem() != nullptr);
    }
}

bool FolderChooser::selectFile(const QString &name)
{
    const QList<QListWidgetItem *> found = m_fileList->findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    m_fileList->setCurrentItem(found.first());
    fileClicked();
    return true;
}

void FolderChooser::fileDoubleClicked()
{
    validateClicked();
}

void FolderChooser::validateClicked()
{
    if (atDataFolder()) {
        refuse();
        return;
    }
    const QListWidgetItem *file = m_fileList->currentItem();
    m_choice = ChooserChoice{folderPath(), file ? file->text() : QString()};
    accept();
}

void FolderChooser::cancelClicked()
{
    reject();
}

void FolderChooser::reject()
{
    m_choice.reset();
    QDialog::reject();
}

std::optional<ChooserChoice> RunFolderChooser(const ChooserRequest &request, const QString &dataFolder, QWidget *parent)
{
    FolderChooser chooser(request, dataFolder, parent);
    chooser.exec();
    return chooser.choice();
}
