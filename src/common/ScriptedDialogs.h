#pragma once

#include "Dialogs.h"

#include <QList>
#include <QStringList>

#include <utility>

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
        bool defaultNo = false; // a question that Enter answers "Non"
    };

    void queueAnswer(bool yes) { m_answers.append(yes); }
    // The next "Oui / Non / Annuler" question's answer.
    void queueThreeWayAnswer(Answer answer) { m_threeWayAnswers.append(answer); }
    // The next folder chooser closes with this choice (empty folder: given up).
    void queueChoice(const QString &folder, const QString &file = QString()) { m_choices.append({folder, file}); }
    // The next print dialog is confirmed (true) or cancelled.
    void queuePrintAnswer(bool confirm) { m_printAnswers.append(confirm); }

    void message(const QString &title, const QString &text, Icon icon = Icon::Information) override;
    bool question(const QString &title, const QString &text, bool defaultNo = false) override;
    // Without a queued answer: "Annuler", recorded in unansweredQuestions.
    Answer questionWithCancel(const QString &title, const QString &text) override;
    // Records the request (title "Chooser: <title>", text the pattern) and
    // answers from the queue; without a queued choice the user gives up.
    std::optional<ChooserChoice> chooseFolder(const ChooserRequest &request) override;
    // Records the request (title "PrintDialog"); without a queued answer, cancels.
    bool printDialog(QPrinter *printer) override;
    void beginBusy() override
    {
        ++m_busyDepth;
        ++m_busyCount;
    }
    void endBusy() override { --m_busyDepth; }

    const QList<Shown> &shown() const { return m_shown; }
    QStringList titles() const;
    int pendingAnswers() const { return int(m_answers.size() + m_threeWayAnswers.size()); }
    int unansweredQuestions() const { return m_unanswered; }
    int busyDepth() const { return m_busyDepth; }
    int busyCount() const { return m_busyCount; }
    void clear() { m_shown.clear(); }

private:
    QList<bool> m_answers;
    QList<Answer> m_threeWayAnswers;
    QList<std::pair<QString, QString>> m_choices;
    QList<bool> m_printAnswers;
    QList<Shown> m_shown;
    int m_unanswered = 0;
    int m_busyDepth = 0;
    int m_busyCount = 0;
};
