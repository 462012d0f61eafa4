#pragma once

#include <QByteArray>
#include <QString>

// Reads an old settings file whole, read-only: a pipe or device in its place is never waited on,
// a symbolic link may be refused rather than followed, and another user's file is refused. Any
// thread.
namespace LegacyFileRead {

struct Result {
    enum class Outcome {
        Missing, // nothing there (or a file where its folder goes)
        Read,
        Link, // a symbolic link, refused
        Foreign, // another user's file, refused
        Failed, // could not be read now: `reason` says why
    };
    Outcome outcome = Outcome::Missing;
    QByteArray bytes;
    QString reason;
};

enum class Links { Follow, Refuse };

Result read(const QString& path, Links links);

} // namespace LegacyFileRead
