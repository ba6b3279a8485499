#pragma once

#include "app/startup.h"
#include "support/common_files.h"
#include "support/common_scripted_prompter.h"

#include <QTemporaryDir>

// A program folder (where the template lives) and a home folder of its
// own, and the start-up sequence run on them with a scripted prompter.
struct StartupMachine
{
    QTemporaryDir program;
    QTemporaryDir home;
    ScriptedPrompter prompter;

    QString dataFolder() const { return home.path() + "/Application Data/Quorvamel"; }
    QString dataFile(const QString& name) const { return dataFolder() + '/' + name; }
    QString settingsPath() const { return dataFile(QStringLiteral("quorvamel.ini")); }
    void installTemplate(const QByteArray& bytes)
    {
        writeBytes(program.path() + "/quorvamel.ini", bytes);
    }

    StartupResult start()
    {
        StartupInput input;
        input.programFolder = programFolderFrom(program.path());
        input.homeFolder = home.path();
        input.prompter = &prompter;
        return runStartupSequence(input);
    }
};
