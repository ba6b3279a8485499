#include "support/servers_pop3_peer.h"

#include <QRandomGenerator>

Pop3Script& Pop3Script::expect(const QString& line)
{
    Step step;
    step.kind = Step::Expect;
    step.line = line;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::expectMatch(const QString& pattern)
{
    Step step;
    step.kind = Step::ExpectMatch;
    step.line = pattern;
    step.match = QRegularExpression(pattern);
    Q_ASSERT_X(step.match.isValid(), "Pop3Script::expectMatch", qPrintable(pattern));
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::answer(const QString& pattern,
                               const std::function<QByteArray(const QString& line)>& respond)
{
    expectMatch(pattern);
    m_steps.last().kind = Step::Answer;
    m_steps.last().respond = respond;
    return *this;
}

Pop3Script& Pop3Script::send(const QByteArray& bytes)
{
    return sendChunks({bytes}, 0);
}

Pop3Script& Pop3Script::sendChunks(const QList<QByteArray>& chunks, int delayMs)
{
    Step step;
    step.kind = Step::Send;
    step.chunks = chunks;
    step.delayMs = delayMs;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::sendSplit(const QByteArray& bytes, const QList<int>& cutOffsets,
                                  int delayMs)
{
    QList<QByteArray> chunks;
    int from = 0;
    for (int cut : cutOffsets) {
        Q_ASSERT(cut > from && cut < bytes.size());
        chunks.append(bytes.mid(from, cut - from));
        from = cut;
    }
    chunks.append(bytes.mid(from));
    return sendChunks(chunks, delayMs);
}

Pop3Script& Pop3Script::sendBytewise(const QByteArray& bytes, int delayMs)
{
    QList<QByteArray> chunks;
    for (char c : bytes)
        chunks.append(QByteArray(1, c));
    return sendChunks(chunks, delayMs);
}

Pop3Script& Pop3Script::drip(const QByteArray& bytes, int msPerByte)
{
    return sendBytewise(bytes, msPerByte);
}

Pop3Script& Pop3Script::sendGarbage(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = char(random.bounded(256));
    if (!bytes.isEmpty() && (bytes[0] == '+' || bytes[0] == '-'))
        bytes[0] = '\x01';
    sendChunks({bytes}, 0);
    m_steps.last().label = QStringLiteral("<garbage, %1 bytes>").arg(size);
    return *this;
}

Pop3Script& Pop3Script::holdReading(int ms)
{
    Step step;
    step.kind = Step::HoldReading;
    step.delayMs = ms;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::pause(int ms)
{
    Step step;
    step.kind = Step::Pause;
    step.delayMs = ms;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::silence()
{
    Step step;
    step.kind = Step::Silence;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::endless(const QByteArray& first, const QByteArray& unit, int bytesPerSecond)
{
    Q_ASSERT(!unit.isEmpty() && bytesPerSecond > 0);
    Step step;
    step.kind = Step::Endless;
    step.chunks = {first};
    step.unit = unit;
    step.bytesPerSecond = bytesPerSecond;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::close()
{
    Step step;
    step.kind = Step::Close;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::expectClientClose()
{
    Step step;
    step.kind = Step::ClientCloses;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::startTls()
{
    Step step;
    step.kind = Step::StartTls;
    m_steps.append(step);
    return *this;
}

Pop3Script& Pop3Script::tolerateExtraCommands()
{
    m_tolerant = true;
    return *this;
}

namespace Pop3Reply {

namespace {
QByteArray statusLine(const char* status, const QByteArray& text)
{
    QByteArray line(status);
    if (!text.isEmpty())
        line += ' ' + text;
    return line + "\r\n";
}
} // namespace

QByteArray ok(const QByteArray& text)
{
    return statusLine("+OK", text);
}

QByteArray err(const QByteArray& text)
{
    return statusLine("-ERR", text);
}

QByteArray greeting(const QByteArray& timestamp, const QByteArray& text)
{
    return ok(timestamp.isEmpty() ? text : text + ' ' + timestamp);
}

QByteArray stat(int count, qint64 octets)
{
    if (octets < 0)
        octets = qint64(count) * 100;
    return ok(QByteArray::number(count) + ' ' + QByteArray::number(octets));
}

QByteArray multiLine(const QList<QByteArray>& lines, const QByteArray& status)
{
    QByteArray reply = ok(status);
    for (const QByteArray& line : lines) {
        if (line.startsWith('.'))
            reply += '.';
        reply += line + "\r\n";
    }
    return reply + ".\r\n";
}

QByteArray top(const QList<QByteArray>& headerLines, const QList<QByteArray>& bodyLines)
{
    return multiLine(headerLines + QList<QByteArray>{QByteArray()} + bodyLines);
}

QList<QByteArray> headers(const QByteArray& from, const QByteArray& subject, const QByteArray& date)
{
    return {"Return-Path: <" + from + ">",
            "From: " + from,
            "To: bob@example.org",
            "Subject: " + subject,
            "Date: " + date,
            "Message-ID: <" + subject.toHex() + "@test>"};
}

} // namespace Pop3Reply
