#pragma once

#include <QString>
#include <QStringList>

// A command line as the user types it for a secret command, split into the
// program and its arguments the way QProcess::splitCommand splits it
// (double quotes group, three in a row stand for one literal quote). The
// split alone would close a quote the user forgot; that is refused here.
struct CommandLine
{
    QStringList arguments; // empty when error is set
    QString error;         // for the user; empty when the text is usable
};

CommandLine parseCommandLine(const QString& text);

// The arguments back as text that parseCommandLine splits into the same list.
QString joinCommandLine(const QStringList& arguments);
