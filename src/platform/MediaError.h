#pragma once

#include "foundation/KindError.h"

enum class MediaErrorKind {
    fileNotFound,
    unreadable,
    noVideoTrack,
    decodeFailed,
    encodeFailed,
    writeFailed,
    cancelled,
    notAnImage,
};

// The failure of a media operation (probe, frame extraction, movie export, image conversion).
// Callers map it onto their own errors; kind() tells the cases apart, detail() carries the
// path or the underlying library's reason.
class MediaError : public KindError<MediaErrorKind> {
public:
    using KindError::KindError;

    // An error whose detail is `context` followed by FFmpeg's text for the status code.
    static MediaError fromFfmpeg(Kind kind, const QString& context, int status);

    QString localizedDescription() const override;
};
