#include "support/common_scripted_prompter.h"

#include <QTest>

void ScriptedPrompter::showMessage(MessageKind kind, const QString& title, const QString& text)
{
    m_shown.append({Shown::Message, title, text, kind});
}

bool ScriptedPrompter::askYesNo(const QString& title, const QString& text)
{
    m_shown.append({Shown::Question, title, text});
    return !takeAnswer().isEmpty();
}

QString ScriptedPrompter::askText(const QString& title, const QString& prompt, EntryEcho echo)
{
    m_shown.append({Shown::Input, title, prompt, MessageKind::Notice, echo});
    return takeAnswer();
}

QStringList ScriptedPrompter::texts() const
{
    QStringList all;
    for (const Shown& s : m_shown)
        all.append(s.text);
    return all;
}

QList<MessageKind> ScriptedPrompter::messageKinds() const
{
    QList<MessageKind> kinds;
    for (const Shown& s : m_shown) {
        if (s.kind == Shown::Message)
            kinds.append(s.messageKind);
    }
    return kinds;
}

QString ScriptedPrompter::takeAnswer()
{
    if (m_answers.isEmpty()) {
        // An unexpected question is a test failure, never a silent "No".
        QTest::qFail("ScriptedPrompter: a question came with no scripted answer", __FILE__,
                     __LINE__);
        return {};
    }
    return m_answers.dequeue();
}
