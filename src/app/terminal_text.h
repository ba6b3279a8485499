#pragma once

#include <QString>

// Text bound for a terminal. Mail headers, server replies and file names
// are not ours: a raw ESC, BEL or C1 byte in them could clear the screen,
// retitle the window or feed input back to the shell. Each control
// character is replaced by a visible mark instead: U+0000..U+001F by its
// control picture (U+2400 + code), DEL by U+2421, U+0080..U+009F by U+FFFD.

// One line of text: every control character replaced, line breaks too.
QString terminalSafe(QString text);

// One field of a TAB-separated row: TAB, CR and LF become a blank so the
// columns stay intact; every other control character is replaced.
QString terminalSafeField(QString text);

// Text of several lines: CR LF and LF become one LF each; every other
// control character, a lone CR too, is replaced.
QString terminalSafeLines(const QString& text);
