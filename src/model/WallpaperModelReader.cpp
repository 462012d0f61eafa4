#include "model/WallpaperModelReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QVarLengthArray>

#include <array>
#include <cstring>

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isAlphanumeric(char c) { return isDigit(c) || isLower(c) || (c >= 'A' && c <= 'Z'); }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The tokens of one flat JSON object. Every step answers false for what it does not take.
class Tokens {
public:
    explicit Tokens(QByteArrayView text) : text_(text) {}

    bool atEnd() { return skipSpace() == text_.size(); }
    bool take(char c)
    {
        if (skipSpace() >= text_.size() || text_[at_] != c)
            return false;
        ++at_;
        return true;
    }
    bool peek(char c) { return skipSpace() < text_.size() && text_[at_] == c; }

    // The bytes between the quotes of a string without escapes or control characters.
    std::optional<QByteArrayView> string()
    {
        if (!take('"'))
            return std::nullopt;
        const char* begin = text_.data() + at_;
        const auto* end = static_cast<const char*>(std::memchr(begin, '"', text_.size() - at_));
        if (!end)
            return std::nullopt;
        // Looked for all through, without stopping, which is quicker for the short texts here.
        bool plain = true;
        for (const char* c = begin; c < end; ++c)
            plain &= *c != '\\' && static_cast<unsigned char>(*c) >= 0x20;
        if (!plain)
            return std::nullopt;
        at_ += end - begin + 1;
        return QByteArrayView(begin, end - begin);
    }

    // An integer without fraction or exponent, short enough that a double holds it exactly (the
    // full decoder reads it through one).
    std::optional<qint64> integer()
    {
        skipSpace();
        const bool negative = at_ < text_.size() && text_[at_] == '-';
        if (negative)
            ++at_;
        const qsizetype digits = at_;
        qint64 value = 0;
        constexpr qsizetype kMostDigits = 15;
        // Digits past the most a value may have are counted, not added: a hostile run of them
        // would overflow.
        for (; at_ < text_.size() && isDigit(text_[at_]); ++at_)
            if (at_ - digits < kMostDigits)
                value = value * 10 + (text_[at_] - '0');
        const qsizetype count = at_ - digits;
        if (count == 0 || count > kMostDigits || (count > 1 && text_[digits] == '0'))
            return std::nullopt;
        if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E'))
            return std::nullopt;
        return negative ? -value : value;
    }

    std::optional<bool> boolean()
    {
        skipSpace();
        for (const bool value : {true, false}) {
            const QByteArrayView word = value ? QByteArrayView("true") : QByteArrayView("false");
            if (text_.sliced(at_).startsWith(word)) {
                at_ += word.size();
                return value;
            }
        }
        return std::nullopt;
    }

private:
    qsizetype skipSpace()
    {
        while (at_ < text_.size() && isSpace(text_[at_]))
            ++at_;
        return at_;
    }

    QByteArrayView text_;
    qsizetype at_ = 0;
};

bool isAscii(QByteArrayView raw)
{
    for (const char c : raw)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The text of a string's bytes as the JSON parser reads them: ASCII as it is, anything else
// through the parser itself, so that bytes that are not UTF-8 are refused alike.
std::optional<QString> text(QByteArrayView raw)
{
    if (isAscii(raw))
        return QString::fromLatin1(raw.data(), raw.size());
    QByteArray wrapped;
    wrapped.reserve(raw.size() + 4);
    wrapped.append("[\"").append(raw).append("\"]");
    QJsonParseError fault;
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &fault);
    if (fault.error != QJsonParseError::NoError)
        return std::nullopt;
    return document.array().at(0).toString();
}

bool isCanonicalUuid(QByteArrayView raw)
{
    if (raw.size() != 36)
        return false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? raw[i] != '-' : !isHex(raw[i]))
            return false;
    }
    return true;
}

// An address that a QUrl would read and write back byte for byte: "http" or "https", a lower-case
// host name of letters, digits and hyphens whose last label starts with a letter (never an IP
// address, an international name or a port), then a path and query of unreserved characters and
// slashes alone (no escapes, no dot segments). Anything else is read through a QUrl.
bool isPlainAddress(QByteArrayView raw)
{
    qsizetype at;
    if (raw.startsWith("https://"))
        at = 8;
    else if (raw.startsWith("http://"))
        at = 7;
    else
        return false;
    const qsizetype hostBegin = at;
    qsizetype labelBegin = at;
    for (; at < raw.size() && raw[at] != '/' && raw[at] != '?'; ++at) {
        const char c = raw[at];
        if (c == '.') {
            if (at == labelBegin)
                return false;
            labelBegin = at + 1;
        } else if (!isLower(c) && !isDigit(c) && c != '-') {
            return false;
        }
    }
    const QByteArrayView host = raw.sliced(hostBegin, at - hostBegin);
    if (at == labelBegin || !isLower(raw[labelBegin]) || host.startsWith("xn--") || host.contains(".xn--"))
        return false;
    bool inQuery = false;
    for (qsizetype segment = at; at < raw.size(); ++at) {
        const char c = raw[at];
        if (c == '/' || c == '?' || at + 1 == raw.size()) {
            const qsizetype end = c == '/' || c == '?' ? at : at + 1;
            const QByteArrayView name = raw.sliced(segment, end - segment);
            if (!inQuery && (name == "/." || name == "/.." || name == "." || name == ".."))
                return false;
            segment = at;
        }
        if (c == '?') {
            if (inQuery)
                return false;
            inQuery = true;
            continue;
        }
        const bool unreserved = isAlphanumeric(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (!unreserved && !(inQuery && (c == '=' || c == '&')))
            return false;
    }
    return true;
}

// An address that is not plain, read through a QUrl as the full decoder reads it.
std::optional<WebAddress> parsedAddress(QByteArrayView raw)
{
    const std::optional<QString> written = text(raw);
    if (!written)
        return std::nullopt;
    const QUrl url(*written, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return WebAddress(url);
}

enum Field {
    Id, Key, Title, Category, ImageUrl, PosterUrl, VideoUrl, PreviewhdUrl, MasterUrl, Likes, Downloads, CreatedAt,
    Resolution, FileSize, Duration, Is4k, IsFromGravelnook, ForLockscreen, FieldCount
};

// The stored keys, in the order of Field.
constexpr std::array<QByteArrayView, FieldCount> kKeys = {
    "id", "key", "title", "category", "imageUrl", "posterUrl", "videoUrl", "previewhdUrl", "masterUrl", "likes",
    "downloads", "createdAt", "resolution", "fileSize", "duration", "is_4k", "is_from_gravel_nook", "for_lockscreen",
};

std::optional<Field> field(QByteArrayView key)
{
    // Told apart by their length and first letter before their text is compared.
    for (int f = 0; f < FieldCount; ++f)
        if (kKeys[f].size() == key.size() && kKeys[f][0] == key[0] && kKeys[f] == key)
            return Field(f);
    return std::nullopt;
}

} // namespace

std::optional<QString> WallpaperModelReader::sharedText(QByteArrayView raw)
{
    // Enough for the sizes, lengths and categories of a real library; a field of many distinct
    // values stops being shared, rather than kept in a table as large as the list.
    constexpr qsizetype kMostShared = 256;
    if (const auto found = shared_.constFind(QByteArray::fromRawData(raw.data(), raw.size())); found != shared_.cend())
        return *found;
    const std::optional<QString> read = text(raw);
    if (read && shared_.size() < kMostShared)
        shared_.insert(raw.toByteArray(), *read);
    return read;
}

std::optional<WallpaperModel> WallpaperModelReader::read(QByteArrayView record)
{
    Tokens tokens(record);
    if (!tokens.take('{'))
        return std::nullopt;
    WallpaperModel wallpaper;
    std::array<bool, FieldCount> seen{};
    // The plain addresses, kept in one buffer.
    QVarLengthArray<std::pair<QByteArrayView, std::optional<WebAddress>*>, 5> plain;
    bool first = true;
    while (!tokens.take('}')) {
        if (!std::exchange(first, false) && !tokens.take(','))
            return std::nullopt;
        const std::optional<QByteArrayView> key = tokens.string();
        const std::optional<Field> which = key ? field(*key) : std::nullopt;
        if (!which || seen[*which] || !tokens.take(':'))
            return std::nullopt;
        seen[*which] = true;
        bool read = true;
        const auto readString = [&tokens, &read](QString& into) {
            const std::optional<QByteArrayView> raw = tokens.string();
            const std::optional<QString> value = raw ? text(*raw) : std::nullopt;
            read = value.has_value();
            if (read)
                into = *value;
        };
        const auto readShared = [this, &tokens, &read](auto& into) {
            const std::optional<QByteArrayView> raw = tokens.string();
            const std::optional<QString> value = raw ? sharedText(*raw) : std::nullopt;
            read = value.has_value();
            if (read)
                into = *value;
        };
        const auto readAddress = [&tokens, &read, &plain](std::optional<WebAddress>& into) {
            const std::optional<QByteArrayView> raw = tokens.string();
            read = raw && !raw->isEmpty();
            if (read && isPlainAddress(*raw)) {
                // Made once every address of the record is known.
                plain.append({*raw, &into});
                into.emplace();
            } else if (read) {
                into = parsedAddress(*raw);
                read = into.has_value();
            }
        };
        const auto readInteger = [&tokens, &read](auto& into) {
            const std::optional<qint64> value = tokens.integer();
            read = value.has_value();
            if (read)
                into = *value;
        };
        const auto readBool = [&tokens, &read](bool& into) {
            const std::optional<bool> value = tokens.boolean();
            read = value.has_value();
            if (read)
                into = *value;
        };
        switch (*which) {
        case Id: {
            const std::optional<QByteArrayView> raw = tokens.string();
            read = raw && isCanonicalUuid(*raw);
            if (read)
                wallpaper.id = QUuid::fromString(QLatin1StringView(raw->data(), raw->size()));
            break;
        }
        case Key: readInteger(wallpaper.key); break;
        case Title: readString(wallpaper.title); break;
        case Category: readShared(wallpaper.category); break;
        case ImageUrl: readAddress(wallpaper.imageUrl); break;
        case PosterUrl: readAddress(wallpaper.posterUrl); break;
        case VideoUrl: readAddress(wallpaper.videoUrl); break;
        case PreviewhdUrl: readAddress(wallpaper.previewhdUrl); break;
        case MasterUrl: readAddress(wallpaper.masterUrl); break;
        case Likes: readInteger(wallpaper.likes); break;
        case Downloads: readInteger(wallpaper.downloads); break;
        case CreatedAt: readString(wallpaper.createdAt); break;
        case Resolution: readShared(wallpaper.resolution); break;
        case FileSize: readShared(wallpaper.fileSize); break;
        case Duration: readShared(wallpaper.duration); break;
        case Is4k: readBool(wallpaper.is_4k); break;
        case IsFromGravelnook: readBool(wallpaper.isFromGravelnook); break;
        case ForLockscreen: readBool(wallpaper.forLockscreen); break;
        case FieldCount: break;
        }
        if (!read)
            return std::nullopt;
    }
    if (!tokens.atEnd())
        return std::nullopt;
    for (const Field required : {Id, Title, Category, Likes, Downloads, CreatedAt})
        if (!seen[required])
            return std::nullopt;
    if (!plain.isEmpty()) {
        QVarLengthArray<QByteArrayView, 5> encoded;
        QVarLengthArray<WebAddress, 5> addresses(plain.size());
        for (const auto& [raw, into] : plain)
            encoded.append(raw);
        WebAddress::fromEncodedTogether(encoded, addresses);
        for (qsizetype index = 0; index < plain.size(); ++index)
            *plain[index].second = std::move(addresses[index]);
    }
    return wallpaper;
}
