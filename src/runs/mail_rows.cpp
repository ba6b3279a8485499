// The rows of the mail list made from the messages a check fetches.
#include "model/mail_list_model.h"
#include "pop3/header_block.h"
#include "pop3/mail_date.h"
#include "pop3/session_context.h"
#include "runs/check_run.h"
#include "storage/run_settings.h"

void CheckRun::expectRows(int messageCount)
{
    m_mails.reserveItems(m_mails.itemCount() + messageCount);
}

void CheckRun::addMailRow(const MailHeaders& headers)
{
    const QString shown = displayedMailDate(headers.date, m_settings.dateStyle);
    const MailImage image =
        m_matcher.imageFor(m_session.userName, m_session.serverName, m_session.portText,
                           headers.from, headers.subject, shown);
    if (image != MailImage::Seen)
        m_newMailCount += 1;

    MailItem item;
    item.key = {m_mails.itemCount() + 1, m_session.password};
    item.displayName = m_session.displayName;
    item.image = image;
    item.userName = m_session.userName;
    item.from = headers.from;
    item.subject = headers.subject;
    item.dateSent = shown;
    item.server = m_session.serverName;
    item.port = m_session.portText;
    m_mails.appendItem(item);
}
