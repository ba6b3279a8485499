#pragma once

// Pieces shared by the benchmarks: child processes measured with their own
// resource usage, throw-away home folders for the programs, and one
// machine-readable summary line per figure.
#include "storage/settings_record.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

// One run of a child process, measured by wait4: its own CPU time and peak
// resident memory, not a running maximum over all children.
struct ChildRun
{
    double wallMs = 0;
    double cpuMs = 0;
    long maxRssKb = 0;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QString error; // set when the child could not run or did not finish
};

ChildRun runChild(const QString& program, const QStringList& arguments,
                  const QProcessEnvironment& environment, int timeoutMs = 600000);

// The last non-empty line the child printed, trimmed.
QByteArray lastLine(const QByteArray& out);

struct BenchAccount
{
    QString user;
    QString password;
    quint16 port = 0;
};

// A home folder whose data folder holds the template settings, changed by
// `adjust`, and the given accounts on 127.0.0.1.
bool makeBenchHome(const QString& home, const QList<BenchAccount>& accounts,
                   const std::function<void(SettingsRecord&)>& adjust, QString* error);

// Removes the header cache from the home's data folder, so that the next
// check fetches every header as a first check does, not a re-check.
bool forgetHeaderCache(const QString& home);

// The environment of the programs under test: offscreen, UTC, HOME given.
QProcessEnvironment benchEnvironment(const QString& home);

// Process CPU time of the caller (user + system), in milliseconds.
double processCpuMs();

// Prints the message on standard error; false, so a check can return it.
bool fail(const QString& message);

// Prints "SUMMARY|<id>|<figure>|<target>|<baseline>|met" (or MISSED); the
// run script gathers these lines into its closing table.
void printSummary(const char* id, const QString& figure, const QString& target,
                  const QString& baseline, bool met);
