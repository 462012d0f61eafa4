#include "ProcessRunner.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace samplecatalogue {

namespace {
QString tail(const QString& logFile)
{
    QFile log(logFile);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    const qint64 keep = 600;
    if (log.size() > keep)
        log.seek(log.size() - keep);
    return QString::fromUtf8(log.readAll()).trimmed();
}

// Spawns the child with default signal handling and nothing blocked, whatever the server's
// threads have set up for themselves.
bool spawn(const QString& program, const QStringList& arguments, const QString& logFile, pid_t* pid, int* failure)
{
    std::vector<QByteArray> storage{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    const QByteArray logPath = QFile::encodeName(logFile);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    *failure = posix_spawnp(pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return *failure == 0;
}

// Polls rather than blocks so that a hung tool can be killed at the deadline.
bool waitFor(pid_t pid, int timeoutMs, int* status)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const pid_t done = waitpid(pid, status, WNOHANG);
        if (done == pid)
            return true;
        if (done < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
} // namespace

bool ProcessRunner::run(const QString& program, const QStringList& arguments, const QString& logFile,
                        int timeoutMs, QString* error)
{
    pid_t pid = 0;
    int failure = 0;
    if (!spawn(program, arguments, logFile, &pid, &failure)) {
        *error = QStringLiteral("cannot start %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(failure)));
        return false;
    }
    int status = 0;
    const bool finished = waitFor(pid, timeoutMs, &status);
    const QString output = tail(logFile);
    QFile::remove(logFile);
    if (!finished) {
        *error = QStringLiteral("%1 did not finish within %2 ms").arg(program).arg(timeoutMs);
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = QStringLiteral("%1 failed (%2): %3")
                     .arg(program)
                     .arg(WIFEXITED(status) ? QStringLiteral("exit %1").arg(WEXITSTATUS(status))
                                            : QStringLiteral("signal %1").arg(WTERMSIG(status)))
                     .arg(output);
        return false;
    }
    return true;
}

} // namespace samplecatalogue
