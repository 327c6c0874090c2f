#include "FolderChooser.h"

#include "FolderPaths.h"
#include "ScheduledBackup.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

const QString FolderChooser::Refusal =
    QStringLiteral("Choisissez un répertoire différent de celui de la base de données actuelle");

namespace {

const QString NewFolderPrompt = QStringLiteral("Nom du nouveau dossier :");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Volumes a user can keep files on: not the system's own.
bool offered(const QStorageInfo &volume)
{
    if (!volume.isValid() || !volume.isReady() || !QFileInfo(volume.rootPath()).isDir())
        return false;
    return !FolderPaths::IsSystemFolder(volume.rootPath(), QDir::homePath());
}

QString volumeCaption(const QStorageInfo &volume)
{
    if (volume.isRoot())
        return QStringLiteral("Ordinateur  (%1)").arg(native(volume.rootPath()));
    const QString root = native(volume.rootPath());
    const QString name = volume.displayName();
    return name.isEmpty() || name == volume.rootPath() ? root : root + QStringLiteral("  [") + name + QLatin1Char(']');
}

// The folders kept from one run to the next.
std::unique_ptr<QSettings> memory()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Rozodivo Velorin"),
                                       QStringLiteral("dossiers"));
}

// The folder tree without the system's folders.
class ShownFolders : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const auto *folders = static_cast<const QFileSystemModel *>(sourceModel());
        return !FolderPaths::IsSystemFolder(folders->filePath(folders->index(row, 0, parent)), m_home);
    }

private:
    const QString m_home = QDir::homePath();
};

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
    m_shownFolders = new ShownFolders(this);
    m_shownFolders->setSourceModel(m_folders);
    m_folderTree = new QTreeView(this);
    m_folderTree->setObjectName(QStringLiteral("folderTree"));
    m_folderTree->setModel(m_shownFolders);
    m_folderTree->setHeaderHidden(true);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        m_folderTree->hideColumn(column);
    m_folderTree->setSelectionMode(QAbstractItemView::SingleSelection);

    m_fileList = new QListWidget(this);
    m_fileList->setObjectName(QStringLiteral("fileList"));
    m_fileList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_fileList->setEnabled(!request.folderMode);

    m_pathField = new QLineEdit(this);
    m_pathField->setObjectName(QStringLiteral("pathField"));
    m_pathField->setToolTip(QStringLiteral("Tapez le chemin d'un dossier puis Entrée pour y aller"));
    m_pathField->installEventFilter(this);

    m_newFolderButton = new QPushButton(QStringLiteral("&Nouveau dossier"), this);
    m_newFolderButton->setObjectName(QStringLiteral("newFolderButton"));
    m_newFolderButton->setAutoDefault(false);
    m_validateButton = new QPushButton(QStringLiteral("Valider"), this);
    m_validateButton->setObjectName(QStringLiteral("validateButton"));
    m_validateButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Abandonner"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(m_statusBar);
    m_statusPanel->setObjectName(QStringLiteral("statusPanel"));
    m_statusPanel->setWordWrap(true);
    m_statusBar->addWidget(m_statusPanel, 1);

    auto caption = [this](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(caption(QStringLiteral("&Chemin :"), m_pathField));
    pathRow->addWidget(m_pathField, 1);
    auto *grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("&Emplacement :"), m_volumeList), 0, 0);
    grid->addWidget(m_volumeList, 1, 0);
    grid->addWidget(caption(QStringLiteral("&Dossiers :"), m_folderTree), 2, 0);
    grid->addWidget(m_folderTree, 3, 0);
    grid->addWidget(caption(QStringLiteral("&Fichiers (%1) :").arg(request.pattern), m_fileList), 0, 1, 3, 1,
                    Qt::AlignBottom);
    grid->addWidget(m_fileList, 3, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setRowStretch(3, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_newFolderButton);
    buttons->addStretch();
    buttons->addWidget(m_validateButton);
    buttons->addWidget(m_cancelButton);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(pathRow);
    outer->addLayout(grid, 1);
    outer->addLayout(buttons);
    outer->addWidget(m_statusBar);
    outer->setContentsMargins(8, 8, 8, 0);
    resize(720, 480);

    fillPlaces();
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
    connect(m_shownFolders, &QAbstractItemModel::rowsInserted, this, keepInView);
    connect(m_shownFolders, &QAbstractItemModel::layoutChanged, this, keepInView);
    connect(m_fileList, &QListWidget::itemClicked, this, [this] { fileClicked(); });
    connect(m_fileList, &QListWidget::currentRowChanged, this, [this] { fileClicked(); });
    connect(m_fileList, &QListWidget::itemDoubleClicked, this, [this] { fileDoubleClicked(); });
    connect(m_newFolderButton, &QPushButton::clicked, this, [this] { newFolderClicked(); });
    connect(m_validateButton, &QPushButton::clicked, this, [this] { validateClicked(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancelClicked(); });

    setFolder(startFolder());
}

QString FolderChooser::MemoryKey(const ChooserRequest &request)
{
    QString key = !request.memory.isEmpty()
                      ? request.memory
                      : (request.folderMode ? QStringLiteral("dossier ") : QStringLiteral("fichier ")) +
                            request.pattern + QLatin1Char(' ') + request.title;
    key.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return QStringLiteral("dernierDossier/") + key;
}

// The folder last chosen for the same request, while it is there; else the home folder.
QString FolderChooser::startFolder() const
{
    const QString last = memory()->value(MemoryKey(m_request)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir() && !FolderPaths::IsSystemFolder(last, QDir::homePath()))
        return last;
    return QDir::homePath();
}

void FolderChooser::fillPlaces()
{
    const QString home = QDir::homePath();
    m_volumeList->addItem(QStringLiteral("Dossier personnel  (%1)").arg(native(home)), home);
    for (const QString &media : FolderPaths::RemovableMedia())
        if (m_volumeList->findData(media) < 0)
            m_volumeList->addItem(native(media) + QStringLiteral("  [support amovible]"), media);
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (offered(volume) && m_volumeList->findData(volume.rootPath()) < 0)
            m_volumeList->addItem(volumeCaption(volume), volume.rootPath());
}

QString FolderChooser::folderPath() const
{
    const QModelIndex current = m_shownFolders->mapToSource(m_folderTree->currentIndex());
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

// Shows the folder tree of the volume holding `path`, the place that holds it selected in the list.
void FolderChooser::showVolumeOf(const QString &path)
{
    const QString root = QStorageInfo(path).rootPath();
    int index = -1, longest = -1;
    for (int i = 0; i < m_volumeList->count(); ++i) {
        const QString place = m_volumeList->itemData(i).toString();
        const bool holds = path == place || place == QLatin1String("/") || path.startsWith(place + QLatin1Char('/'));
        if (holds && place.size() > longest) {
            index = i;
            longest = int(place.size());
        }
    }
    if (index < 0 && !root.isEmpty()) {
        m_volumeList->addItem(native(root), root);
        index = m_volumeList->count() - 1;
    }
    {
        const QSignalBlocker blocker(m_volumeList);
        m_volumeList->setCurrentIndex(index);
    }
    const QString volumeRoot = root.isEmpty() ? QDir::rootPath() : root;
    m_folders->setRootPath(volumeRoot);
    // The root's parent as the tree's root, so that the volume's root can be chosen too.
    m_folderTree->setRootIndex(m_shownFolders->mapFromSource(m_folders->index(volumeRoot).parent()));
}

void FolderChooser::setFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(path));
    showVolumeOf(folder);
    const QModelIndex index = m_shownFolders->mapFromSource(m_folders->index(folder));
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
    // The folder open, its subfolders in view.
    const QModelIndex current = m_folderTree->currentIndex();
    for (QModelIndex parent = current.parent(); parent.isValid(); parent = parent.parent())
        m_folderTree->expand(parent);
    m_folderTree->expand(current);
    m_folderTree->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

bool FolderChooser::eventFilter(QObject *watched, QEvent *event)
{
    // Entrée in the path field goes to the folder; it never validates the chooser.
    if (watched == m_pathField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            pathEntered();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FolderChooser::pathEntered()
{
    QString typed = QDir::fromNativeSeparators(m_pathField->text().trimmed());
    if (typed.isEmpty()) {
        setStatus(QStringLiteral("Tapez le chemin d'un dossier, puis Entrée."));
        return;
    }
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    QFileInfo info(typed);
    if (info.isRelative() && !folderPath().isEmpty())
        info = QFileInfo(QDir(folderPath()).filePath(typed));
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    if (!info.exists()) {
        setStatus(QStringLiteral("Le dossier « %1 » n'existe pas.").arg(native(path)));
        return;
    }
    const QString folder = info.isDir() ? path : QDir::cleanPath(info.absolutePath());
    if (FolderPaths::IsSystemFolder(folder, QDir::homePath())) {
        setStatus(QStringLiteral("Le dossier « %1 » est un dossier du système : choisissez-en un autre.")
                      .arg(native(folder)));
        return;
    }
    setFolder(folder);
    // A file typed: its folder, and the file selected when the list offers it.
    if (!info.isDir() && !m_request.folderMode && !atDataFolder())
        selectFile(info.fileName());
}

QString FolderChooser::NameRefusal(const QString &name, const QString &parent)
{
    if (name.isEmpty())
        return QStringLiteral("Donnez un nom au nouveau dossier.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("« %1 » ne peut pas être le nom d'un dossier.").arg(name);
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar ch : name)
        if (ch.unicode() < 0x20 || forbidden.contains(ch))
            return QStringLiteral("Un nom de dossier ne peut contenir aucun de ces caractères : / \\ : * ? \" < > |");
    if (name.endsWith(QLatin1Char('.')))
        return QStringLiteral("Un nom de dossier ne peut pas finir par un point.");
    // Names a USB stick read on Windows cannot hold.
    static const QRegularExpression reserved(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (reserved.match(name).hasMatch())
        return QStringLiteral("« %1 » est un nom réservé par Windows : choisissez-en un autre.").arg(name);
    if (name.toUtf8().size() > 255)
        return QStringLiteral("Ce nom est trop long.");
    const QStringList present =
        QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : present)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return QStringLiteral("« %1 » existe déjà dans ce dossier.").arg(entry);
    return QString();
}

void FolderChooser::newFolderClicked()
{
    const QString parent = folderPath();
    if (parent.isEmpty())
        return;
    QString prompt = NewFolderPrompt;
    QString name;
    for (;;) {
        QInputDialog ask(this);
        ask.setObjectName(QStringLiteral("newFolderName"));
        ask.setWindowTitle(QStringLiteral("Nouveau dossier"));
        ask.setLabelText(prompt);
        ask.setTextValue(name);
        ask.setOkButtonText(QStringLiteral("Créer"));
        ask.setCancelButtonText(QStringLiteral("Annuler"));
        if (ask.exec() != QDialog::Accepted)
            return;
        name = ask.textValue().trimmed();
        const QString refusal = NameRefusal(name, parent);
        if (refusal.isEmpty())
            break;
        prompt = refusal + QStringLiteral("\n\n") + NewFolderPrompt;
    }
    if (!QDir(parent).mkdir(name)) {
        setStatus(QStringLiteral("Le dossier « %1 » n'a pas pu être créé dans « %2 ».").arg(name, native(parent)));
        return;
    }
    setFolder(FolderPaths::FileIn(parent, name));
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
    m_pathField->setText(native(folder));
    {
        const QSignalBlocker blocker(m_fileList);
        m_fileList->clear();
        if (!folder.isEmpty()) {
            const QStringList patterns = m_request.pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
            QStringList names =
                QDir(folder).entryList(patterns, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
            if (m_request.newestFirst) {
                const QDir dir(folder);
                auto written = [&dir](const QString &name) {
                    const QDateTime dated = ScheduledBackup::DateOfName(name);
                    return dated.isValid() ? dated : QFileInfo(dir.filePath(name)).lastModified();
                };
                QList<std::pair<QDateTime, QString>> byDate;
                for (const QString &name : names)
                    byDate.append({written(name), name});
                std::stable_sort(byDate.begin(), byDate.end(),
                                 [](const auto &a, const auto &b) { return a.first > b.first; });
                names.clear();
                for (const auto &entry : byDate)
                    names << entry.second;
            }
            m_fileList->addItems(names);
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
    memory()->setValue(MemoryKey(m_request), m_choice->folder);
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
