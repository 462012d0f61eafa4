#pragma once

#include "foundation/AppError.h"

#include <QUrl>

// Why the desktop video engine could not put a video on the desktop. Thrown to the engine's
// callers, which turn the description into their own message.
class EngineError : public AppError {
public:
    enum class Kind {
        missingVideo, // no playable file at the video's address
        unknown,      // the engine cannot run at all; carries the reason
    };

    static EngineError missingVideo(const QUrl& videoUrl);
    static EngineError unknown(const QString& reason);

    Kind kind() const { return kind_; }
    QString localizedDescription() const override;

private:
    EngineError(Kind kind, QString detail) : kind_(kind), detail_(std::move(detail)) {}

    Kind kind_;
    QString detail_;
};
