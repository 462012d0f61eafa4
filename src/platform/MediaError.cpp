#include "platform/MediaError.h"

#include <QCoreApplication>

extern "C" {
#include <libavutil/error.h>
}

MediaError MediaError::fromFfmpeg(Kind kind, const QString& context, int status)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(status, text, sizeof text);
    return MediaError(kind, context % QStringLiteral(" (") % QString::fromUtf8(text) % QLatin1Char(')'));
}

QString MediaError::localizedDescription() const
{
    QString message;
    switch (kind_) {
    case Kind::fileNotFound:
        message = QCoreApplication::translate("MediaError", "Media file not found at path");
        break;
    case Kind::unreadable:
        message = QCoreApplication::translate("MediaError", "The file is not a readable video");
        break;
    case Kind::noVideoTrack:
        message = QCoreApplication::translate("MediaError", "Video file has no video tracks");
        break;
    case Kind::decodeFailed:
        message = QCoreApplication::translate("MediaError", "The video could not be decoded");
        break;
    case Kind::encodeFailed:
        message = QCoreApplication::translate("MediaError", "The video could not be encoded");
        break;
    case Kind::writeFailed:
        message = QCoreApplication::translate("MediaError", "The file could not be written");
        break;
    case Kind::cancelled:
        message = QCoreApplication::translate("MediaError", "The operation was cancelled");
        break;
    case Kind::notAnImage:
        message = QCoreApplication::translate("MediaError", "The data is not a readable image");
        break;
    }
    return detail_.isEmpty() ? message : message % QStringLiteral(": ") % detail_;
}
