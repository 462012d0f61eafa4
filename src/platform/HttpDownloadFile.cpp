#include "platform/HttpDownloadFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

HttpDownloadFile::HttpDownloadFile(const QString& destination)
    : destination_(destination), staging_(destination + QStringLiteral(".XXXXXX.part"))
{
}

bool HttpDownloadFile::open()
{
    if (!staging_.open()) {
        error_ = staging_.errorString();
        return false;
    }
    return true;
}

bool HttpDownloadFile::write(const char* data, qint64 size)
{
    if (staging_.write(data, size) == size)
        return true;
    error_ = staging_.errorString();
    return false;
}

bool HttpDownloadFile::commit()
{
    // No sync to disk: what lands here is a copy of a file on a server, and every caller checks
    // a downloaded file before it uses it. Syncing 100s of MB costs longer than the transfer.
    staging_.close();
    if (staging_.error() != QFileDevice::NoError) {
        error_ = staging_.errorString();
        return false;
    }
    // rename(2) replaces the destination in one step, which QFile::rename does not.
    if (std::rename(QFile::encodeName(staging_.fileName()).constData(), QFile::encodeName(destination_).constData()) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    staging_.setAutoRemove(false);
    return true;
}
