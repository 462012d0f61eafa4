#include "pictor/cache/DiskStorage.h"

#include "pictor/cache/KeyHashing.h"
#include "pictor/core/PictorError.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThreadPool>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace pictor {

namespace {

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

// Hidden, so that a temporary file is never listed, counted or served.
constexpr const char* temporaryPrefix = ".pictor-";
QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A file name that stays inside the folder and visible: "%", "/" and NUL escaped, a leading dot
// escaped (no "..", no hidden file), the empty name written "%".
QString safeFileName(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("%");
    QString safe;
    safe.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c == QLatin1Char('%'))
            safe += QLatin1String("%25");
        else if (c == QLatin1Char('/'))
            safe += QLatin1String("%2F");
        else if (c == QChar(0))
            safe += QLatin1String("%00");
        else if (i == 0 && c == QLatin1Char('.'))
            safe += QLatin1String("%2E");
        else
            safe += c;
    }
    return safe;
}

// The key's own extension when it is short and names no folder.
std::optional<QString> shortExtension(const QString& key)
{
    std::optional<QString> extension = pt::fileExtension(key);
    if (extension && (extension->contains(QLatin1Char('/')) || extension->size() > 8))
        return std::nullopt;
    return extension;
}

bool isMissing(int error) { return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG; }

int openForReading(const QString& path)
{
    // O_NOATIME keeps the access time ours; only the file's owner may ask for it.
    int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
    return fd;
}

// The whole file, or nothing with errno set.
std::optional<QByteArray> readAll(const QString& path)
{
    const int fd = openForReading(path);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    QByteArray data;
    if (::fstat(fd, &status) == 0 && status.st_size > 0)
        data.reserve(qsizetype(status.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            errno = error;
            return std::nullopt;
        }
        data.append(buffer, qsizetype(count));
    }
    ::close(fd);
    return data;
}

// A new temporary file in the folder, locked while it is written: a clean removes only
// temporaries nobody holds, which a writer that died midway left behind (its lock went with it).
// A clean may take the file between its creation and the lock; then another is made.
int makeTemporaryIn(const QString& folder, QByteArray& temporary)
{
    for (;;) {
        temporary = encoded(folder + QLatin1Char('/') + QLatin1String(temporaryPrefix) + QStringLiteral("XXXXXX"));
        const int fd = ::mkstemp(temporary.data());
        if (fd < 0)
            return fd;
        struct stat status {};
        // A file system without locks keeps the file unlocked.
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &status) != 0 || status.st_nlink > 0)
            return fd;
        ::close(fd);
    }
}

bool writeAll(int fd, const QByteArray& data)
{
    const char* cursor = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t count = ::write(fd, cursor, size_t(left));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        cursor += count;
        left -= count;
    }
    return true;
}

void walk(const QString& folder, std::vector<QString>& paths)
{
    DIR* dir = ::opendir(encoded(folder).constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QString path = folder + QLatin1Char('/') + QFile::decodeName(entry->d_name);
        paths.push_back(path);
        struct stat status {};
        if (entry->d_type == DT_DIR || (entry->d_type == DT_UNKNOWN && ::lstat(encoded(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)))
            walk(path, paths);
    }
    ::closedir(dir);
}

} // namespace

DiskStorage::DiskStorage(DiskStorageConfig config) : config_(std::move(config))
{
    baseDirectory_ = QDir::cleanPath(config_.directory.value_or(userCachesDirectory()));
    // The name is escaped like a file name: "x/../../victim" must not climb out of the base.
    directoryPath_ = QDir::cleanPath(config_.cachePathBlock(baseDirectory_, safeFileName(cacheName(config_.name))));
    config_.cachePathBlock = nullptr;
    metaChangingQueue_ = DispatchQueue::create(cacheName(config_.name));
}

std::shared_ptr<DiskStorage> DiskStorage::create(DiskStorageConfig config, bool createsDirectory)
{
    std::shared_ptr<DiskStorage> storage(new DiskStorage(std::move(config)));
    storage->startScan();
    if (createsDirectory) {
        try {
            storage->ensureDirectory();
        } catch (const PictorError&) {
            // Left not ready: stores and reads report it.
        }
    }
    return storage;
}

std::shared_ptr<DiskStorage> DiskStorage::createPreparingDirectory(DiskStorageConfig config)
{
    std::shared_ptr<DiskStorage> storage = create(std::move(config), false);
    storage->ensureDirectory();
    return storage;
}

QString DiskStorage::cacheName(const QString& name) { return QStringLiteral("com.quillmoth.Pictor.ImageCache.") + name; }

QString DiskStorage::userCachesDirectory() { return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation); }

DiskStorageConfig DiskStorage::config() const
{
    std::lock_guard lock(configMutex_);
    return config_;
}

void DiskStorage::setConfig(DiskStorageConfig config)
{
    std::lock_guard lock(configMutex_);
    config_ = std::move(config);
}

void DiskStorage::startScan()
{
    QThreadPool::globalInstance()->start([self = shared_from_this()] {
        DIR* dir = ::opendir(encoded(self->directoryPath_).constData());
        if (!dir) {
            self->scanFinished(std::nullopt);
            return;
        }
        QSet<QString> names;
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.insert(QFile::decodeName(entry->d_name));
        }
        ::closedir(dir);
        self->scanFinished(std::move(names));
    });
}

void DiskStorage::scanFinished(std::optional<QSet<QString>> names)
{
    std::lock_guard lock(maybeCachedMutex_);
    if (names)
        names->unite(storedDuringScan_);
    maybeCached_ = std::move(names);
    storedDuringScan_.clear();
    scanFinished_ = true;
}

std::optional<QSet<QString>> DiskStorage::maybeCached() const
{
    std::lock_guard lock(maybeCachedMutex_);
    return maybeCached_;
}

bool DiskStorage::isScanFinished() const
{
    std::lock_guard lock(maybeCachedMutex_);
    return scanFinished_;
}

bool DiskStorage::mayBeCached(const QString& name) const
{
    std::lock_guard lock(maybeCachedMutex_);
    return !maybeCached_ || maybeCached_->contains(name);
}

void DiskStorage::noteStored(const QString& name)
{
    std::lock_guard lock(maybeCachedMutex_);
    if (maybeCached_)
        maybeCached_->insert(name);
    else if (!scanFinished_)
        storedDuringScan_.insert(name);
}

void DiskStorage::ensureDirectory()
{
    if (QFileInfo::exists(directoryPath_))
        return;
    if (::mkdir(encoded(directoryPath_).constData(), 0700) == 0 || errno == EEXIST || QDir().mkpath(directoryPath_))
        return;
    const int error = errno;
    storageReady_ = false;
    throw PictorError::cannotCreateDirectory(directoryPath_, errnoText(error));
}

std::optional<QString> DiskStorage::fileNameExtension(const QString& key, const std::optional<QString>& forcedExtension) const
{
    if (forcedExtension)
        return forcedExtension;
    const DiskStorageConfig settings = config();
    if (settings.pathExtension)
        return settings.pathExtension;
    if (settings.usesHashedFileName && settings.autoExtAfterHashedFileName)
        return shortExtension(key);
    return std::nullopt;
}

QString DiskStorage::fileName(const QString& key, const std::optional<QString>& forcedExtension) const
{
    const QString base = config().usesHashedFileName ? pt::sha256(key) : key;
    const std::optional<QString> extension = fileNameExtension(key, forcedExtension);
    return safeFileName(extension ? base + QLatin1Char('.') + *extension : base);
}

QString DiskStorage::cacheFilePath(const QString& key, const std::optional<QString>& forcedExtension) const
{
    return directoryPath_ + QLatin1Char('/') + fileName(key, forcedExtension);
}

void DiskStorage::store(const QByteArray& data, const QString& key, const std::optional<StorageExpiration>& expiration,
                        DataWritingOptions writeOptions, const std::optional<QString>& forcedExtension)
{
    if (!isStorageReady())
        throw PictorError::diskStorageIsNotReady(directoryPath_);
    const DiskStorageConfig settings = config();
    const StorageExpiration policy = expiration.value_or(settings.expiration);
    if (policy.isExpired(settings.clock()))
        return;
    const QString name = fileName(key, forcedExtension);
    writeFile(directoryPath_ + QLatin1Char('/') + name, key, data, writeOptions, policy);
    noteStored(name);
}

void DiskStorage::writeFile(const QString& path, const QString& key, const QByteArray& data, DataWritingOptions options,
                            const StorageExpiration& expiration)
{
    QByteArray temporary;
    int fd = makeTemporaryIn(directoryPath_, temporary);
    if (fd < 0 && errno == ENOENT) {
        try {
            ensureDirectory();
        } catch (const PictorError& error) {
            throw PictorError::cannotCreateCacheFile(path, key, data.size(), QString::fromUtf8(error.what()));
        }
        fd = makeTemporaryIn(directoryPath_, temporary);
    }
    if (fd < 0)
        throw PictorError::cannotCreateCacheFile(path, key, data.size(), errnoText(errno));
    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return errnoText(error);
    };
    if (!writeAll(fd, data))
        throw PictorError::cannotCreateCacheFile(path, key, data.size(), fail(errno));
    const QDateTime now = config().clock();
    const QDateTime expiry = expiration.estimatedExpiration(now);
    if (!DiskFileMeta::setDates(path, fd, now, expiry)) {
        const QString attributes = QStringLiteral("{lastAccess: %1, expiration: %2}").arg(now.toString(Qt::ISODate), expiry.toString(Qt::ISODate));
        throw PictorError::cannotSetCacheFileAttribute(path, attributes, fail(errno));
    }
    ::close(fd);
    // Without overwriting: link fails on an existing name, where rename would replace it.
    const bool placed = options.testFlag(DataWritingOption::withoutOverwriting)
                            ? ::link(temporary.constData(), encoded(path).constData()) == 0
                            : ::rename(temporary.constData(), encoded(path).constData()) == 0;
    const int error = errno;
    if (options.testFlag(DataWritingOption::withoutOverwriting) || !placed)
        ::unlink(temporary.constData());
    if (!placed)
        throw PictorError::cannotCreateCacheFile(path, key, data.size(), errnoText(error));
}

std::optional<QByteArray> DiskStorage::value(const QString& key, const std::optional<QString>& forcedExtension,
                                             const ExpirationExtending& extending)
{
    return load(key, config().clock(), true, extending, forcedExtension);
}

std::optional<QByteArray> DiskStorage::load(const QString& key, const QDateTime& referenceDate, bool loadingData,
                                            const ExpirationExtending& extending, const std::optional<QString>& forcedExtension)
{
    if (!isStorageReady())
        throw PictorError::diskStorageIsNotReady(directoryPath_);
    const QString name = fileName(key, forcedExtension);
    if (!mayBeCached(name))
        return std::nullopt;
    const QString path = directoryPath_ + QLatin1Char('/') + name;
    struct stat status {};
    if (::stat(encoded(path).constData(), &status) != 0) {
        if (isMissing(errno))
            return std::nullopt;
        throw PictorError::invalidURLResource(errnoText(errno), key, path);
    }
    const DiskFileMeta meta = DiskFileMeta::fromStat(path, status);
    if (meta.hasExpired(referenceDate))
        return std::nullopt;
    if (!loadingData)
        return QByteArray();
    std::optional<QByteArray> data = readAll(path);
    if (!data)
        throw PictorError::cannotLoadDataFromDisk(path, errnoText(errno));
    if (extending.kind() != ExpirationExtending::Kind::none) {
        metaChangingQueue_->async([self = shared_from_this(), meta, extending] {
            meta.renewExpiration(extending, self->config().clock());
        });
    }
    return data;
}

bool DiskStorage::isCached(const QString& key, const std::optional<QString>& forcedExtension)
{
    return isCached(key, config().clock(), forcedExtension);
}

bool DiskStorage::isCached(const QString& key, const QDateTime& referenceDate, const std::optional<QString>& forcedExtension)
{
    try {
        return load(key, referenceDate, false, ExpirationExtending::none(), forcedExtension).has_value();
    } catch (const PictorError&) {
        return false;
    }
}

void DiskStorage::remove(const QString& key, const std::optional<QString>& forcedExtension)
{
    deleteFile(cacheFilePath(key, forcedExtension));
}

void DiskStorage::deleteFile(const QString& path)
{
    struct stat status {};
    if (::lstat(encoded(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)) {
        if (!QDir(path).removeRecursively())
            throw std::system_error(std::make_error_code(std::errc::io_error), path.toStdString());
        return;
    }
    if (::unlink(encoded(path).constData()) != 0)
        throw std::system_error(errno, std::generic_category(), path.toStdString());
}

void DiskStorage::deleteIfPresent(const QString& path)
{
    try {
        deleteFile(path);
    } catch (const std::system_error& error) {
        // Another cache on the same folder may have removed it first.
        if (error.code() != std::errc::no_such_file_or_directory)
            throw;
    }
}

void DiskStorage::removeAll(bool recreatingDirectory)
{
    const QString folder = directoryPath_ + QLatin1Char('/');
    if (directoryPath_ == baseDirectory_ || QString(baseDirectory_ + QLatin1Char('/')).startsWith(folder))
        throw std::system_error(std::make_error_code(std::errc::operation_not_permitted),
                                "refusing to delete " + directoryPath_.toStdString() + ", which holds the base folder");
    if (!QDir(directoryPath_).removeRecursively())
        throw std::system_error(std::make_error_code(std::errc::io_error), directoryPath_.toStdString());
    if (recreatingDirectory)
        ensureDirectory();
}

std::vector<QString> DiskStorage::paths() const
{
    DIR* top = ::opendir(encoded(directoryPath_).constData());
    if (!top)
        throw PictorError::fileEnumeratorCreationFailed(directoryPath_);
    ::closedir(top);
    std::vector<QString> found;
    walk(directoryPath_, found);
    return found;
}

std::vector<DiskStorage::Entry> DiskStorage::entries() const
{
    std::vector<QString> found = paths();
    std::vector<Entry> result;
    result.reserve(found.size());
    for (QString& path : found) {
        struct stat status {};
        Entry entry {std::move(path), std::nullopt};
        if (::lstat(encoded(entry.path).constData(), &status) == 0)
            entry.meta = DiskFileMeta::fromStat(entry.path, status);
        result.push_back(std::move(entry));
    }
    return result;
}

QStringList DiskStorage::removeExpiredValues() { return removeExpiredValues(config().clock()); }

void DiskStorage::removeAbandonedTemporaries()
{
    DIR* dir = ::opendir(encoded(directoryPath_).constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, temporaryPrefix, std::strlen(temporaryPrefix)) != 0)
            continue;
        const QByteArray path = encoded(directoryPath_) + '/' + entry->d_name;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
    ::closedir(dir);
}

QStringList DiskStorage::removeExpiredValues(const QDateTime& referenceDate)
{
    removeAbandonedTemporaries();
    QStringList expired;
    for (const Entry& entry : entries()) {
        if (!entry.meta || (!entry.meta->isDirectory && entry.meta->hasExpired(referenceDate)))
            expired.append(entry.path);
    }
    for (const QString& path : std::as_const(expired))
        deleteIfPresent(path);
    return expired;
}

QStringList DiskStorage::removeSizeExceededValues()
{
    const uint64_t limit = config().sizeLimit;
    if (limit == 0)
        return {};
    uint64_t size = totalSize();
    if (size < limit)
        return {};
    std::vector<DiskFileMeta> metas;
    for (Entry& entry : entries()) {
        if (entry.meta)
            metas.push_back(std::move(*entry.meta));
    }
    const QDateTime past = StorageExpiration::distantPast();
    std::stable_sort(metas.begin(), metas.end(), [&](const DiskFileMeta& a, const DiskFileMeta& b) {
        return a.lastAccessDate.value_or(past) > b.lastAccessDate.value_or(past);
    });
    const uint64_t target = limit / 2;
    QStringList removed;
    if (target >= size)
        return removed;
    while (!metas.empty()) {
        const DiskFileMeta meta = std::move(metas.back());
        metas.pop_back();
        // A file that grew since the total was taken must not wrap the total below zero.
        size -= std::min(size, uint64_t(std::max<int64_t>(0, meta.fileSize)));
        deleteIfPresent(meta.path);
        removed.append(meta.path);
        if (size <= target)
            break;
    }
    return removed;
}

uint64_t DiskStorage::totalSize()
{
    // Sizes only: the dates are an attribute read per file, of no use here.
    uint64_t total = 0;
    for (const QString& path : paths()) {
        struct stat status {};
        if (::lstat(encoded(path).constData(), &status) == 0 && S_ISREG(status.st_mode))
            total += uint64_t(status.st_size);
    }
    return total;
}

} // namespace pictor
