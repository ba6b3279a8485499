#include "runs/engine.h"

#include "model/account_list_model.h"
#include "model/mail_list_model.h"
#include "platform/connectivity.h"
#include "platform/tick_source.h"
#include "storage/run_settings.h"

Engine::Engine(RunSettings& settings, AccountListModel& accounts, MailListModel& mails,
               Prompter& prompter, Connectivity& connectivity, TickSource& ticks, QObject* parent)
    : QObject(parent), m_settings(settings), m_accounts(accounts), m_mails(mails),
      m_prompter(prompter), m_connectivity(connectivity), m_ticks(ticks), m_socket(this),
      m_timer2(this), m_session(m_ctx, *this)
{
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    // The watchdog looks every second, so a time-out is honoured to about a
    // second whatever its length.
    m_timer2.setInterval(1000);
    connect(&m_timer2, &QTimer::timeout, this, &Engine::watchdogTick);
    connect(&m_socket, &Winsock1::connectEvent, this, &Engine::Winsock1_Connect);
    connect(&m_socket, &Winsock1::dataArrival, this, &Engine::Winsock1_DataArrival);
    connect(&m_socket, &Winsock1::closeEvent, this, &Engine::Winsock1_Close);
    connect(&m_socket, &Winsock1::errorEvent, this, &Engine::Winsock1_Error);
    connect(&m_socket, &Winsock1::tlsStarted, this, &Engine::onTlsStarted);
    connect(&m_runLog, &RunLog::appended, this, &Engine::logAppended);
    connect(&m_runLog, &RunLog::replaced, this, &Engine::logReplaced);
    connect(&m_runLog, &RunLog::statusChanged, this, &Engine::statusChanged);
}

Engine::~Engine()
{
    m_timer2.stop();
    m_socket.disconnect(this);
}

qint64 Engine::tickNow() const
{
    // The tick count as a signed 32-bit value widened to 64 bits.
    return qint64(qint32(m_ticks.tickCount()));
}

bool Engine::isOnline(int* flags)
{
    *flags = 0;
    return m_connectivity.InternetGetConnectedState(flags);
}

SessionOptions Engine::sessionOptions() const
{
    SessionOptions options;
    options.useRetr = m_settings.UseRetr == 1;
    options.useApop = m_settings.UseApop != 0;
    options.apopSecret = m_settings.ApopSecret;
    options.deleteEnabled = m_settings.DeleteEnabled == 1;
    options.deleteRunActive = m_deleteRunActive == 1;
    options.cancelRequested = m_cancelRequested == 1;
    return options;
}

void Engine::sendCommand(const QByteArray& line)
{
    markReplyAwaited();
    m_socket.SendData(line + "\r\n");
}

void Engine::markReplyAwaited()
{
    m_replyAwaited = true;
    m_progressMarkTick = tickNow();
    m_progressMarkBytes = m_sessionBytes;
}

void Engine::report(const SessionReport& report)
{
    m_runLog.report(RunText::sessionLine(report));
}

void Engine::enableWatchdog()
{
    if (!m_timer2.isActive())
        m_timer2.start();
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
