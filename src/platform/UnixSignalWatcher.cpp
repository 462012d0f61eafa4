#include "platform/UnixSignalWatcher.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
unsigned graceSeconds = 0;
volatile sig_atomic_t pendingSignal = 0;

// Only async-signal-safe calls in both handlers.
void handleSignal(int number)
{
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
    if (pendingSignal == 0) {
        pendingSignal = number;
        ::alarm(graceSeconds);
    }
}

// The GUI thread did not take the signal in time, or the exit stopped moving: end the way the
// sender asked for.
void handleDeadline(int)
{
    const int number = pendingSignal != 0 ? int(pendingSignal) : SIGTERM;
    ::signal(number, SIG_DFL);
    ::raise(number);
}

// Since the GUI thread read the first signal; invalid before.
QElapsedTimer exitClock;
} // namespace

void UnixSignalWatcher::extendDeadline()
{
    if (pendingSignal == 0)
        return;
    if (exitClock.isValid() && exitClock.elapsed() >= qint64(graceSeconds) * kLongestExitGraces * 1000)
        return;
    ::alarm(graceSeconds);
}

void UnixSignalWatcher::allowTheRestOfTheExit()
{
    if (pendingSignal == 0 || !exitClock.isValid())
        return;
    const qint64 leftMs = qint64(graceSeconds) * kLongestExitGraces * 1000 - exitClock.elapsed();
    ::alarm(unsigned(std::max<qint64>(leftMs / 1000, 1)));
}

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent, unsigned grace)
    : QObject(parent), heartbeat_(new QTimer(this))
{
    graceSeconds = grace;
    heartbeat_->setInterval(std::chrono::milliseconds(grace * 1000 / 4));
    connect(heartbeat_, &QTimer::timeout, this, &UnixSignalWatcher::extendDeadline);
    ::signal(SIGALRM, handleDeadline);
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : signalNumbers)
        ::sigaction(number, &action, nullptr);
}

UnixSignalWatcher::~UnixSignalWatcher() = default;

void UnixSignalWatcher::readSignal()
{
    char byte = 0;
    if (::read(signalPipe[1], &byte, 1) != 1)
        return;
    // The GUI thread is answering: the ordinary way out runs the termination steps. The deadline
    // stays armed, since a step of that way out can hang too (a worker stuck on a dead network
    // folder), and the sender asked for the process to end; while the event loop turns, the exit
    // is going on.
    if (!exitClock.isValid())
        exitClock.start();
    extendDeadline();
    heartbeat_->start();
    Q_EMIT received(static_cast<unsigned char>(byte));
}
