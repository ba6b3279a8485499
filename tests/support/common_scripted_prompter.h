#pragma once

#include "platform/prompter.h"

#include <QQueue>
#include <QStringList>

// Answers message and input boxes from a script and records every text
// shown, so a test can click "Yes" or "No" and read what the user saw.
class ScriptedPrompter : public Prompter
{
public:
    struct Shown
    {
        enum Kind { Message, Question, Input } kind;
        QString title;
        QString text;
        MessageKind messageKind = MessageKind::Notice; // of a Message
        EntryEcho echo = EntryEcho::Shown;             // of an Input
    };

    void queueYesNo(bool yes) { m_answers.enqueue(yes ? QStringLiteral("yes") : QString()); }
    void queueText(const QString& text) { m_answers.enqueue(text); }

    void showMessage(MessageKind kind, const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    QString askText(const QString& title, const QString& prompt, EntryEcho echo) override;

    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    // The kind of each message box shown, in order (questions and input
    // boxes left out).
    QList<MessageKind> messageKinds() const;
    int pendingAnswers() const { return int(m_answers.size()); }

private:
    QString takeAnswer();

    QQueue<QString> m_answers;
    QList<Shown> m_shown;
};
