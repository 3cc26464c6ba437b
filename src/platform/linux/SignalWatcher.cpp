#include "platform/linux/SignalWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vesk {

namespace {

// Read by the signal handler, so a plain int that is set before any handler is installed.
volatile std::sig_atomic_t g_writeFd = -1;

bool makeNonBlockingAndCloseOnExec(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

} // namespace

SignalWatcher::SignalWatcher(const QList<int> &signalNumbers, QObject *parent) : QObject(parent)
{
    int fds[2];
    if (g_writeFd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    if (!makeNonBlockingAndCloseOnExec(m_readFd) || !makeNonBlockingAndCloseOnExec(m_writeFd))
        return;
    g_writeFd = m_writeFd;

    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::drain);

    m_active = true;
    for (const int signalNumber : signalNumbers) {
        struct sigaction action {};
        action.sa_handler = &SignalWatcher::handle;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        struct sigaction previous {};
        if (::sigaction(signalNumber, &action, &previous) != 0) {
            m_active = false;
            continue;
        }
        m_previous.append({signalNumber, previous});
    }
}

SignalWatcher::~SignalWatcher()
{
    for (const auto &[signalNumber, previous] : std::as_const(m_previous))
        ::sigaction(signalNumber, &previous, nullptr);
    delete m_notifier;
    if (g_writeFd == m_writeFd)
        g_writeFd = -1;
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_writeFd >= 0)
        ::close(m_writeFd);
}

void SignalWatcher::handle(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing useful can be done about a failed write inside a signal handler.
    if (::write(g_writeFd, &byte, 1) < 0) {
    }
    errno = savedErrno;
}

void SignalWatcher::drain()
{
    unsigned char byte = 0;
    while (::read(m_readFd, &byte, 1) == 1)
        emit received(byte);
}

} // namespace vesk
