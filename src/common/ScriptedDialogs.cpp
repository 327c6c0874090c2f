#include "ScriptedDialogs.h"

#include "AppState.h"

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

void ScriptedDialogs::showChooser(AppState &state)
{
    m_shown.append({QStringLiteral("Chooser: ") + state.ChooserTitle, state.ChooserPattern, false});
    const auto choice = m_choices.isEmpty() ? std::pair<QString, QString>() : m_choices.takeFirst();
    state.ChosenFolder = choice.first;
    state.ChosenFile = choice.first.isEmpty() ? QString() : choice.second;
}

bool ScriptedDialogs::printDialog(QPrinter *)
{
    m_shown.append({QStringLiteral("PrintDialog"), QString(), false});
    return !m_printAnswers.isEmpty() && m_printAnswers.takeFirst();
}
