#pragma once

#include "platform/prompter.h"

class QWidget;

// Message and input boxes of the window program.
class MessageBoxPrompter : public Prompter
{
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void showMessage(const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    QString askText(const QString& title, const QString& prompt) override;

private:
    QWidget* m_parent;
};
