// Header extraction from whatever a server sends as a TOP or RETR reply.
#include "fuzz_check.h"
#include "pop3/header_block.h"

#include <cstddef>
#include <cstdint>

namespace {

bool sameHeaders(const MailHeaders& a, const MailHeaders& b)
{
    return a.from == b.from && a.subject == b.subject && a.date == b.date;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray message(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<MailHeaders> headers = parseHeaderBlock(message);
    const qsizetype blockEnd = message.indexOf("\r\n\r\n");
    FUZZ_CHECK(headers.has_value() == (blockEnd >= 0));
    if (!headers)
        return 0;

    // Decoding never makes a value longer than the bytes it came from.
    FUZZ_CHECK(headers->from.size() <= message.size());
    FUZZ_CHECK(headers->subject.size() <= message.size());
    FUZZ_CHECK(headers->date.size() <= message.size());
    FUZZ_CHECK(headers->date == headers->date.trimmed());
    FUZZ_CHECK(!headers->date.contains(QLatin1String("\r\n")));

    // Only the block counts: the body may say anything.
    const QByteArray block = message.left(blockEnd);
    const auto withOtherBody =
        parseHeaderBlock(block + "\r\n\r\nFrom: body\r\nSubject: body\r\nDate: body\r\n");
    FUZZ_CHECK(withOtherBody && sameHeaders(*withOtherBody, *headers));

    // The last occurrence wins, whatever came before it.
    const auto withLast =
        parseHeaderBlock(block + "\r\nsubject: Last\r\nFROM: =?UTF-8?B?w6k=?= <e@x.org>\r\n"
                                 "Date:  4 Jan 2003 10:00 GMT \r\n\r\n");
    FUZZ_CHECK(withLast.has_value());
    FUZZ_CHECK(withLast->subject == QLatin1String("Last"));
    FUZZ_CHECK(withLast->from == QString::fromUtf8("\xc3\xa9 <e@x.org>"));
    FUZZ_CHECK(withLast->date == QLatin1String("4 Jan 2003 10:00 GMT"));
    return 0;
}
