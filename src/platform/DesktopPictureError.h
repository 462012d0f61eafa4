#pragma once

#include "foundation/AppError.h"

// The desktop refused a picture: its tool failed or could not be run, or the record of the
// picture could not be written. The message says which, with the tool's own words.
class DesktopPictureError : public AppError {
public:
    explicit DesktopPictureError(QString message) : message_(std::move(message)) {}
    QString localizedDescription() const override { return message_; }

private:
    QString message_;
};
