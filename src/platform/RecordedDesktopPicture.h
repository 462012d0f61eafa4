#pragma once

#include "platform/DesktopPicture.h"

#include <optional>

// The desktop picture on a desktop that offers no tool we can drive: each display's picture is
// recorded in a JSON file under the application's Application Support folder, keyed by display
// identifier, where a session script or a later version can pick it up. A record file that no
// longer parses is moved aside at the next write ("<file>.damaged-<time>"), keeping the displays
// that still read.
class RecordedDesktopPicture : public DesktopPicture {
public:
    explicit RecordedDesktopPicture(QString filePath = defaultFilePath());

    static QString defaultFilePath();
    QString filePath() const { return filePath_; }

    QCoro::Task<> setPicture(QString imagePath, ScreenInfo screen) override;

    // Writes the record at once (atomically). Throws DesktopPictureError.
    void record(const QString& imagePath, const ScreenInfo& screen);
    // The picture recorded for `screen`, if any.
    std::optional<QString> picture(const ScreenInfo& screen) const;

private:
    // The records that read; `damaged` (when given) is set when the file did not parse whole.
    QJsonObject read(bool* damaged = nullptr) const;

    QString filePath_;
};
