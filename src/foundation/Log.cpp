#include "foundation/Log.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex& logMutex()
{
    static std::mutex mutex;
    return mutex;
}
LogCapture* activeCapture = nullptr;
} // namespace

void logLine(const QString& emoji, const QString& type, const QString& message)
{
    logLine(emoji + QStringLiteral(" [") + type + QStringLiteral("] ") + message);
}

void logLine(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    std::lock_guard lock(logMutex());
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (activeCapture)
        activeCapture->append(text);
}

LogCapture::LogCapture()
{
    std::lock_guard lock(logMutex());
    previous_ = activeCapture;
    activeCapture = this;
}

LogCapture::~LogCapture()
{
    std::lock_guard lock(logMutex());
    activeCapture = previous_;
}

void LogCapture::append(const QString& line) { lines_.append(line); }

QStringList LogCapture::lines() const
{
    std::lock_guard lock(logMutex());
    return lines_;
}

bool LogCapture::contains(const QString& fragment) const
{
    const QStringList all = lines();
    for (const QString& line : all) {
        if (line.contains(fragment))
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    std::lock_guard lock(logMutex());
    lines_.clear();
}
