#pragma once

#include "signalry/LogHandler.h"

#include <QStringList>

#include <memory>
#include <mutex>

// Collects what the client logs, at every level; shared so a handler copied into a manager that
// outlives the test stays valid.
class LogLines {
public:
    signalry::LogHandler handler() const
    {
        return signalry::LogHandler(signalry::LogHandler::LogLevel::Debug, [state = state_](signalry::LogHandler::LogLevel, const QString& message) {
            std::lock_guard lock(state->mutex);
            state->lines.append(message);
        });
    }
    QStringList lines() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->lines;
    }
    qsizetype count(const QString& fragment) const
    {
        const QStringList all = lines();
        return std::count_if(all.cbegin(), all.cend(), [&](const QString& line) { return line.contains(fragment); });
    }
    bool contains(const QString& fragment) const { return count(fragment) > 0; }

private:
    struct State {
        std::mutex mutex;
        QStringList lines;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};
