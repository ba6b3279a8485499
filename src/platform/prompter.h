#pragma once

#include <QString>

// Every message box and input box of the program goes through this
// interface: message boxes in the window, the terminal in the command-line
// tool, a scripted answerer in tests.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // An OK message box captioned with the title.
    virtual void showMessage(const QString& title, const QString& text) = 0;
    // A Yes/No question; true only for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // An input box with an initially empty entry; Cancel gives the empty text.
    virtual QString askText(const QString& title, const QString& prompt) = 0;
};
