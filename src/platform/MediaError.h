#pragma once

#include "foundation/AppError.h"

// The failure of a media operation (probe, frame extraction, movie export, image conversion).
// Callers map it onto their own errors; kind() tells the cases apart, detail() carries the
// path or the underlying library's reason.
class MediaError : public AppError {
public:
    enum class Kind {
        fileNotFound,
        unreadable,
        noVideoTrack,
        decodeFailed,
        encodeFailed,
        writeFailed,
        cancelled,
        notAnImage,
    };

    explicit MediaError(Kind kind, QString detail = {}) : kind_(kind), detail_(std::move(detail)) {}

    // An error whose detail is `context` followed by FFmpeg's text for the status code.
    static MediaError fromFfmpeg(Kind kind, const QString& context, int status);

    Kind kind() const { return kind_; }
    QString detail() const { return detail_; }
    QString localizedDescription() const override;

private:
    Kind kind_;
    QString detail_;
};
