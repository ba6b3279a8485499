// quorvamel-check: one check run from the command line.
#include "app/check_cli.h"
#include "app/not_dumpable.h"
#include "app/terminal_prompt.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    // Before any password is read or typed.
    makeProcessNotDumpable();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvamel-check"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVAMEL_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    CheckCliIo io;
    io.out = &out;
    io.err = &err;
    io.readPassword = readPasswordFromTerminal;
    io.askYesNo = askYesNoOnTerminal;
    return runCheckCli(app.arguments().mid(1), QDir::homePath(), io);
}
