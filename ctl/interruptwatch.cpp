#include "interruptwatch.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>

#ifdef Q_OS_UNIX
#    include <fcntl.h>
#    include <unistd.h>
#endif

namespace {

std::atomic<int> caught { 0 };
static_assert(std::atomic<int>::is_always_lock_free, "stored from a signal handler");

#ifdef Q_OS_UNIX
int wakePipe[2] = { -1, -1 };

void onSignal(int signalNumber)
{
    caught.store(signalNumber);
    const char byte = char(signalNumber);
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
}
#else
void onSignal(int signalNumber)
{
    caught.store(signalNumber);
}
#endif

constexpr int Watched[] = { SIGINT, SIGTERM };

} // namespace

InterruptWatch::InterruptWatch(QObject *parent)
    : QObject(parent)
{
    caught.store(0);
#ifdef Q_OS_UNIX
    if (wakePipe[0] < 0) {
        if (::pipe(wakePipe) != 0)
            return;
        for (const int end : wakePipe) {
            ::fcntl(end, F_SETFD, FD_CLOEXEC);
            ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        }
    }
    m_notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InterruptWatch::onPipeReadable);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the second signal of a kind takes the default action.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    m_active = true;
    for (const int signalNumber : Watched)
        m_active = ::sigaction(signalNumber, &action, nullptr) == 0 && m_active;
#else
    // Without a pipe to wake the event loop, work still sees the request between exchanges.
    m_active = true;
    for (const int signalNumber : Watched)
        m_active = std::signal(signalNumber, onSignal) != SIG_ERR && m_active;
#endif
}

InterruptWatch::~InterruptWatch()
{
    for (const int signalNumber : Watched)
        std::signal(signalNumber, SIG_DFL);
}

int InterruptWatch::signalNumber()
{
    return caught.load();
}

QString InterruptWatch::signalName()
{
    switch (signalNumber()) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    default:
        return QStringLiteral("signal %1").arg(signalNumber());
    }
}

void InterruptWatch::onPipeReadable()
{
#ifdef Q_OS_UNIX
    char bytes[16];
    while (::read(wakePipe[0], bytes, sizeof bytes) > 0) { }
#endif
    emit interrupted(signalNumber());
}
