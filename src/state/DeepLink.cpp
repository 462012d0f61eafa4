#include "state/DeepLink.h"

#include <QRegularExpression>
#include <QUrl>

namespace {
const QString kScheme = QStringLiteral("quorvelle");
const QString kWallpaperHost = QStringLiteral("wallpaper");
const QString kGravelnookHost = QStringLiteral("gravelnook");
const QString kOAuthHost = QStringLiteral("oauth");

const QRegularExpression kSchemePattern(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
// Anchored at the very end: "$" would also accept a key followed by a line feed.
const QRegularExpression kKeyPattern(QRegularExpression::anchoredPattern(QStringLiteral("[+-]?[0-9]+")));
const QRegularExpression kAuthorityEnd(QStringLiteral("[/?#]"));

// The scheme and host exactly as written. QUrl lower-cases both, and link words are matched
// case-sensitively.
struct RawParts {
    QString scheme;
    std::optional<QString> host;
};

RawParts rawParts(const QString& text)
{
    RawParts parts;
    const QRegularExpressionMatch scheme = kSchemePattern.match(text);
    if (!scheme.hasMatch())
        return parts;
    parts.scheme = scheme.captured(1);
    const QStringView rest = QStringView(text).sliced(scheme.capturedLength());
    if (!rest.startsWith(u"//"))
        return parts;
    QStringView authority = rest.sliced(2);
    const qsizetype end = authority.indexOf(kAuthorityEnd);
    if (end >= 0)
        authority.truncate(end);
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0)
        authority = authority.sliced(at + 1);
    if (!authority.startsWith(u'[')) {
        if (const qsizetype colon = authority.lastIndexOf(u':'); colon >= 0)
            authority.truncate(colon);
    }
    if (!authority.isEmpty())
        parts.host = authority.toString();
    return parts;
}

QString trimmedSlashes(const QString& path)
{
    qsizetype start = 0;
    qsizetype end = path.size();
    while (start < end && path.at(start) == u'/')
        ++start;
    while (end > start && path.at(end - 1) == u'/')
        --end;
    return path.sliced(start, end - start);
}

DeepLink wallpaperLink(std::optional<qint64> key)
{
    if (!key)
        return DeepLink{DeepLink::Kind::InvalidWallpaper, 0, {}};
    return DeepLink{DeepLink::Kind::Wallpaper, *key, {}};
}
} // namespace

std::optional<qint64> DeepLink::parseKey(const QString& text)
{
    if (!kKeyPattern.match(text).hasMatch())
        return std::nullopt;
    bool inRange = false;
    const qint64 key = text.toLongLong(&inRange);
    if (!inRange)
        return std::nullopt;
    return key;
}

DeepLink DeepLink::parse(const QString& text)
{
    const QUrl url(text);
    const RawParts raw = rawParts(text);
    if (!url.isValid() || raw.scheme.isEmpty())
        return DeepLink{Kind::InvalidWallpaper, 0, {}};
    const QString path = url.path(QUrl::FullyDecoded);

    if (raw.host == kOAuthHost)
        return DeepLink{Kind::Ignored, 0, {}};
    if (raw.host == kGravelnookHost) {
        const QString id = trimmedSlashes(path);
        if (id.isEmpty())
            return DeepLink{Kind::InvalidGravelnook, 0, {}};
        return DeepLink{Kind::Gravelnook, 0, id};
    }
    if (raw.scheme != kScheme)
        return DeepLink{Kind::InvalidWallpaper, 0, {}};
    if (raw.host == kWallpaperHost)
        return wallpaperLink(parseKey(trimmedSlashes(path)));

    const QStringList components = path.split(u'/', Qt::SkipEmptyParts);
    if (components.size() >= 2 && components.first() == kWallpaperHost)
        return wallpaperLink(parseKey(components.at(1)));
    return DeepLink{Kind::InvalidWallpaper, 0, {}};
}
