#pragma once

#include <QString>

class Prompter;

// Result codes of the file and folder probes.
constexpr int NotAFileCode = 9909;
constexpr int MissingPathCode = 53;

int checkFile(const QString& path);
int checkFolder(const QString& path);

// The start-up step that reads a data file, named in "Unable To Run".
QString dataFileStep(const QString& path);

// The folder of the running program without a trailing separator; a file
// system root becomes the empty text, so paths built as folder + "/name"
// stay valid.
QString programFolderFrom(const QString& applicationDirPath);

struct StartupInput
{
    QString programFolder; // as from programFolderFrom()
    QString homeFolder;
    Prompter* prompter = nullptr;
};

struct StartupResult
{
    enum Outcome { ShowWindow, EndSilently, Failed };
    Outcome outcome = Failed;
    QString dataFolder;
    QString settingsPath;
    QString runPassword;
    int firstRunMarker = 0;
    QString startupStep; // the step in force when the sequence ended
};

// The start-up sequence from the data folder to the run password. The
// single-instance test comes before it (SingleInstanceGuard). A failing
// step has already shown its message when this returns Failed.
StartupResult runStartupSequence(const StartupInput& input);
