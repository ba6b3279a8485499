#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP delivered as a Qt signal in the event loop, so
// the program can end with its saves instead of dying where it stands. The
// handler only writes the signal's number into a pipe (async-signal-safe);
// the event loop reads it. One object at a time; the handlers stay in place
// until it is destroyed.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe could not be made: the default handling stays.
    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};
