#include "ScriptedDialogs.h"

void ScriptedDialogs::message(const QString &title, const QString &text, Icon)
{
    m_shown.append({title, text, false});
}

bool ScriptedDialogs::question(const QString &title, const QString &text, bool defaultNo)
{
    m_shown.append({title, text, true, defaultNo});
    if (m_answers.isEmpty()) {
        ++m_unanswered;
        return false;
    }
    return m_answers.takeFirst();
}

Dialogs::Answer ScriptedDialogs::questionWithCancel(const QString &title, const QString &text)
{
    m_shown.append({title, text, true, false});
    if (m_threeWayAnswers.isEmpty()) {
        ++m_unanswered;
        return Answer::Cancel;
    }
    return m_threeWayAnswers.takeFirst();
}

QStringList ScriptedDialogs::titles() const
{
    QStringList result;
    for (const auto &s : m_shown)
        result.append(s.title);
    return result;
}

std::optional<ChooserChoice> ScriptedDialogs::chooseFolder(const ChooserRequest &request)
{
    m_shown.append({QStringLiteral("Chooser: ") + request.title, request.pattern, false});
    const auto choice = m_choices.isEmpty() ? std::pair<QString, QString>() : m_choices.takeFirst();
    if (choice.first.isEmpty())
        return std::nullopt;
    return ChooserChoice{choice.first, choice.second};
}

bool ScriptedDialogs::printDialog(QPrinter *)
{
    m_shown.append({QStringLiteral("PrintDialog"), QString(), false});
    return !m_printAnswers.isEmpty() && m_printAnswers.takeFirst();
}
