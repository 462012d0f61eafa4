#include "signalry/SignalPostBody.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>

#include <cmath>

namespace signalry {

namespace {
// Seconds between 1 January 1970 and 1 January 2001, both UTC.
constexpr double kReferenceDateOffset = 978'307'200.0;
// A record with the default payload, as written; room reserved up front saves regrowing.
constexpr qsizetype kTypicalRecordBytes = 4096;

bool needsEscape(char16_t unit) { return unit < 0x20 || unit == u'"' || unit == u'\\'; }

// Appends UTF-8 text with quotes, backslashes and control characters escaped.
void appendEscapedUtf8(QByteArray& out, const QByteArray& utf8)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const char* run = utf8.constData();
    const char* const end = run + utf8.size();
    for (const char* at = run; at != end; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte >= 0x80 || !needsEscape(byte))
            continue;
        out.append(run, at - run);
        run = at + 1;
        if (byte >= 0x20) {
            const char escaped[] = {'\\', *at};
            out.append(escaped, 2);
        } else {
            const char escaped[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xf]};
            out.append(escaped, 6);
        }
    }
    out.append(run, end - run);
}

// Appends `text` as a JSON string. Plain ASCII, nearly every key and value, is copied as it is;
// from the first other character on the text goes through UTF-8 and escaping.
void appendJsonString(QByteArray& out, QStringView text)
{
    out += '"';
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* const ascii = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= 0x80 || needsEscape(unit)) {
            out.resize(start + i);
            appendEscapedUtf8(out, text.mid(i).toUtf8());
            break;
        }
        ascii[i] = static_cast<char>(unit);
    }
    out += '"';
}

void appendMember(QByteArray& out, const char* key, const QString& value)
{
    out += '"';
    out += key;
    out += "\":";
    appendJsonString(out, value);
    out += ',';
}

std::optional<QString> textMember(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}
} // namespace

void SignalPostBody::appendJson(QByteArray& out, DateForm dateForm) const
{
    out += "{\"receivedAt\":";
    if (dateForm == DateForm::WireText)
        appendJsonString(out, wireDate(receivedAt));
    else
        out += QByteArray::number(static_cast<double>(receivedAt.toMSecsSinceEpoch()) / 1000.0 - kReferenceDateOffset, 'f',
                                  QLocale::FloatingPointShortest);
    out += ',';
    appendMember(out, "appID", appID);
    appendMember(out, "clientUser", clientUser);
    appendMember(out, "sessionID", sessionID);
    appendMember(out, "type", type);
    if (floatValue && std::isfinite(*floatValue)) {
        out += "\"floatValue\":";
        out += QByteArray::number(*floatValue, 'g', QLocale::FloatingPointShortest);
        out += ',';
    }
    out += "\"payload\":{";
    bool first = true;
    for (auto it = payload.cbegin(); it != payload.cend(); ++it) {
        if (!first)
            out += ',';
        first = false;
        appendJsonString(out, it.key());
        out += ':';
        appendJsonString(out, it.value());
    }
    out += "},";
    appendMember(out, "isTestMode", isTestMode);
    out.chop(1);
    out += '}';
}

QByteArray SignalPostBody::toWireJson() const
{
    QByteArray out;
    appendJson(out, DateForm::WireText);
    return out;
}

QByteArray SignalPostBody::toCacheJson() const
{
    QByteArray out;
    appendJson(out, DateForm::ReferenceSeconds);
    return out;
}

std::optional<SignalPostBody> SignalPostBody::fromCacheJson(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    const QJsonValue received = object.value(QStringLiteral("receivedAt"));
    const QJsonValue payload = object.value(QStringLiteral("payload"));
    const auto appID = textMember(object, QStringLiteral("appID"));
    const auto clientUser = textMember(object, QStringLiteral("clientUser"));
    const auto sessionID = textMember(object, QStringLiteral("sessionID"));
    const auto type = textMember(object, QStringLiteral("type"));
    const auto isTestMode = textMember(object, QStringLiteral("isTestMode"));
    if (!received.isDouble() || !payload.isObject() || !appID || !clientUser || !sessionID || !type || !isTestMode)
        return std::nullopt;
    const double seconds = received.toDouble() + kReferenceDateOffset;
    if (!std::isfinite(seconds) || std::abs(seconds) > 1e14)
        return std::nullopt;

    SignalPostBody body;
    body.receivedAt = QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0), Qt::UTC);
    body.appID = *appID;
    body.clientUser = *clientUser;
    body.sessionID = *sessionID;
    body.type = *type;
    body.isTestMode = *isTestMode;
    const QJsonValue floatValue = object.value(QStringLiteral("floatValue"));
    if (floatValue.isDouble())
        body.floatValue = floatValue.toDouble();
    else if (!floatValue.isUndefined())
        return std::nullopt;
    const QJsonObject payloadObject = payload.toObject();
    for (auto it = payloadObject.constBegin(); it != payloadObject.constEnd(); ++it) {
        if (!it.value().isString())
            return std::nullopt;
        body.payload.insert(it.key(), it.value().toString());
    }
    return body;
}

QByteArray SignalPostBody::encodeWireBatch(const QList<SignalPostBody>& batch)
{
    QByteArray out("[");
    out.reserve(batch.size() * kTypicalRecordBytes);
    for (const SignalPostBody& record : batch) {
        if (out.size() > 1)
            out += ',';
        record.appendJson(out, DateForm::WireText);
    }
    return out + ']';
}

QString SignalPostBody::wireDate(const QDateTime& moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + QStringLiteral("+0000");
}

QString SignalPostBody::description() const { return QString::fromUtf8(toWireJson()); }

} // namespace signalry
