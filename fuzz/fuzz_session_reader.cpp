// The reply reader against any byte stream a server may send, cut into
// arrivals of any size. The same stream must give the same replies however
// it is cut, and the reader must hold no more than its limits allow.
#include "fuzz_check.h"
#include "pop3/session_reader.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/allocator_interface.h>
#include <vector>

namespace {

// Longest expanded stream: enough to pass the header limit.
constexpr qsizetype maxStreamBytes = SessionReader::MaxHeaderBytes + 512 * 1024;
constexpr std::uint8_t runMark = 0xff;

// The stream: the input bytes, where runMark, count high, count low, byte
// stands for the byte repeated 16 x count times, so that short inputs reach
// the line and header limits.
QByteArray expandStream(const std::vector<std::uint8_t>& raw)
{
    QByteArray out;
    for (std::size_t i = 0; i < raw.size() && out.size() < maxStreamBytes; ++i) {
        if (raw[i] == runMark && i + 3 < raw.size()) {
            const int count = (raw[i + 1] << 8 | raw[i + 2]) * 16;
            out.append(qMin<qsizetype>(count, maxStreamBytes - out.size()), char(raw[i + 3]));
            i += 3;
        } else {
            out.append(char(raw[i]));
        }
    }
    return out;
}

struct Seen
{
    SessionReader::Reply::Kind kind;
    QByteArray text;
    QByteArray message;
};

bool ends(SessionReader::Reply::Kind kind)
{
    return kind == SessionReader::Reply::Garbage || kind == SessionReader::Reply::Broken;
}

// Reply number n is asked for as a multi-line reply when bit n % 32 is set,
// as the session asks by its state; after a multi-line "-ERR" the session
// sends QUIT and reads one-line replies only.
struct Asker
{
    std::uint32_t kinds;
    bool quitting = false;

    std::optional<SessionReader::Reply> next(SessionReader& reader, std::size_t n)
    {
        auto r = !quitting && (kinds >> (n % 32)) & 1 ? reader.nextMultiLine() : reader.nextLine();
        if (r && r->kind == SessionReader::Reply::MultiError)
            quitting = true;
        return r;
    }
};

void checkLimits(const SessionReader::Reply& r)
{
    FUZZ_CHECK(r.text.size() <= SessionReader::MaxLineBytes + 2 ||
               r.kind == SessionReader::Reply::Garbage);
    FUZZ_CHECK(r.message.size() <= SessionReader::MaxHeaderBytes + 4);
    if (r.kind == SessionReader::Reply::Line || r.kind == SessionReader::Reply::MultiError)
        FUZZ_CHECK(r.text.endsWith("\r\n") && r.text.indexOf("\r\n") == r.text.size() - 2);
    if (r.kind == SessionReader::Reply::MultiError)
        FUZZ_CHECK(r.text.startsWith("-ERR"));
    if (r.kind == SessionReader::Reply::MultiLine)
        FUZZ_CHECK(r.text.endsWith("\r\n") && r.text.startsWith('+'));
}

std::vector<Seen> readWhole(const QByteArray& stream, std::uint32_t kinds)
{
    SessionReader reader;
    Asker asker{kinds};
    reader.append(stream);
    std::vector<Seen> seen;
    while (const auto r = asker.next(reader, seen.size())) {
        checkLimits(*r);
        seen.push_back({r->kind, r->text, r->message});
        if (ends(r->kind))
            break;
    }
    return seen;
}

// What the reader may hold: its limits and one arrival, never the stream.
std::size_t holdLimit(std::uint32_t largest)
{
    return std::size_t(3 * (SessionReader::MaxHeaderBytes + SessionReader::MaxLineBytes) +
                       8 * qsizetype(largest));
}

std::size_t heldSince(std::size_t before)
{
    const std::size_t now = __sanitizer_get_current_allocated_bytes();
    return now > before ? now - before : 0;
}

// The stream sent over and over (a server that never stops) in arrivals of
// 64 KiB and more until far more than the limits has come: memory must stay
// bounded. A stream that keeps giving replies is consumed as it comes, so
// the check ends after a number of them.
void readEndlessly(const QByteArray& stream, std::uint32_t kinds, std::uint32_t largest,
                   std::uint64_t cutState)
{
    if (stream.isEmpty())
        return;
    constexpr qsizetype smallest = 64 * 1024;
    constexpr std::size_t replyBudget = 5000;
    const std::uint32_t widest = smallest + largest;
    const qsizetype total = qsizetype(holdLimit(widest)) * 5 / 4;
    // The stream repeated past one arrival plus one stream, so that every
    // arrival is one slice of it.
    const QByteArray tiled = stream.repeated((widest + stream.size()) / stream.size() + 1);
    SessionReader reader;
    Asker asker{kinds};
    const std::size_t before = __sanitizer_get_current_allocated_bytes();
    std::size_t n = 0;
    qsizetype at = 0;
    for (qsizetype fed = 0; fed < total && n < replyBudget;) {
        cutState ^= cutState << 13;
        cutState ^= cutState >> 7;
        cutState ^= cutState << 17;
        const qsizetype want = smallest + qsizetype(cutState % largest);
        reader.append(tiled.mid(at, want));
        at = (at + want) % stream.size();
        fed += want;
        while (const auto r = asker.next(reader, n++)) {
            checkLimits(*r);
            if (ends(r->kind))
                return;
        }
        --n;
        FUZZ_CHECK(heldSince(before) <= holdLimit(widest));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::uint32_t kinds = input.ConsumeIntegral<std::uint32_t>();
    const std::uint32_t largest = input.ConsumeIntegralInRange<std::uint32_t>(1, 70000);
    std::uint64_t cutState = input.ConsumeIntegral<std::uint64_t>() | 1;
    const bool endless = input.ConsumeBool();
    const QByteArray stream = expandStream(input.ConsumeRemainingBytes<std::uint8_t>());

    const std::vector<Seen> whole = readWhole(stream, kinds);

    // The same stream in arrivals of 1 .. largest bytes (longer for a long
    // stream, to keep each run short), each arrival read out before the
    // next comes, as the socket handler does.
    const qsizetype shortest = stream.size() / 4096 + 1;
    SessionReader reader;
    Asker asker{kinds};
    const std::size_t before = __sanitizer_get_current_allocated_bytes();
    std::size_t n = 0;
    bool ended = false;
    for (qsizetype at = 0; at < stream.size() && !ended;) {
        cutState ^= cutState << 13;
        cutState ^= cutState >> 7;
        cutState ^= cutState << 17;
        const qsizetype cut =
            qMin<qsizetype>(shortest + qsizetype(cutState % largest), stream.size() - at);
        reader.append(stream.mid(at, cut));
        at += cut;
        while (const auto r = asker.next(reader, n)) {
            FUZZ_CHECK(n < whole.size());
            FUZZ_CHECK(r->kind == whole[n].kind);
            if (r->kind != SessionReader::Reply::Garbage) // holds what has come so far
                FUZZ_CHECK(r->text == whole[n].text && r->message == whole[n].message);
            ++n;
            if (ends(r->kind)) {
                ended = true;
                break;
            }
        }
        FUZZ_CHECK(heldSince(before) <= holdLimit(std::uint32_t(shortest + largest)));
    }
    FUZZ_CHECK(n == whole.size());
    if (endless)
        readEndlessly(stream, kinds, largest, cutState);
    return 0;
}
