#include "Session.h"

void Session::selectSchool(int schoolNo)
{
    m_schoolNo = schoolNo;
    m_classNo = 0;
    m_classLevel = 0;
    m_pupilKey = 0;
    emit schoolSelected();
}

void Session::selectClass(int classNo, int levelCode)
{
    m_classNo = classNo;
    m_classLevel = classNo != 0 ? levelCode : 0;
    m_pupilKey = 0;
    emit classSelected();
}

void Session::selectPupil(qint64 pupilKey)
{
    m_pupilKey = pupilKey;
    emit pupilSelected();
}

void Session::clear()
{
    m_schoolNo = 0;
    m_classNo = 0;
    m_classLevel = 0;
    m_pupilKey = 0;
}
