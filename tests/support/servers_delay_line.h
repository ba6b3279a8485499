#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// A TCP delay line on 127.0.0.1 in front of a local server, standing in for
// a distant one: every chunk read from either side is written to the other
// the set delay after it arrived, in order, without holding back the chunks
// behind it (a slow link, not a narrow one). An end of stream travels the
// same way: it reaches the other side one delay after the last byte before
// it. One connection to the server per client connection, made when the
// client connects.
//
//   DelayLine line(dovecot.plainPort());
//   line.setOneWayDelay(std::chrono::milliseconds(10)); // 20 ms round trip
//   QVERIFY2(line.start(), qPrintable(line.errorString()));
//   ... connect to 127.0.0.1:line.port() ...
//
// It runs on its own thread, so the owner may block while a client talks
// through it.
class DelayLine
{
public:
    explicit DelayLine(quint16 targetPort);
    ~DelayLine();
    DelayLine(const DelayLine&) = delete;
    DelayLine& operator=(const DelayLine&) = delete;

    // Chunks that arrive from now on wait this long; those already on
    // their way keep their time (and their order). Any time.
    void setOneWayDelay(std::chrono::microseconds delay) { m_delayUs = delay.count(); }
    std::chrono::microseconds oneWayDelay() const
    {
        return std::chrono::microseconds(m_delayUs.load());
    }

    // Listens on a free port of 127.0.0.1. False with errorString().
    bool start();
    // Closes every connection at once.
    void stop();
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

private:
    void run();

    quint16 m_targetPort;
    quint16 m_port = 0;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    std::atomic<qint64> m_delayUs{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
    QString m_error;
};
