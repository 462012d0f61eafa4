#include "platform/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kAnsweredExit = 7;
constexpr int kStalledExit = 9;

// Runs `child` in a forked process (a signal ends the whole process) and returns its wait status.
template <typename Fn>
int runForked(Fn child)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        child();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

void spinFor(int ms, bool serveEvents)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (serveEvents)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        else
            ::usleep(10'000);
    }
}

TEST(UnixSignalWatcherTest, AStalledGuiThreadStillEndsOnSigterm)
{
    const int status = runForked([] {
        UnixSignalWatcher watcher({SIGTERM}, nullptr, 1);
        ::raise(SIGTERM);
        spinFor(15'000, false); // a load that never returns to the event loop
        ::_exit(kStalledExit);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

TEST(UnixSignalWatcherTest, AnAnsweringGuiThreadEndsTheOrdinaryWay)
{
    const int status = runForked([] {
        UnixSignalWatcher watcher({SIGTERM}, nullptr, 1);
        bool received = false;
        QObject::connect(&watcher, &UnixSignalWatcher::received, [&](int number) { received = number == SIGTERM; });
        ::raise(SIGTERM);
        QElapsedTimer clock;
        clock.start();
        while (!received && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        spinFor(2500, false); // past the grace: the deadline must have been called off
        ::_exit(received ? kAnsweredExit : 1);
    });
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), kAnsweredExit);
}

} // namespace
