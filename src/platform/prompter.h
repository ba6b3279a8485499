#pragma once

#include <QString>

// What a message box tells the user, and so the icon it shows.
enum class MessageKind {
    Notice,  // something done or to know: information
    Warning, // an entry or a run that could not go on: warning
    Error,   // a failure of the program or its files: critical
};

// Whether an input box shows what is typed or masks it.
enum class EntryEcho { Shown, Masked };

// Every message box and input box of the program goes through this
// interface: message boxes in the window, the terminal in the command-line
// tool, a scripted answerer in tests.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // An OK message box captioned with the title.
    virtual void showMessage(MessageKind kind, const QString& title, const QString& text) = 0;
    // A Yes/No question; true only for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // An input box with an initially empty entry; Cancel gives the empty text.
    virtual QString askText(const QString& title, const QString& prompt, EntryEcho echo) = 0;
};
