// The folder chooser: the data-folder refusal, the two modes, roots, the paths
// the backup builds from the chosen folder, the places offered (no system
// folders), the folder remembered per request, the path field, "Nouveau
// dossier"; and the program's messages, whose paths break between their parts.
#include "WindowFixture.h"

#include "backup/FolderChooser.h"
#include "backup/FolderPaths.h"
#include "mainwindow/QtDialogs.h"

#include <QFileSystemModel>
#include <QPointer>
#include <QTimer>

#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTextLayout>
#include <QTreeView>

namespace {

// Answers the "Nouveau dossier" name dialogs in turn, each with the next name
// ("Annuler" for an empty one); `prompts` gets what each one asked.
void answerNames(QStringList names, QStringList *prompts)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=, last = QPointer<QWidget>()]() mutable {
        auto *ask = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!ask || ask == last)
            return;
        last = ask;
        *prompts << ask->labelText();
        ask->setTextValue(names.takeFirst());
        ask->textValue().isEmpty() ? ask->reject() : ask->accept();
        if (names.isEmpty())
            timer->deleteLater();
    });
    timer->start(5);
}

QStringList treeChildren(FolderChooser &w, const QString &folder)
{
    auto *shown = qobject_cast<QSortFilterProxyModel *>(w.findChild<QTreeView *>("folderTree")->model());
    const QModelIndex at = shown->mapFromSource(qobject_cast<QFileSystemModel *>(shown->sourceModel())->index(folder));
    QStringList names;
    for (int row = 0; row < shown->rowCount(at); ++row)
        names << shown->index(row, 0, at).data().toString();
    return names;
}

} // namespace

class TestChooser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_data = m_dir.filePath(QStringLiteral("Données")),
                  m_other = m_dir.filePath(QStringLiteral("Clé USB"));

private slots:
    void initTestCase()
    {
        // The folders remembered go into the test's own settings.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("réglages")));
        QVERIFY(QDir().mkpath(m_data) && QDir().mkpath(m_other));
        for (const char *name : {"DONNEES.MDB", "EXPORT.mdb", "notes.txt"})
            TestSupport::writeFile(m_other + '/' + name, "x");
    }

    // The data folder is refused in the status bar and by "Valider"; another
    // folder is chosen with the file highlighted (file mode only); "Abandonner"
    // chooses nothing; a root can be chosen. Through the program's dialogs, then in
    // folder mode, then in file mode.
    void choosing()
    {
        // The program's dialogs show the chooser modally, refusing their data folder.
        QString status;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *w = qobject_cast<FolderChooser *>(modal);
            w->setFolder(m_data);
            status = w->statusText();
            w->setFolder(m_other);
            w->validateClicked();
            if (w->isVisible()) // never hang on a window left open
                w->reject();
        });
        QtDialogs dialogs;
        dialogs.setDataFolder([this] { return m_data + '/'; });
        const std::optional<ChooserChoice> choice = dialogs.chooseFolder({true, "*.mdb", "Choisir", {}});
        QCOMPARE(status, FolderChooser::Refusal);
        QVERIFY(choice && choice->folder == m_other);

        for (bool folderMode : {true, false}) {
            FolderChooser w({folderMode, "*.mdb", "Choisir", {}}, m_data + '/');
            QListWidget *files = w.findChild<QListWidget *>("fileList");
            QPushButton *validate = w.findChild<QPushButton *>("validateButton");
            w.setFolder(m_data);
            QVERIFY(!validate->isEnabled() && !files->isEnabled());
            w.validateClicked();
            QCOMPARE(w.statusText(), FolderChooser::Refusal);
            QVERIFY(w.result() == QDialog::Rejected && !w.choice());

            w.setFolder(m_other);
            QCOMPARE(w.statusText(), QString());
            QCOMPARE(files->count(), 2); // "*.mdb" in any letter case
            QVERIFY(files->isEnabled() != folderMode && validate->isEnabled() == folderMode);
            QVERIFY(folderMode || w.selectFile(QStringLiteral("EXPORT.mdb")));
            w.fileDoubleClicked();
            QVERIFY(w.result() == QDialog::Accepted && w.choice());
            QCOMPARE(w.choice()->folder, m_other);
            QCOMPARE(w.choice()->file, folderMode ? QString() : QStringLiteral("EXPORT.mdb"));
            w.cancelClicked();
            QVERIFY(w.result() == QDialog::Rejected && !w.choice());

            w.setFolder(QStringLiteral("/"));
            QVERIFY(w.folderPath() == "/" && validate->isEnabled() == folderMode);
            w.validateClicked();
            QCOMPARE(w.choice()->folder, QStringLiteral("/"));
        }
    }

    // The paths built from a chosen folder, the data folder known under any of its names. System folders are
    // never offered: not as places (home first, removable media under /media, /media/USER, /run/media/USER), not
    // in the tree. A home under one stays.
    void pathsAndPlaces()
    {
        QCOMPARE(FolderPaths::FileIn("/home/prof/Clé USB//", "donnees.mdb"), "/home/prof/Clé USB/donnees.mdb");
        QCOMPARE(FolderPaths::FileIn("/", "donnees.mdb"), "/donnees.mdb");
        QCOMPARE(FolderPaths::FileIn("E:/", "donnees.mdb"), "E:/donnees.mdb");
        const QString link = m_dir.filePath("raccourci");
        QVERIFY(QFile::link(m_data, link));
        for (const QString &same : {m_data, m_data.toUpper() + "/", link})
            QVERIFY2(FolderPaths::IsDataFolder(same, m_data + '/'), qPrintable(same));
        for (const QString &other : {m_dir.path(), m_other, QString()})
            QVERIFY2(!FolderPaths::IsDataFolder(other, m_data + '/'), qPrintable(other));
        for (const char *hidden : {"/proc", "/sys/class", "/usr/share", "/run/user/1000", "/etc", "/var/lib", "/root"})
            QVERIFY2(FolderPaths::IsSystemFolder(hidden, "/var/home/prof"), hidden);
        for (const char *shown :
             {"/", "/var", "/var/home/prof/Documents", "/media/CLE", "/run/media/prof/CLE", "/usr2"})
            QVERIFY2(!FolderPaths::IsSystemFolder(shown, "/var/home/prof"), shown);
        const QString root = m_dir.filePath(QStringLiteral("racine"));
        for (const char *folder : {"media/CLE1", "media/prof/CLE2", "run/media/prof/DISQUE", "run/user/1000"})
            QVERIFY(QDir().mkpath(root + '/' + folder));
        const QByteArray user = qgetenv("USER");
        qputenv("USER", "prof");
        const QStringList media = FolderPaths::RemovableMedia(root);
        qputenv("USER", user);
        QCOMPARE(media,
                 (QStringList{root + "/media/CLE1", root + "/media/prof/CLE2", root + "/run/media/prof/DISQUE"}));

        FolderChooser w({true, "*.mdb", "Choisir", {}}, m_data + '/');
        auto *places = w.findChild<QComboBox *>("volumeList");
        QVERIFY(places->itemData(0).toString() == QDir::homePath() &&
                places->itemText(0).startsWith("Dossier personnel"));
        w.setFolder(QStringLiteral("/"));
        QTRY_VERIFY(treeChildren(w, "/").contains(QStringLiteral("tmp")));
        for (const char *hidden : {"proc", "sys", "dev", "usr", "etc", "var", "boot", "run"})
            QVERIFY2(!treeChildren(w, "/").contains(QLatin1String(hidden)), hidden);
        places->setCurrentIndex(0);
        QCOMPARE(w.folderPath(), QDir::homePath());
    }

    // The chooser opens where the same request last chose (kept in the settings from one
    // run to the next), else at the home folder: given up, or the folder gone.
    void remembersTheLastFolder()
    {
        const ChooserRequest restore{false, "*.mdb", "Choisir la sauvegarde à restaurer", {}},
            backup{true, "*.mdb", "Choisir le répertoire de destination", {}};
        const auto choose = [&](const ChooserRequest &request, const QString &folder, bool validate) {
            FolderChooser w(request, m_data + '/');
            const QString opened = w.folderPath();
            w.setFolder(folder);
            validate ? w.validateClicked() : w.cancelClicked();
            return opened;
        };
        const QString gone = m_dir.filePath(QStringLiteral("disparu"));
        QVERIFY(QDir().mkpath(gone));
        QCOMPARE(choose(restore, m_other, true), QDir::homePath());
        QVERIFY(QFileInfo::exists(m_dir.filePath(QStringLiteral("réglages/Rozodivo Velorin/dossiers.ini"))));
        QCOMPARE(choose(backup, m_dir.path(), false), QDir::homePath());
        QCOMPARE(choose(restore, gone, true), m_other);
        QCOMPARE(choose(backup, m_other, true), QDir::homePath());
        QVERIFY(QDir(gone).removeRecursively());
        QCOMPARE(choose(backup, m_other, false), m_other);
        QCOMPARE(choose(restore, m_other, false), QDir::homePath());
        // Requests that name one memory share it, whatever their titles (backup and restore do).
        const ChooserRequest saving{true, "*.mdb", "Sauver", "commun"},
            restoring{false, "*.mdb", "Restaurer", "commun"};
        choose(saving, m_other, true);
        QCOMPARE(choose(restoring, m_dir.path(), false), m_other);
    }

    // Entrée in the path field goes to the folder typed (a file's folder with the file
    // selected) and never validates; a missing or system folder is refused, in French.
    // Then "Nouveau dossier".
    void pathFieldAndNewFolder()
    {
        FolderChooser w({false, "*.mdb", "Choisir", {}}, m_data + '/');
        auto *field = w.findChild<QLineEdit *>("pathField");
        const auto enter = [&](const QString &typed) {
            field->setText(typed);
            QTest::keyClick(field, Qt::Key_Return);
            return w.folderPath();
        };
        QCOMPARE(enter(m_other), m_other);
        QVERIFY(field->text() == QDir::toNativeSeparators(m_other) && w.result() != QDialog::Accepted);
        enter(m_data + "/../Clé USB/EXPORT.mdb");
        QCOMPARE(w.findChild<QListWidget *>("fileList")->currentItem()->text(), QStringLiteral("EXPORT.mdb"));
        w.setFolder(m_dir.path());
        QCOMPARE(enter(QStringLiteral("Clé USB")), m_other);
        QCOMPARE(enter(m_dir.filePath("nulle part")), m_other);
        QCOMPARE(w.statusText(), "Le dossier « " + m_dir.filePath("nulle part") + " » n'existe pas.");
        QCOMPARE(enter(QStringLiteral("/proc/self")), m_other);
        QCOMPARE(w.statusText(), "Le dossier « /proc/self » est un dossier du système : choisissez-en un autre.");
        QVERIFY(w.result() != QDialog::Accepted && !w.choice());

        // "Nouveau dossier" asks again, saying why, until the name will do; the folder is made in the folder
        // shown and chosen. "Annuler" makes nothing.
        QStringList prompts;
        answerNames({"CP/CE1", "notes.txt", "Sauvegardes 2026"}, &prompts);
        w.findChild<QPushButton *>("newFolderButton")->click();
        QCOMPARE(prompts.size(), 3);
        QCOMPARE(prompts.at(0), QStringLiteral("Nom du nouveau dossier :"));
        QVERIFY(prompts.at(1).startsWith(QStringLiteral("Un nom de dossier ne peut contenir aucun")));
        QVERIFY(prompts.at(2).startsWith(QStringLiteral("« notes.txt » existe déjà dans ce dossier.\n\nNom")));
        const QString made = m_other + QStringLiteral("/Sauvegardes 2026");
        QVERIFY(QFileInfo(made).isDir() && w.folderPath() == made);
        answerNames({QString()}, &prompts);
        w.findChild<QPushButton *>("newFolderButton")->click();
        QVERIFY(prompts.size() == 4 && w.folderPath() == made && QDir(made).isEmpty());
    }

    void newFolderNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal");
        const auto row = [](const char *tag, const QString &name, const QString &refusal) {
            QTest::newRow(tag) << name << refusal;
        };
        row("empty", "", "Donnez un nom au nouveau dossier.");
        row("dots", "..", "« .. » ne peut pas être le nom d'un dossier.");
        for (const char *bad : {"CP/CE1", "a\\b", "Notes: 2026", "quoi?", "tab\tulé"})
            row(bad, bad, "Un nom de dossier ne peut contenir aucun de ces caractères : / \\ : * ? \" < > |");
        row("dot", "Sauvegardes.", "Un nom de dossier ne peut pas finir par un point.");
        row("COM1.txt", "com1.txt", "« com1.txt » est un nom réservé par Windows : choisissez-en un autre.");
        row("long", QString(130, QChar(0xE9)), "Ce nom est trop long.");
        row("taken", "clé usb", "« Clé USB » existe déjà dans ce dossier.");
        for (const char *good : {"Année 2026-2027", "console"})
            row(good, good, "");
    }
    void newFolderNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        QCOMPARE(FolderChooser::NameRefusal(name, m_dir.path()), refusal);
    }

    // A message holding a long path, in a box narrower than the path: the lines end
    // after a "/" or a blank between words, never inside a folder's name.
    void pathsBreakBetweenTheirParts()
    {
        const QString folder = "/home/enseignant/Documents/École Jules-Ferry/Année 2026-2027/Sauvegardes de la classe/";
        const QString text = "La création du fichier a réussi : CP_B.pdf\nIl se trouve dans le répertoire : " + folder;
        const auto visible = [](QString s) {
            return s.remove(QChar(0x200B)).remove(QChar(0x2060)).replace(QChar(0xA0), ' ');
        };
        QCOMPARE(visible(BreakablePaths(text)), text);
        QStringList lines;
        WindowFixture::onNextModal([&](QWidget *modal) {
            // The label's own wrapping, at its width.
            auto *label = modal->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            QTextLayout layout(label->text(), label->font());
            QTextOption option;
            option.setWrapMode(QTextOption::WordWrap);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(label->contentsRect().width());
                lines << label->text().mid(line.textStart(), line.textLength());
                QVERIFY(line.naturalTextWidth() <= label->contentsRect().width());
            }
            layout.endLayout();
            modal->close();
        });
        QtDialogs().message(QStringLiteral("Message"), text);
        QVERIFY(lines.size() >= 4);
        // Inside the path, a line ends only after a "/".
        qsizetype end = 0;
        for (const QString &line : lines.mid(0, lines.size() - 1)) {
            end += visible(line).size();
            QVERIFY2(end <= text.indexOf(folder) || text.at(end - 1) == '/', qPrintable(line));
        }
    }
};

QTEST_MAIN(TestChooser)
#include "tst_chooser.moc"
