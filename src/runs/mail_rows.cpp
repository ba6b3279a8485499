// The rows of the mail list made from the messages a check fetches.
#include "model/mail_list_model.h"
#include "pop3/header_block.h"
#include "pop3/mail_date.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

void Engine::extractHeaders(const QByteArray& message, qint32 messageNumber)
{
    Q_UNUSED(messageNumber);
    const std::optional<MailHeaders> headers = parseHeaderBlock(message);
    if (!headers)
        return;
    if (m_deleteRunActive == 1) {
        // A delete run adds no row: it looks for the marked row showing
        // this message.
        if (m_settings.DeleteEnabled)
            matchForDelete(*headers, messageNumber);
        return;
    }

    const QString shown = displayedMailDate(headers->date, m_settings.DateStyle);
    const MailImage image = m_matcher.imageFor(m_ctx.userName, m_ctx.serverName, m_ctx.portText,
                                               headers->from, headers->subject, shown);
    if (image != MailImage::Seen)
        m_newMailCount += 1;

    MailItem item;
    item.key = {m_mails.itemCount() + 1, m_ctx.password};
    item.displayName = m_ctx.displayName;
    item.image = image;
    item.userName = m_ctx.userName;
    item.from = headers->from;
    item.subject = headers->subject;
    item.dateSent = shown;
    item.server = m_ctx.serverName;
    item.port = m_ctx.portText;
    m_mails.appendItem(item);
}
