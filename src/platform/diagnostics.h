#pragma once

#include <QLoggingCategory>

// Developer diagnostics, one category per library. Debug and info lines are
// off unless switched on, e.g. QT_LOGGING_RULES="quorvamel.*.debug=true";
// warnings are on. The user's log box never shows these.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcStorage)
Q_DECLARE_LOGGING_CATEGORY(lcPop3)
Q_DECLARE_LOGGING_CATEGORY(lcRuns)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
