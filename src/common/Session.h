#pragma once

#include <QObject>

// A school, class and pupil by key; 0 where none is meant.
struct SelectionKeys
{
    int schoolNo = 0;
    int classNo = 0;
    qint64 pupilKey = 0;
};

// The selection the user works on: a school, one of its classes and one of
// that class's pupils, each by its key (never by the text a list shows). The
// main window keeps it in step with its lists; every command reads it, and a
// window that moves to another pupil sets it.
class Session : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    int schoolNo() const { return m_schoolNo; }
    int classNo() const { return m_classNo; }
    // 1 GS, 2 CP, 3 CE1; 0 when no class is selected or its level is not evaluated.
    int classLevel() const { return m_classLevel; }
    qint64 pupilKey() const { return m_pupilKey; }
    bool hasClass() const { return m_schoolNo != 0 && m_classNo != 0; }
    bool hasPupil() const { return m_pupilKey != 0; }
    SelectionKeys keys() const { return {m_schoolNo, m_classNo, m_pupilKey}; }

    // Each selection clears what lies below it. The signal is emitted even
    // when the key is unchanged: selecting again refreshes what depends on it.
    void selectSchool(int schoolNo);
    void selectClass(int classNo, int levelCode);
    void selectPupil(qint64 pupilKey);
    void clear();

    // Told by a window that stored results of the selected class.
    void notifyResultsChanged() { emit resultsChanged(); }

signals:
    void schoolSelected();
    void classSelected();
    void pupilSelected();
    void resultsChanged();

private:
    int m_schoolNo = 0;
    int m_classNo = 0;
    int m_classLevel = 0;
    qint64 m_pupilKey = 0;
};
