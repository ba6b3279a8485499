#include "platform/diagnostics.h"

Q_LOGGING_CATEGORY(lcPlatform, "quorvamel.platform", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStorage, "quorvamel.storage", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPop3, "quorvamel.pop3", QtWarningMsg)
Q_LOGGING_CATEGORY(lcRuns, "quorvamel.runs", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "quorvamel.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "quorvamel.app", QtWarningMsg)
