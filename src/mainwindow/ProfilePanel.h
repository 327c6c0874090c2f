#pragma once

#include <QGroupBox>
#include <QList>

class QLabel;

// A profile panel of the main window ("Profil élève", "Profil Classe"): a
// fixed drawing with four domain captions and four value labels. The labels
// belong to the window's two label arrays (Label5, Label6) at the indices given.
class ProfilePanel : public QGroupBox
{
    Q_OBJECT
public:
    ProfilePanel(const QString &objectName, const QString &title, int captionBase, int valueBase,
                 QWidget *parent = nullptr);

    QList<QLabel *> captions() const { return m_captions; }
    QList<QLabel *> values() const { return m_values; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<QLabel *> m_captions;
    QList<QLabel *> m_values;
};
