#include "ScriptedDialogs.h"

void ScriptedDialogs::message(const QString &title, const QString &text, Icon)
{
    m_shown.append({title, text, false});
}

bool ScriptedDialogs::question(const QString &title, const QString &text)
{
    m_shown.append({title, text, true});
    if (m_answers.isEmpty()) {
        ++m_unanswered;
        return false;
    }
    return m_answers.takeFirst();
}

QStringList ScriptedDialogs::titles() const
{
    QStringList result;
    for (const auto &s : m_shown)
        result.append(s.title);
    return result;
}
