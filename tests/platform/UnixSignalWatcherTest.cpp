#include "platform/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kAnsweredExit = 7;

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

// How long the program takes, after SIGTERM, before it reads the signal and after it has.
struct ExitCase {
    const char* name;
    int stallBeforeReadingMs; // a load that never returns to the event loop
    int stallAfterReadingMs;  // the exit's own steps, e.g. a worker stuck on a dead network folder
    bool endsBySignal;
    // The steps after reading, each that long, each ended by extendDeadline(); or with the event
    // loop turning throughout when `turning`.
    int stepMs = 0;
    bool turning = false;
    // The steps run on a worker that the GUI thread waits for.
    bool onWorker = false;
    // The saves are done before the stall after reading: only the libraries' ends are left.
    bool savesDone = false;
};

class UnixSignalWatcherExitTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(UnixSignalWatcherExitTest, TheDeadlineCoversTheWholeExit)
{
    const ExitCase& exit = GetParam();
    const int status = runForked([&exit] {
        UnixSignalWatcher watcher({SIGTERM}, nullptr, 1);
        bool received = false;
        QObject::connect(&watcher, &UnixSignalWatcher::received, [&](int number) { received = number == SIGTERM; });
        ::raise(SIGTERM);
        spinFor(exit.stallBeforeReadingMs, false);
        QElapsedTimer clock;
        clock.start();
        while (!received && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (exit.savesDone)
            UnixSignalWatcher::allowTheRestOfTheExit();
        if (exit.stepMs == 0)
            spinFor(exit.stallAfterReadingMs, exit.turning);
        const auto steps = [&exit] {
            for (int done = 0; exit.stepMs > 0 && done < exit.stallAfterReadingMs; done += exit.stepMs) {
                spinFor(exit.stepMs, exit.turning);
                UnixSignalWatcher::extendDeadline();
            }
        };
        if (exit.onWorker)
            std::thread(steps).join(); // the GUI thread waits, as for a write behind
        else
            steps();
        ::_exit(received ? kAnsweredExit : 1);
    });
    if (exit.endsBySignal) {
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), SIGTERM);
    } else {
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), kAnsweredExit);
    }
}

INSTANTIATE_TEST_SUITE_P(Exits, UnixSignalWatcherExitTest,
    ::testing::Values(ExitCase{"StalledBeforeReading", 15'000, 0, true},
        ExitCase{"StuckAfterReading", 0, 15'000, true},
        ExitCase{"QuickAfterReading", 0, 200, false},
        // Saves on a loaded machine: three seconds in all, but never a second without progress.
        ExitCase{"SlowStepsAfterReading", 0, 3'000, false, 200},
        ExitCase{"SlowStepsOnAWorker", 0, 3'000, false, 200, false, true},
        ExitCase{"EventLoopTurningAfterReading", 0, 3'000, false, 0, true},
        // Progress does not last for ever: twelve graces after the reading, the exit ends.
        ExitCase{"TurningForEver", 0, 20'000, true, 0, true},
        // A teardown slowed down by a busy machine after the saves is not cut, one stuck is.
        ExitCase{"SlowTeardownAfterTheSaves", 0, 4'000, false, 0, false, false, true},
        ExitCase{"StuckTeardownAfterTheSaves", 0, 15'000, true, 0, false, false, true}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
