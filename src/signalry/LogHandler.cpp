#include "signalry/LogHandler.h"

#include <QLoggingCategory>

namespace signalry {

namespace {
Q_LOGGING_CATEGORY(standardCategory, "Signalry.LogHandler")
} // namespace

LogHandler::LogHandler(LogLevel logLevel, Handler handler) : logLevel_(logLevel), handler_(std::move(handler)) {}

LogHandler LogHandler::standard(LogLevel logLevel)
{
    return LogHandler(logLevel, [](LogLevel level, const QString& message) {
        // The category's own switches decide whether a type is enabled, as for any Qt category.
        switch (level) {
        case LogLevel::Debug:
            qCDebug(standardCategory, "%s", qUtf8Printable(message));
            break;
        case LogLevel::Info:
            qCInfo(standardCategory, "%s", qUtf8Printable(message));
            break;
        case LogLevel::Error:
            qCCritical(standardCategory, "%s", qUtf8Printable(message));
            break;
        }
    });
}

std::optional<LogHandler::LogLevel> LogHandler::levelFromRawValue(int rawValue)
{
    if (rawValue < 0 || rawValue > 2)
        return std::nullopt;
    return static_cast<LogLevel>(rawValue);
}

QString LogHandler::description(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug:
        return QStringLiteral("DEBUG");
    case LogLevel::Info:
        return QStringLiteral("INFO");
    case LogLevel::Error:
        break;
    }
    return QStringLiteral("ERROR");
}

bool LogHandler::passes(LogLevel level) const { return handler_ && static_cast<int>(level) >= static_cast<int>(logLevel_); }

void LogHandler::log(LogLevel level, const QString& message) const
{
    if (passes(level))
        handler_(level, message);
}

void logWith(const std::optional<LogHandler>& handler, LogHandler::LogLevel level, const QString& message)
{
    if (handler)
        handler->log(level, message);
}

bool passes(const std::optional<LogHandler>& handler, LogHandler::LogLevel level) { return handler && handler->passes(level); }

} // namespace signalry
