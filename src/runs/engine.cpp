#include "runs/engine.h"

#include "model/account_list_model.h"
#include "model/mail_list_model.h"
#include "platform/connectivity.h"
#include "storage/run_settings.h"

Engine::Engine(RunSettings& settings, AccountListModel& accounts, MailListModel& mails,
               Prompter& prompter, Connectivity& connectivity, TickSource& ticks, QObject* parent)
    : QObject(parent), m_settings(settings), m_accounts(accounts), m_mails(mails),
      m_prompter(prompter), m_connectivity(connectivity), m_ticks(ticks),
      m_driver(settings, *this, m_runLog, ticks, this), m_ctx(m_driver.context())
{
    connect(&m_runLog, &RunLog::appended, this, &Engine::logAppended);
    connect(&m_runLog, &RunLog::replaced, this, &Engine::logReplaced);
    connect(&m_runLog, &RunLog::statusChanged, this, &Engine::statusChanged);
    connect(&m_driver, &SessionDriver::linkFailed, this, [this] { emit logColoursChanged(false); });
    connect(&m_driver, &SessionDriver::closed, this, &Engine::sessionClosed);
}

Engine::~Engine() = default;

bool Engine::isOnline(int* flags)
{
    *flags = 0;
    return m_connectivity.InternetGetConnectedState(flags);
}

SessionOptions Engine::sessionOptions() const
{
    SessionOptions options;
    options.useRetr = m_settings.UseRetr;
    options.useApop = m_settings.UseApop;
    options.apopSecret = m_settings.ApopSecret;
    options.deleteEnabled = m_settings.DeleteEnabled;
    options.deleteRunActive = m_deleteRunActive == 1;
    options.cancelRequested = m_cancelRequested == 1;
    return options;
}

void Engine::addNoMailRow()
{
    m_mails.appendItem(MailItem::noMailRow(m_ctx.displayName, m_ctx.userName));
    m_noMailRowCount += 1;
}

void Engine::clearMailList()
{
    m_mails.clearItems();
}
