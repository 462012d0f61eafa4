#pragma once

#include <QByteArray>
#include <QString>

// Reads an old settings file whole, read-only: a pipe or device in its place is never waited on,
// and a symbolic link may be refused rather than followed. Any thread.
namespace LegacyFileRead {

struct Result {
    enum class Outcome {
        Missing, // nothing there (or a file where its folder goes)
        Read,
        Link, // a symbolic link, refused
        Failed, // could not be read now: `reason` says why
    };
    Outcome outcome = Outcome::Missing;
    QByteArray bytes;
    QString reason;
};

enum class Links { Follow, Refuse };

Result read(const QString& path, Links links);

} // namespace LegacyFileRead
