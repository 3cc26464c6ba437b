#pragma once

#include <QList>
#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace vesk {

// Turns POSIX signals into a Qt signal on the event loop (self-pipe): the handler
// only writes one byte, everything else happens on the thread that owns this object.
// Both executables stop through it on SIGTERM/SIGINT, so they shut down cleanly
// instead of dying mid-write. One instance at a time; the previous handlers come
// back when it is destroyed.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;

    // False when the pipe or a handler could not be set up (or another instance is
    // active); the caller says so in its own log.
    bool isActive() const { return m_active; }

signals:
    void received(int signalNumber);

private:
    static void handle(int signalNumber);
    void drain();

    int m_readFd = -1;
    int m_writeFd = -1;
    bool m_active = false;
    QSocketNotifier *m_notifier = nullptr;
    QList<std::pair<int, struct sigaction>> m_previous;
};

} // namespace vesk
