#include "runs/sign_in_book.h"

#include "storage/sign_in_file.h"

#include <algorithm>
#include <tuple>

AccountSignIn SignInBook::find(const MailboxKey& mailbox) const
{
    return m_entries.value(mailbox).signIn;
}

void SignInBook::set(const MailboxKey& mailbox, const AccountSignIn& signIn)
{
    Entry entry = m_entries.value(mailbox);
    entry.signIn = signIn;
    store(mailbox, entry);
}

void SignInBook::rename(const MailboxKey& from, const MailboxKey& to)
{
    if (from == to || !m_entries.contains(from))
        return;
    const Entry entry = m_entries.take(from);
    m_entries.insert(to, entry);
    m_modified = true;
}

void SignInBook::remove(const MailboxKey& mailbox)
{
    if (m_entries.remove(mailbox) > 0)
        m_modified = true;
}

std::optional<OAuthTokens> SignInBook::tokens(const MailboxKey& mailbox) const
{
    const auto found = m_entries.constFind(mailbox);
    return found == m_entries.constEnd() ? std::nullopt : found->tokens;
}

void SignInBook::setTokens(const MailboxKey& mailbox, const OAuthTokens& tokens)
{
    Entry entry = m_entries.value(mailbox);
    entry.tokens = tokens;
    store(mailbox, entry);
}

void SignInBook::forgetTokens(const MailboxKey& mailbox)
{
    Entry entry = m_entries.value(mailbox);
    entry.tokens.reset();
    store(mailbox, entry);
}

QList<MailboxKey> SignInBook::mailboxes() const
{
    return m_entries.keys();
}

void SignInBook::store(const MailboxKey& mailbox, const Entry& entry)
{
    const auto found = m_entries.constFind(mailbox);
    const bool had = found != m_entries.constEnd();
    if (entry.isEmpty()) {
        if (had) {
            m_entries.remove(mailbox);
            m_modified = true;
        }
        return;
    }
    if (had && found->signIn == entry.signIn && found->tokens == entry.tokens)
        return;
    m_entries.insert(mailbox, entry);
    m_modified = true;
}

bool SignInBook::load(const QString& path, QString* error)
{
    SignInFileContent content = readSignInFile(path);
    m_entries.clear();
    m_modified = false;
    for (const SignInFileEntry& read : std::as_const(content.entries)) {
        const Entry entry{read.signIn, read.tokens};
        if (!entry.isEmpty())
            m_entries.insert({read.server, read.port, read.userName}, entry);
    }
    if (!content.warning.isEmpty() && error)
        *error = content.warning;
    using Outcome = SignInFileContent::Outcome;
    return content.outcome == Outcome::Read || content.outcome == Outcome::Missing;
}

bool SignInBook::save(const QString& path, QString* error)
{
    QList<SignInFileEntry> entries;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        entries.append({it.key().server, it.key().port, it.key().userName, it->signIn, it->tokens});
    // The same book gives the same bytes.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return std::tie(a.server, a.port, a.userName) < std::tie(b.server, b.port, b.userName);
    });
    if (!writeSignInFile(path, entries, error))
        return false;
    m_modified = false;
    return true;
}
