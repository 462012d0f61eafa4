#pragma once

#include "foundation/AppError.h"

#include <QDir>

// A local file that could not be read or written, kept apart from transfer failures so callers
// can tell a full disk from a lost connection.
class FileError : public AppError {
public:
    FileError(QString path, QString problem, bool outOfSpace = false)
        : path_(std::move(path)), problem_(std::move(problem)), outOfSpace_(outOfSpace)
    {
    }

    QString path() const { return path_; }
    // The file system had no room (or the user's quota was used up).
    bool isOutOfSpace() const { return outOfSpace_; }
    QString localizedDescription() const override
    {
        return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path_), problem_);
    }

private:
    QString path_;
    QString problem_;
    bool outOfSpace_ = false;
};
