#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace signalry {

// Where the analytics client reports what it does: the lowest level passed on and a function that
// receives each message at or above it. A value, copied wherever it is held; its function may be
// called from any thread of the client.
class LogHandler {
public:
    enum class LogLevel { Debug = 0, Info = 1, Error = 2 };
    using Handler = std::function<void(LogLevel, const QString&)>;

    LogHandler(LogLevel logLevel, Handler handler);

    // Writes to the "Signalry.LogHandler" logging category, one entry per message.
    static LogHandler standard(LogLevel logLevel);
    // Succeeds for 0, 1 and 2 only.
    static std::optional<LogLevel> levelFromRawValue(int rawValue);
    // "DEBUG", "INFO", "ERROR".
    static QString description(LogLevel level);

    LogLevel logLevel() const { return logLevel_; }
    // Lets a caller skip building a costly message that would be dropped.
    bool passes(LogLevel level) const;
    void log(LogLevel level, const QString& message) const;

private:
    LogLevel logLevel_;
    Handler handler_;
};

// The client's holders keep an optional handler; an absent one means silence.
void logWith(const std::optional<LogHandler>& handler, LogHandler::LogLevel level, const QString& message);
bool passes(const std::optional<LogHandler>& handler, LogHandler::LogLevel level);

} // namespace signalry
