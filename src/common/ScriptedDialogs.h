#pragma once

#include "Dialogs.h"

#include <QList>
#include <QStringList>

// Dialogs for tests and command-line tools: records what was shown and answers
// questions from a queue. A question without a queued answer is answered "Non"
// and recorded in unansweredQuestions so that a test can fail on it.
class ScriptedDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString title;
        QString text;
        bool isQuestion = false;
    };

    void queueAnswer(bool yes) { m_answers.append(yes); }

    void message(const QString &title, const QString &text, Icon icon = Icon::Information) override;
    bool question(const QString &title, const QString &text) override;
    void beginBusy() override
    {
        ++m_busyDepth;
        ++m_busyCount;
    }
    void endBusy() override { --m_busyDepth; }

    const QList<Shown> &shown() const { return m_shown; }
    QStringList titles() const;
    int pendingAnswers() const { return int(m_answers.size()); }
    int unansweredQuestions() const { return m_unanswered; }
    int busyDepth() const { return m_busyDepth; }
    int busyCount() const { return m_busyCount; }
    void clear() { m_shown.clear(); }

private:
    QList<bool> m_answers;
    QList<Shown> m_shown;
    int m_unanswered = 0;
    int m_busyDepth = 0;
    int m_busyCount = 0;
};
