#pragma once

#include <QString>

// Questions on the terminal of standard input, for quorvamel-check.

// Reads the run password with echo off. Echo goes off before the prompt
// is shown, and what was typed ahead is read, not thrown away. If the
// program is interrupted or terminated meanwhile (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT), the terminal gets its settings back before the program dies.
// False when standard input is no terminal or ends before a line.
bool readPasswordFromTerminal(QString* password);

// Asks a Yes/No question (the answer echoes); false without a terminal or
// for anything but an answer starting with y or Y.
bool askYesNoOnTerminal(const QString& question);
