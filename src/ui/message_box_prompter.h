#pragma once

#include "platform/prompter.h"

class QWidget;

// Message and input boxes of the window program.
class MessageBoxPrompter : public Prompter
{
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParentWidget(QWidget* parent) { m_parent = parent; }

    // The icon follows the kind: information, warning or critical; a
    // question shows the question icon.
    void showMessage(MessageKind kind, const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    QString askText(const QString& title, const QString& prompt, EntryEcho echo) override;

private:
    QWidget* m_parent;
};
