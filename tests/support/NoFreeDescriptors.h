#pragma once

#include <QDir>
#include <QList>

#include <cerrno>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

// While alive, the process has no free file descriptor: the soft limit is lowered a little above
// the descriptors in use and the rest are taken on /dev/null, so the next open fails with EMFILE.
class NoFreeDescriptors {
public:
    NoFreeDescriptors()
    {
        ::getrlimit(RLIMIT_NOFILE, &limit_);
        rlimit few = limit_;
        few.rlim_cur = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size() + 16;
        if (::setrlimit(RLIMIT_NOFILE, &few) != 0)
            return;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            taken_.append(fd);
        holds_ = errno == EMFILE;
    }
    ~NoFreeDescriptors()
    {
        for (const int fd : std::as_const(taken_))
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &limit_);
    }
    NoFreeDescriptors(const NoFreeDescriptors&) = delete;
    NoFreeDescriptors& operator=(const NoFreeDescriptors&) = delete;

    // False when the limit could not be lowered.
    bool holds() const { return holds_; }

private:
    rlimit limit_{};
    QList<int> taken_;
    bool holds_ = false;
};
