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
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTextLayout>
#include <QTreeView>

namespace {

// Answers the "Nouveau dossier" name dialogs one after the other: each name
// typed and "Créer" (an empty name: "Annuler"); `prompts` gets what each asked.
void answerNames(const QStringList &names, QStringList *prompts)
{
    auto *pending = new QStringList(names);
    auto *timer = new QTimer;
    auto *last = new QPointer<QWidget>;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto *ask = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!ask || ask == last->data())
            return;
        *last = ask;
        *prompts << ask->labelText();
        const QString name = pending->takeFirst();
        if (pending->isEmpty()) {
            timer->stop();
            timer->deleteLater();
            delete pending;
            delete last;
        }
        if (name.isEmpty()) {
            ask->reject();
        } else {
            ask->setTextValue(name);
            ask->accept();
        }
    });
    timer->start();
}

QStringList treeChildren(FolderChooser &w, const QString &folder)
{
    auto *tree = w.findChild<QTreeView *>("folderTree");
    auto *shown = qobject_cast<QSortFilterProxyModel *>(tree->model());
    auto *folders = qobject_cast<QFileSystemModel *>(shown->sourceModel());
    const QModelIndex at = shown->mapFromSource(folders->index(folder));
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

    void paths()
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
    }

    // The data folder is refused in the status bar and by "Valider"; another
    // folder is chosen with the file highlighted (file mode only); "Abandonner"
    // chooses nothing; a root can be chosen. In folder mode, then in file mode.
    void choosing()
    {
        for (bool folderMode : {true, false}) {
            FolderChooser w({folderMode, "*.mdb", "Choisir"}, m_data + '/');
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

    void systemFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("system");
        for (const char *hidden : {"/proc", "/sys/class", "/dev", "/usr/share", "/run", "/run/user/1000", "/boot",
                                   "/etc", "/var/lib", "/snap", "/lib64", "/root"})
            QTest::newRow(hidden) << QString(hidden) << true;
        for (const char *offered : {"/", "/home", "/home/prof/Documents", "/media", "/media/prof/CLE",
                                    "/run/media/prof/CLE", "/mnt/usb", "/tmp", "/usr2", "/var/home/prof"})
            QTest::newRow(offered) << QString(offered) << false;
    }
    // System folders are never offered; the home folder, even under one, and the folders above it are.
    void systemFolders()
    {
        QFETCH(QString, folder);
        QFETCH(bool, system);
        QCOMPARE(FolderPaths::IsSystemFolder(folder, QStringLiteral("/var/home/prof")), system);
    }

    // Removable media under /media, /media/USER and /run/media/USER; the places start with the
    // home folder; the tree of "/" hides the system's folders.
    void places()
    {
        const QString root = m_dir.filePath(QStringLiteral("racine"));
        for (const char *folder : {"media/CLE1", "media/prof/CLE2", "run/media/prof/DISQUE", "run/user/1000"})
            QVERIFY(QDir().mkpath(root + '/' + folder));
        const QByteArray user = qgetenv("USER");
        qputenv("USER", "prof");
        const QStringList media = FolderPaths::RemovableMedia(root);
        qputenv("USER", user);
        QCOMPARE(media, (QStringList{root + "/media/CLE1", root + "/media/prof/CLE2", root + "/run/media/prof/DISQUE"}));

        FolderChooser w({true, "*.mdb", "Choisir"}, m_data + '/');
        auto *places = w.findChild<QComboBox *>("volumeList");
        QCOMPARE(places->itemData(0).toString(), QDir::homePath());
        QVERIFY(places->itemText(0).startsWith(QStringLiteral("Dossier personnel")));
        for (int i = 0; i < places->count(); ++i)
            QVERIFY2(!FolderPaths::IsSystemFolder(places->itemData(i).toString(), QDir::homePath()),
                     qPrintable(places->itemText(i)));
        w.setFolder(QStringLiteral("/"));
        QTRY_VERIFY(treeChildren(w, "/").contains(QStringLiteral("tmp")));
        const QStringList top = treeChildren(w, "/");
        for (const char *hidden : {"proc", "sys", "dev", "usr", "etc", "var", "boot", "run"})
            QVERIFY2(!top.contains(QLatin1String(hidden)), hidden);
        // Choosing a place goes there.
        places->setCurrentIndex(0);
        QCOMPARE(w.folderPath(), QDir::homePath());
    }

    // The chooser opens where the same request last chose (from one run to the next,
    // through the settings), else at the home folder; each request has its own.
    void remembersTheLastFolder()
    {
        const ChooserRequest restore{false, "*.mdb", "Choisir la sauvegarde à restaurer"};
        const ChooserRequest backup{true, "*.mdb", "Choisir le répertoire de destination"};
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Rozodivo Velorin", "dossiers").clear();
        {
            FolderChooser first(restore, m_data + '/');
            QCOMPARE(first.folderPath(), QDir::homePath());
            first.setFolder(m_other);
            QVERIFY(first.selectFile("EXPORT.mdb"));
            first.validateClicked();
        }
        QVERIFY(QFileInfo::exists(m_dir.filePath(QStringLiteral("réglages/Rozodivo Velorin/dossiers.ini"))));
        FolderChooser again(restore, m_data + '/');
        QCOMPARE(again.folderPath(), m_other);
        QCOMPARE(again.windowTitle(), QStringLiteral("Choisir la sauvegarde à restaurer"));
        FolderChooser other(backup, m_data + '/');
        QCOMPARE(other.folderPath(), QDir::homePath());
        // Given up: nothing kept. Gone: the home folder again.
        other.setFolder(m_data + "/..");
        other.cancelClicked();
        QCOMPARE(FolderChooser(backup, m_data + '/').folderPath(), QDir::homePath());
        const QString gone = m_dir.filePath(QStringLiteral("disparu"));
        QVERIFY(QDir().mkpath(gone));
        FolderChooser third(restore, m_data + '/');
        third.setFolder(gone);
        third.validateClicked();
        QVERIFY(QDir(gone).removeRecursively());
        QCOMPARE(FolderChooser(restore, m_data + '/').folderPath(), QDir::homePath());
    }

    // Entrée in the path field goes to the folder typed (a file's folder with the file
    // selected) and never validates; a missing or system folder is refused, in French.
    void pathField()
    {
        FolderChooser w({false, "*.mdb", "Choisir"}, m_data + '/');
        auto *field = w.findChild<QLineEdit *>("pathField");
        const auto enter = [&](const QString &typed) {
            field->setText(typed);
            QTest::keyClick(field, Qt::Key_Return);
        };
        enter(m_other);
        QCOMPARE(w.folderPath(), m_other);
        QCOMPARE(field->text(), QDir::toNativeSeparators(m_other));
        QVERIFY(w.result() != QDialog::Accepted && !w.choice());
        enter(m_dir.path() + "/Données/../Clé USB/EXPORT.mdb");
        QVERIFY(w.findChild<QListWidget *>("fileList")->currentItem());
        QCOMPARE(w.findChild<QListWidget *>("fileList")->currentItem()->text(), QStringLiteral("EXPORT.mdb"));
        w.setFolder(m_dir.path());
        enter(QStringLiteral("Clé USB"));
        QCOMPARE(w.folderPath(), m_other);

        enter(m_dir.filePath(QStringLiteral("nulle part")));
        QCOMPARE(w.statusText(), "Le dossier « " + m_dir.filePath(QStringLiteral("nulle part")) + " » n'existe pas.");
        QCOMPARE(w.folderPath(), m_other);
        enter(QStringLiteral("/proc/self"));
        QCOMPARE(w.statusText(), QStringLiteral("Le dossier « /proc/self » est un dossier du système : choisissez-en "
                                                "un autre."));
        QCOMPARE(w.folderPath(), m_other);
        QVERIFY(w.result() != QDialog::Accepted && w.isHidden());
    }

    void newFolderNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("empty") << "" << "Donnez un nom au nouveau dossier.";
        QTest::newRow("dots") << ".." << "« .. » ne peut pas être le nom d'un dossier.";
        const QString characters =
            QStringLiteral("Un nom de dossier ne peut contenir aucun de ces caractères : / \\ : * ? \" < > |");
        for (const char *bad : {"CP/CE1", "a\\b", "Notes: 2026", "quoi?", "a|b", "tab\tulé"})
            QTest::newRow(bad) << bad << characters;
        QTest::newRow("dot") << "Sauvegardes." << "Un nom de dossier ne peut pas finir par un point.";
        QTest::newRow("CON") << "con" << "« con » est un nom réservé par Windows : choisissez-en un autre.";
        QTest::newRow("COM1.txt") << "COM1.txt" << "« COM1.txt » est un nom réservé par Windows : choisissez-en un autre.";
        QTest::newRow("long") << QString(130, QChar(0xE9)) << "Ce nom est trop long.";
        QTest::newRow("taken") << "clé usb" << "« Clé USB » existe déjà dans ce dossier.";
        for (const char *good : {"Sauvegardes 2026", "Année 2026-2027", "Contrôle", "console"})
            QTest::newRow(good) << good << "";
    }
    void newFolderNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        QCOMPARE(FolderChooser::NameRefusal(name, m_dir.path()), refusal);
    }

    // "Nouveau dossier" asks again, saying why, until the name will do; the folder is made
    // in the folder shown and chosen. "Annuler" makes nothing.
    void newFolder()
    {
        FolderChooser w({true, "*.mdb", "Choisir"}, m_data + '/');
        w.setFolder(m_other);
        QStringList prompts;
        answerNames({"CP/CE1", "notes.txt", "Sauvegardes 2026"}, &prompts);
        w.findChild<QPushButton *>("newFolderButton")->click();
        QCOMPARE(prompts.size(), 3);
        QCOMPARE(prompts.at(0), QStringLiteral("Nom du nouveau dossier :"));
        QVERIFY(prompts.at(1).startsWith(QStringLiteral("Un nom de dossier ne peut contenir aucun")));
        QVERIFY(prompts.at(2).startsWith(QStringLiteral("« notes.txt » existe déjà dans ce dossier.\n\nNom")));
        const QString made = m_other + QStringLiteral("/Sauvegardes 2026");
        QVERIFY(QFileInfo(made).isDir());
        QCOMPARE(w.folderPath(), made);

        prompts.clear();
        answerNames({QString()}, &prompts);
        w.findChild<QPushButton *>("newFolderButton")->click();
        QCOMPARE(prompts.size(), 1);
        QCOMPARE(w.folderPath(), made);
        QCOMPARE(QDir(made).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // A message holding a long path, in a box narrower than the path: the lines end
    // after a "/" or a blank between words, never inside a folder's name.
    void pathsBreakBetweenTheirParts()
    {
        const QString folder = QStringLiteral("/home/enseignant/Documents/École Jules-Ferry/Année 2026-2027/"
                                              "Sauvegardes de la classe/Trimestre-1/");
        const QString text = QStringLiteral("La création du fichier a réussi : CP_B.pdf\n"
                                            "Il se trouve dans le répertoire : ") + folder;
        QCOMPARE(BreakablePaths(text).remove(QChar(0x200B)).remove(QChar(0x2060)).replace(QChar(0xA0), ' '), text);
        QStringList lines;
        int width = 0;
        WindowFixture::onNextModal([&](QWidget *modal) {
            auto *label = modal->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            width = label->contentsRect().width();
            // The label's own wrapping, at its width.
            QTextLayout layout(label->text(), label->font());
            QTextOption option;
            option.setWrapMode(QTextOption::WordWrap);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                lines << label->text().mid(line.textStart(), line.textLength());
                QVERIFY(line.naturalTextWidth() <= width);
            }
            layout.endLayout();
            qobject_cast<QMessageBox *>(modal)->accept();
        });
        QtDialogs().message(QStringLiteral("Message"), text);
        QVERIFY2(lines.size() >= 4, qPrintable(QString::number(width)));
        // Inside the path, a line ends only after a "/".
        const qsizetype pathStart = text.indexOf(folder);
        qsizetype end = 0;
        for (const QString &line : lines.mid(0, lines.size() - 1)) {
            end += QString(line).remove(QChar(0x200B)).remove(QChar(0x2060)).size();
            QVERIFY2(end <= pathStart || text.at(end - 1) == '/', qPrintable(line));
        }
    }

    // The program's dialogs show the chooser modally, refusing their data folder.
    void shownThroughTheDialogs()
    {
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
        dialogs.setDataFolder(m_data + '/');
        const std::optional<ChooserChoice> choice = dialogs.chooseFolder({true, "*.mdb", "Choisir"});
        QCOMPARE(status, FolderChooser::Refusal);
        QVERIFY(choice && choice->folder == m_other);
    }
};

QTEST_MAIN(TestChooser)
#include "tst_chooser.moc"
