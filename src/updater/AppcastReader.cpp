#include "updater/AppcastReader.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

namespace {
// The quoted value of the first `name="..."` in the text. (The value holds no quote, so it is
// the whole match without the name, the equals sign and the quotes.)
std::optional<QString> firstAttribute(const QString& text, const QRegularExpression& pattern)
{
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

bool isWellFormedXml(const QString& text)
{
    QXmlStreamReader reader(text);
    // Feeds are read by pattern, so an undeclared prefix is no reason to refuse one.
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}
} // namespace

QString AppcastReader::decode(const QByteArray& body)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(body);
    return decoder.hasError() ? QString() : text;
}

std::optional<AppcastReader::Version> AppcastReader::version(const QString& feed)
{
    static const QRegularExpression shortVersion(QStringLiteral(R"re(sparkle:shortVersionString="([^"]+)")re"));
    static const QRegularExpression version(QStringLiteral(R"re(sparkle:version="([^"]+)")re"));
    // A reply that is not a feed at all (an error page, a portal's login form) has no version.
    if (!isWellFormedXml(feed))
        return std::nullopt;
    if (auto text = firstAttribute(feed, shortVersion))
        return Version{*text, true};
    if (auto text = firstAttribute(feed, version))
        return Version{*text, false};
    return std::nullopt;
}

std::optional<QUrl> AppcastReader::downloadURL(const QString& feed)
{
    static const QRegularExpression url(QStringLiteral(R"re(url="([^"]+)")re"));
    const auto text = firstAttribute(feed, url);
    if (!text)
        return std::nullopt;
    const QUrl address(*text, QUrl::StrictMode);
    if (!address.isValid() || address.isRelative())
        return std::nullopt;
    return address;
}
