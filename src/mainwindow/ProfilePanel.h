#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QLabel;

// A profile panel of the main window ("Profil élève", "Profil Classe"): a
// fixed drawing with four domain rows, each a caption ("domainCaption_<row>")
// and a value ("domainValue_<row>"), in the level's display order.
class ProfilePanel : public QGroupBox
{
    Q_OBJECT
public:
    ProfilePanel(const QString &objectName, const QString &title, QWidget *parent = nullptr);

    void setCaptions(const QStringList &captions);
    void setValues(const QStringList &values);
    // "_" in every row.
    void clearValues();
    QString valueText(int row) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void nameValues();

    QList<QLabel *> m_captions;
    QList<QLabel *> m_values;
};
