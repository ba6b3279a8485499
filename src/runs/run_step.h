#pragma once

#include "runs/run_texts.h"

#include <QString>
#include <QtGlobal>

// What a run does next, decided by the run and carried out by the
// coordinator: visit an account's server, halt, or complete.
struct RunStep
{
    enum class Action { Visit, Halt, Complete };

    Action action = Action::Complete;
    RunHalt halt = RunHalt::Unknown;
    QString userName; // a halt for a bad password names the user
    QString server;   // a visit's server and port
    qint32 port = 0;

    static RunStep visit(const QString& server, qint32 port)
    {
        return {Action::Visit, RunHalt::Unknown, {}, server, port};
    }
    static RunStep stop(RunHalt why, const QString& userName = {})
    {
        return {Action::Halt, why, userName, {}, 0};
    }
    static RunStep complete() { return {}; }
};
