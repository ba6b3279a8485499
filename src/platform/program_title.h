#pragma once

#include <QString>

// The program's name: the title of every message box, the name of its data
// folder and the start of the window's caption.
inline QString programTitle()
{
    return QStringLiteral("Quorvamel");
}

// The main window's caption.
inline QString windowCaption()
{
    return programTitle() + QStringLiteral(" email");
}
