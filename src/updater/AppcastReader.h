#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// What the update check reads from the feed: the first version attribute and the first url=
// attribute, found by pattern in the text as served. Everything else in the feed is ignored.
class AppcastReader {
public:
    struct Version {
        QString text;
        bool fromShortVersionString = true; // false: the sparkle:version fallback
    };

    // The body as UTF-8; text that is not valid UTF-8 reads as empty.
    static QString decode(const QByteArray& body);
    // The first sparkle:shortVersionString, else the first sparkle:version; nothing when the
    // feed has neither or is not well-formed XML.
    static std::optional<Version> version(const QString& feed);
    // The first url= attribute, when it holds an absolute address.
    static std::optional<QUrl> downloadURL(const QString& feed);
};
