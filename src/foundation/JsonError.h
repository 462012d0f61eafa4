#pragma once

#include "foundation/AppError.h"

// A JSON text that is not valid, or a value that does not have the shape a record expects.
// `path` names the offending value the way it is reached from the top ("items[3].key"); it is
// empty for the document itself.
class JsonError : public AppError {
public:
    JsonError(QString path, QString message) : path_(std::move(path)), message_(std::move(message)) {}

    const QString& path() const { return path_; }
    const QString& message() const { return message_; }

    // "items[3].key: expected an integer, found a string", or the bare message at the top.
    QString localizedDescription() const override;

private:
    QString path_;
    QString message_;
};
