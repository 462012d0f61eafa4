#include "foundation/SettingsJournal.h"

#include "signalry/AtomicFile.h"

#include <QFile>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qsizetype kHeaderBytes = 8;

QString systemReason() { return QString::fromLocal8Bit(std::strerror(errno)); }

void putLittleEndian(QByteArray& bytes, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes += char((value >> shift) & 0xff);
}

quint32 littleEndianAt(const QByteArray& bytes, qsizetype at)
{
    quint32 value = 0;
    for (int index = 3; index >= 0; --index)
        value = (value << 8) | quint8(bytes.at(at + index));
    return value;
}

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}
} // namespace

SettingsJournal::SettingsJournal(QString path) : path_(std::move(path)) {}

SettingsJournal::~SettingsJournal() { close(); }

quint32 SettingsJournal::checksum(QByteArrayView bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> entries{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes)
        crc = table[(crc ^ quint8(byte)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
}

QByteArray SettingsJournal::frame(const QByteArray& record)
{
    QByteArray framed;
    framed.reserve(kHeaderBytes + record.size());
    putLittleEndian(framed, quint32(record.size()));
    putLittleEndian(framed, checksum(record));
    framed += record;
    return framed;
}

SettingsJournal::Contents SettingsJournal::read(QString* error)
{
    Contents contents;
    close();
    size_ = 0;
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR && error)
            *error = systemReason();
        return contents;
    }
    QByteArray bytes;
    std::array<char, 64 * 1024> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            if (error)
                *error = systemReason();
            ::close(fd);
            return {};
        }
        if (got == 0)
            break;
        bytes.append(buffer.data(), got);
    }
    ::close(fd);
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kHeaderBytes) {
            contents.torn = true;
            break;
        }
        const qsizetype length = littleEndianAt(bytes, at);
        const quint32 expected = littleEndianAt(bytes, at + 4);
        if (length > bytes.size() - at - kHeaderBytes) {
            contents.torn = true;
            break;
        }
        QByteArray record = bytes.mid(at + kHeaderBytes, length);
        if (checksum(record) != expected) {
            contents.torn = true;
            break;
        }
        contents.records.append(std::move(record));
        at += kHeaderBytes + length;
    }
    contents.wholeBytes = at;
    size_ = bytes.size();
    return contents;
}

bool SettingsJournal::truncate(qint64 size, QString* error)
{
    close();
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    const bool done = fd >= 0 && ::ftruncate(fd, size) == 0 && ::fdatasync(fd) == 0;
    if (!done && error)
        *error = systemReason();
    if (fd >= 0)
        ::close(fd);
    if (done)
        size_ = size;
    return done;
}

bool SettingsJournal::openForAppend(QString* error)
{
    if (fd_ >= 0)
        return true;
    const QByteArray name = QFile::encodeName(path_);
    fd_ = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        if (error)
            *error = systemReason();
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        if (error)
            *error = systemReason();
        close();
        return false;
    }
    size_ = info.st_size;
    return true;
}

bool SettingsJournal::append(const QByteArray& record, QString* error, Sync when)
{
    if (!openForAppend(error))
        return false;
    const QByteArray framed = frame(record);
    if (writeAll(fd_, framed.constData(), framed.size()) && (when == Sync::Later || ::fdatasync(fd_) == 0)) {
        size_ += framed.size();
        return true;
    }
    if (error)
        *error = systemReason();
    // A part of the record left behind would hide every later one from the next read.
    if (::ftruncate(fd_, size_) != 0)
        close();
    return false;
}

bool SettingsJournal::sync(const QString& path, QString* error)
{
    // Its own descriptor: the owner's may be closed meanwhile. A sync covers the file's data
    // whichever descriptor wrote it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool done = fd >= 0 && ::fdatasync(fd) == 0;
    if (!done && error)
        *error = systemReason();
    if (fd >= 0)
        ::close(fd);
    return done;
}

bool SettingsJournal::replace(const QList<QByteArray>& records, QString* error)
{
    QByteArray bytes;
    for (const QByteArray& record : records)
        bytes += frame(record);
    close();
    if (!signalry::AtomicFile::replace(path_, bytes, error))
        return false;
    size_ = bytes.size();
    return true;
}

void SettingsJournal::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
