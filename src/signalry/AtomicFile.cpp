#include "signalry/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace signalry {

namespace {
QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// The file being written: its descriptor and, once it has one, its name. Both are let go unless
// the write got as far as the rename.
struct Staging {
    Staging() = default;
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;
    ~Staging()
    {
        if (fd >= 0)
            ::close(fd);
        if (!name.isEmpty())
            ::unlink(name.constData());
    }

    int fd = -1;
    QByteArray name;
};

// A descriptor closed when it goes.
struct Descriptor {
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }

    const int fd;
};

// Short writes and interrupted calls are carried on; any other failure (ENOSPC, EIO) ends it.
bool writeAll(int fd, const QByteArray& data)
{
    const char* next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

// Gives the unnamed file a name beside the target, so that it can be renamed over it.
bool name(Staging& staging, const QByteArray& target)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(staging.fd);
    for (int attempt = 0; attempt < 16; ++attempt) {
        QByteArray candidate = target + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, candidate.constData(), AT_SYMLINK_FOLLOW) == 0) {
            staging.name = std::move(candidate);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}
} // namespace

bool AtomicFile::write(const QString& path, const QByteArray& data, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    const bool folderExisted = QFileInfo(folder).isDir();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot create folder ") + folder;
        return false;
    }
    // What the user did is nobody else's to read: the file is the owner's alone, and so is a
    // folder made for it (one that was there, the user's caches root say, is left as it is).
    if (!folderExisted)
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return replace(path, data, error);
}

bool AtomicFile::replace(const QString& path, const QByteArray& data, QString* error)
{
    const QByteArray target = QFile::encodeName(path);
    const auto fail = [error](int code) {
        if (error)
            *error = systemError(code);
        return false;
    };
    // A file that is there but cannot be read holds what nobody has read: it is never written
    // over (its owner moves it aside, or leaves it and says so).
    if (const int existing = ::open(target.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); existing >= 0)
        ::close(existing);
    else if (errno != ENOENT)
        return fail(errno);
    Staging staging;
    // Unnamed until it is whole: a kill in the middle leaves nothing in the folder.
    staging.fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (staging.fd < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return fail(errno);
        // A file system without unnamed files: the staging file has its name from the start.
        QByteArray pattern = target + ".XXXXXX";
        staging.fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (staging.fd < 0)
            return fail(errno);
        staging.name = pattern;
    }
    // Synced before the rename: after a crash the name holds the old content or the new, whole.
    if (!writeAll(staging.fd, data) || ::fsync(staging.fd) != 0)
        return fail(errno);
    if (staging.name.isEmpty() && !name(staging, target))
        return fail(errno);
    if (::close(std::exchange(staging.fd, -1)) != 0)
        return fail(errno);
    if (::rename(staging.name.constData(), target.constData()) != 0)
        return fail(errno);
    staging.name.clear();
    return true;
}

AtomicFile::Contents AtomicFile::read(const QString& path, qint64 maximumBytes)
{
    Contents contents;
    const auto fail = [&contents](Contents::Outcome outcome, int code) {
        contents.outcome = outcome;
        contents.error = systemError(code);
        return std::move(contents);
    };
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT)
            return contents;
        return fail(errno == EACCES || errno == EPERM ? Contents::Outcome::Refused : Contents::Outcome::Failed, errno);
    }
    const Descriptor opened{fd};
    struct stat facts {};
    if (::fstat(fd, &facts) != 0)
        return fail(Contents::Outcome::Failed, errno);
    if (S_ISDIR(facts.st_mode))
        return fail(Contents::Outcome::Failed, EISDIR);
    if (facts.st_size > maximumBytes) {
        contents.outcome = Contents::Outcome::TooLarge;
        contents.error = QStringLiteral("%1 bytes").arg(facts.st_size);
        return contents;
    }
    // Read to its end, not to the size it had: a file that grew meanwhile is taken whole. The
    // byte beyond its size finds the end in the first pass.
    contents.data.resize(qsizetype(facts.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == contents.data.size())
            contents.data.resize(filled * 2);
        const ssize_t got = ::read(fd, contents.data.data() + filled, size_t(contents.data.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            contents.data.clear();
            return fail(Contents::Outcome::Failed, errno);
        }
        if (got == 0)
            break;
        filled += got;
        if (filled > maximumBytes) {
            contents.data.clear();
            contents.outcome = Contents::Outcome::TooLarge;
            contents.error = QStringLiteral("more than %1 bytes").arg(maximumBytes);
            return contents;
        }
    }
    contents.data.truncate(filled);
    contents.outcome = Contents::Outcome::Read;
    return contents;
}

QString AtomicFile::whereMovedAside(const QString& path, const QString& aside)
{
    if (aside.isEmpty())
        return QStringLiteral("not moved aside (the rename failed), left at ") + path;
    return QStringLiteral("moved aside to ") + aside;
}

QString AtomicFile::moveAside(const QString& path)
{
    const QString stem = path + QStringLiteral(".damaged");
    const auto copy = [&stem](int number) { return number == 1 ? stem : stem + QLatin1Char('-') + QString::number(number); };
    // Taken out of the way first: the earlier copies move on only once this one can go.
    const QString taken = stem + QStringLiteral("-new");
    QFile::remove(taken);
    if (!QFile::rename(path, taken))
        return {};
    // The oldest go, earlier runs' numbering beyond the kept ones too.
    const QFileInfo file(path);
    const QString prefix = file.fileName() + QStringLiteral(".damaged-");
    for (const QString& name : file.dir().entryList({prefix + u'*'}, QDir::Files | QDir::System | QDir::Hidden)) {
        bool numbered = false;
        if (name.mid(prefix.size()).toInt(&numbered) >= kCopiesKept && numbered)
            QFile::remove(file.dir().filePath(name));
    }
    for (int number = kCopiesKept - 1; number >= 1; --number)
        QFile::rename(copy(number), copy(number + 1));
    return QFile::rename(taken, stem) ? stem : taken;
}

} // namespace signalry
