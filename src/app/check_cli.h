#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QTextStream;

// The command-line companion: one check run over the accounts of the data
// folder, the mail list printed on standard output, the log on standard
// error. Exit status 0 when the run completed, 1 when it halted, 2 for bad
// usage or a start-up failure.
struct CheckCliIo
{
    QTextStream* out = nullptr;
    QTextStream* err = nullptr;
    // Reads the run password from the terminal without echo; nullopt-like
    // empty function when there is no terminal.
    std::function<bool(QString*)> readPassword;
    // Asks a Yes/No question on the terminal; false without one.
    std::function<bool(const QString&)> askYesNo;
    // Whether err is a terminal, where a progress line may be drawn and
    // erased; when not set, whether standard error is one.
    std::function<bool()> errIsTerminal;
};

int runCheckCli(const QStringList& arguments, const QString& homeFolder, const CheckCliIo& io);

// The data folder of a home folder, as the window uses it.
QString dataFolderOf(const QString& homeFolder);
