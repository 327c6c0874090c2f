#include "WindowFixture.h"

#include "mainwindow/MainWiring.h"
#include "mainwindow/ProfilePanel.h"

#include <QApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QTimer>

void WindowFixture::fillSample()
{
    exec(QStringLiteral(
        "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE, NOM_COMM, ZEP, BCD, STAGE) VALUES (7, 'Ecole A', 'Brest', 2, 3, 0);"
        "INSERT INTO ECOLE (NOECOLE, NOM_ECOLE) VALUES (3, 'Ecole B');"
        "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, ENSEIGN, NIVEAU, TEMP_UTIL, EXPER, FORMAT) "
        "VALUES (7, 1, 'Martin CP', 'Martin', 'CP', 2, 3, 1);"
        "INSERT INTO CLASSE (NOECOLE, NOCLASSE, LIBELLE, NIVEAU) VALUES (7, 4, 'Durand GS', 'GS'), "
        "(3, 9, 'Petit CE1', 'CE1');"
        "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP, T1_E2CAT) VALUES (7, 1, 'Alice', 5, 4);"
        "INSERT INTO ELEVE (NOECOLE, NOCLASSE, NOM, CSP) VALUES (7, 1, 'Bruno', 2), (7, 1, 'Chloé', 0), "
        "(7, 4, 'Denis', 1), (3, 9, 'Emma', 1);"
        "INSERT INTO PARCOURS (ANNEE, NOECOLE, NOCLASSE, NOM) VALUES ('2025-2026', 7, 1, 'Ancien'), "
        "('2025-2026', 3, 1, 'Ancien');"
        "INSERT INTO CHANGEANNEE (NO_OPER, NOECOLE, ANNEE) VALUES (7, 7, '2025-2026'), (3, 3, '2025-2026')"));
}

void WindowFixture::exec(const QString &sql) const
{
    // Once the program works on the file, through its own connection: a
    // trigger added there then fires on the program's writes.
    context.connection.isOpen() ? TestSupport::execWithTriggers(context.connection.database(), sql)
                                : TestSupport::execSql(dir.path(), sql);
}

bool WindowFixture::start(bool wired)
{
    context.connection.setDataFolder(dir.path());
    window = std::make_unique<MainWindow>(context);
    if (wired)
        ConnectMainWindow(*window, context);
    return window->start();
}

QStringList WindowFixture::texts(const QListWidget *list)
{
    QStringList t;
    for (int i = 0; i < list->count(); ++i)
        t.append(list->item(i)->text());
    return t;
}

void WindowFixture::select(QListWidget *list, const QString &text)
{
    const int row = int(texts(list).indexOf(text));
    QVERIFY2(row >= 0, qPrintable(QStringLiteral("no entry %1").arg(text)));
    list->setCurrentRow(row);
}

QStringList WindowFixture::panelValues(const QString &panel) const
{
    const ProfilePanel *p = window->findChild<ProfilePanel *>(panel);
    QStringList values;
    for (int row = 0; p && row < 4; ++row)
        values.append(p->valueText(row));
    return values;
}

QStringList WindowFixture::query(const QString &sql) const
{
    QSqlQuery q(context.connection.database());
    QStringList out;
    if (!q.exec(sql))
        return {QStringLiteral("error: ") + sql};
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row.append(q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        out.append(row.join(QLatin1Char('|')));
    }
    return out;
}

void WindowFixture::onNextModal(const std::function<void(QWidget *)> &act)
{
    // Polls until the modal window is up: it is shown once the command's exec() runs.
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}
