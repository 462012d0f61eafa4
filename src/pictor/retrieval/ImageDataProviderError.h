#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace pictor {

// Why a data provider delivered no bytes. Thrown by the awaited forms, carried by the handlers.
class ImageDataProviderError : public std::exception {
public:
    enum class Reason {
        // Local file and picker item: the file could not be read.
        fileReadFailed,
        // Base64 text with characters outside the alphabet.
        invalidBase64,
        // Thumbnail: the URL names no local file; the file is no image; no thumbnail could be
        // made, encoded or written.
        emptySource,
        invalidImageSource,
        invalidThumbnail,
        writeDataError,
        finalizeDataError,
        // Video frame: the file could not be opened or decoded, the frame could not be made into a
        // JPEG, or the generation was cancelled.
        generatorError,
        invalidImage,
        userCancelled,
        // Picker item: the item could not deliver the asked representation.
        pickerProviderError,
    };

    ImageDataProviderError(Reason reason, QString detail = QString());

    Reason reason() const { return reason_; }
    const QString& detail() const { return detail_; }
    // "<reason>: <detail>", for error texts.
    QString description() const;
    const char* what() const noexcept override { return what_.constData(); }

private:
    Reason reason_;
    QString detail_;
    QByteArray what_;
};

} // namespace pictor
