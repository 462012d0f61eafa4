#include "backend/AutoCompleteReader.h"

#include "backend/AutoCompleteEnvelope.h"
#include "backend/Utf8.h"
#include "foundation/JsonReader.h"
#include "foundation/Log.h"
#include "foundation/Text.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <QTextBoundaryFinder>

namespace {
constexpr qsizetype kLoggedCharacters = 400;
constexpr qsizetype kLoggedPickCharacters = 80;

// Read when the reply is taken as a plain object: the envelope's five names, then "query".
const QStringList kSingleTextKeys{QStringLiteral("suggestion"), QStringLiteral("completion"), QStringLiteral("text"),
    QStringLiteral("result"), QStringLiteral("value"), QStringLiteral("query")};

void log(const QString& message) { logLine(QStringLiteral("⌨️"), QStringLiteral("AutoComplete"), message); }

bool isBlank(const QString& text) { return Text::trimmed(text).isEmpty(); }

bool equalIgnoringCase(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Every element trimmed, blank ones dropped, order kept.
QStringList cleaned(const QStringList& texts)
{
    QStringList kept;
    for (const QString& text : texts) {
        if (QString trimmed = Text::trimmed(text); !trimmed.isEmpty())
            kept.append(std::move(trimmed));
    }
    return kept;
}

std::optional<QStringList> nonEmpty(QStringList texts)
{
    if (texts.isEmpty())
        return std::nullopt;
    return texts;
}

// The value as an array in which every element is a text.
std::optional<QStringList> textArray(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList texts;
    for (const QJsonValue element : value.toArray()) {
        if (!element.isString())
            return std::nullopt;
        texts.append(element.toString());
    }
    return texts;
}

std::optional<AutoCompleteEnvelope> envelopeOf(const QJsonValue& json)
{
    try {
        return AutoCompleteEnvelope::fromJson(JsonReader(json));
    } catch (const JsonError&) {
        return std::nullopt;
    }
}

// The first of the single-text keys holding a non-blank text, trimmed.
std::optional<QString> firstSingleText(const QJsonObject& object)
{
    for (const QString& key : kSingleTextKeys) {
        const QJsonValue value = object.value(key);
        if (value.isString() && !isBlank(value.toString()))
            return Text::trimmed(value.toString());
    }
    return std::nullopt;
}

std::optional<QJsonValue> parsed(const QByteArray& reply)
{
    try {
        return JsonReader::parse(reply).value();
    } catch (const JsonError&) {
        return std::nullopt;
    }
}
} // namespace

AutoCompleteResult AutoCompleteReader::read(const QByteArray& reply, const QString& query)
{
    if (const auto text = Utf8::decode(reply)) {
        log(QStringLiteral("Raw (%1 bytes): ").arg(reply.size())
            + Text::truncated(*text, kLoggedCharacters, QStringLiteral("…")));
    }
    const std::optional<QJsonValue> json = parsed(reply);

    if (const auto list = suggestionList(json)) {
        const std::optional<QString> primary = pick(*list, query);
        const QString trimmedQuery = Text::trimmed(query);
        QStringList chips;
        for (const QString& entry : *list) {
            if (!equalIgnoringCase(entry, trimmedQuery) && !(primary && equalIgnoringCase(entry, *primary)))
                chips.append(capitalized(entry));
        }
        log(QStringLiteral("Rich parse: primary=%1, chips=%2")
                .arg(primary ? QStringLiteral("true") : QStringLiteral("false"))
                .arg(chips.size()));
        return AutoCompleteResult{primary ? std::optional(capitalized(*primary)) : std::nullopt, chips};
    }
    if (const auto single = singleSuggestion(json, query)) {
        log(QStringLiteral("Parsed suggestion length=%1").arg(Text::graphemeCount(*single)));
        return AutoCompleteResult{capitalized(*single), {}};
    }
    log(QStringLiteral("Could not parse suggestion from response"));
    return {};
}

std::optional<QStringList> AutoCompleteReader::suggestionList(const std::optional<QJsonValue>& json)
{
    if (!json)
        return std::nullopt;
    if (json->isArray()) {
        const auto texts = textArray(*json);
        return texts ? nonEmpty(cleaned(*texts)) : std::nullopt;
    }
    if (json->isString())
        return nonEmpty(cleaned({json->toString()}));
    if (!json->isObject())
        return std::nullopt;

    // Whole lists first, then the envelope's single texts (several may be present).
    if (const auto envelope = envelopeOf(*json)) {
        if (envelope->suggestions) {
            if (auto list = nonEmpty(cleaned(*envelope->suggestions)))
                return list;
        }
        if (auto list = nonEmpty(cleaned(envelope->singleTexts())))
            return list;
    }
    // Read as a plain object: also "query", and lists the envelope cannot hold.
    const QJsonObject object = json->toObject();
    if (const auto text = firstSingleText(object))
        return QStringList{*text};
    if (const auto suggestions = textArray(object.value(QStringLiteral("suggestions")))) {
        if (auto list = nonEmpty(cleaned(*suggestions)))
            return list;
    }
    if (const auto results = textArray(object.value(QStringLiteral("results"))))
        return nonEmpty(cleaned(*results));
    return std::nullopt;
}

std::optional<QString> AutoCompleteReader::singleSuggestion(const std::optional<QJsonValue>& json, const QString& query)
{
    if (!json)
        return std::nullopt;
    if (json->isString()) {
        const QString text = Text::trimmed(json->toString());
        return text.isEmpty() ? std::nullopt : std::optional(text);
    }
    if (json->isArray()) {
        const auto texts = textArray(*json);
        return texts ? pick(*texts, query) : std::nullopt;
    }
    if (!json->isObject())
        return std::nullopt;

    // A single text first, then the list.
    if (const auto envelope = envelopeOf(*json)) {
        for (const QString& text : envelope->singleTexts()) {
            if (!isBlank(text))
                return Text::trimmed(text);
        }
        if (envelope->suggestions && !envelope->suggestions->isEmpty())
            return pick(*envelope->suggestions, query);
    }
    const QJsonObject object = json->toObject();
    if (const auto text = firstSingleText(object))
        return text;
    if (const auto suggestions = textArray(object.value(QStringLiteral("suggestions"))))
        return pick(*suggestions, query);
    if (const auto results = textArray(object.value(QStringLiteral("results"))))
        return pick(*results, query);
    return std::nullopt;
}

std::optional<QString> AutoCompleteReader::pick(const QStringList& list, const QString& query)
{
    const QStringList texts = cleaned(list);
    if (texts.isEmpty())
        return std::nullopt;
    const QString trimmedQuery = Text::trimmed(query);
    if (!trimmedQuery.isEmpty() && equalIgnoringCase(texts.first(), trimmedQuery)) {
        if (texts.size() < 2) {
            log(QStringLiteral("First result equals query and no second item — no suggestion"));
            return std::nullopt;
        }
        log(QStringLiteral("First result equals query — using index 1: ")
            + Text::truncated(texts.at(1), kLoggedPickCharacters) + QStringLiteral("…"));
        return texts.at(1);
    }
    log(QStringLiteral("Using index 0: ") + Text::truncated(texts.first(), kLoggedPickCharacters) + QStringLiteral("…"));
    return texts.first();
}

QString AutoCompleteReader::capitalized(const QString& text)
{
    // The catalogue's titles are in title case: its short joining words stay lower case inside a
    // title ("Rain on Glass", "Aurora from Orbit"), and a completion reads as the title it
    // completes.
    static const QSet<QString> kJoiningWords{QStringLiteral("a"), QStringLiteral("an"), QStringLiteral("and"),
        QStringLiteral("as"), QStringLiteral("at"), QStringLiteral("but"), QStringLiteral("by"), QStringLiteral("for"),
        QStringLiteral("from"), QStringLiteral("in"), QStringLiteral("into"), QStringLiteral("nor"), QStringLiteral("of"),
        QStringLiteral("on"), QStringLiteral("onto"), QStringLiteral("or"), QStringLiteral("the"), QStringLiteral("to"),
        QStringLiteral("via"), QStringLiteral("with")};
    const QLocale locale = QLocale::system();
    // Cleaned first, as it will be shown: a control character left in would end a word, and the
    // letter after it would be capitalised inside the word it vanishes from ("DelEte").
    const QString lower = locale.toLower(Text::trimmed(Text::oneLine(text)));
    QList<QStringView> words;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, lower);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; start = end, end = finder.toNextBoundary())
        if (end > start)
            words.append(QStringView(lower).mid(start, end - start));
    // Where the first and last words stand (spaces and marks are segments of their own).
    const auto isWord = [](QStringView segment) { return segment.front().isLetterOrNumber() || segment.front().isSurrogate(); };
    qsizetype firstWord = -1, lastWord = -1;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (!isWord(words.at(i)))
            continue;
        if (firstWord < 0)
            firstWord = i;
        lastWord = i;
    }
    QString result;
    result.reserve(lower.size());
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QStringView word = words.at(i);
        // After a hyphen or an apostrophe a word is part of the one before it ("Rock-N-Roll").
        const bool joining = i != firstWord && i != lastWord && kJoiningWords.contains(word.toString())
            && i > 0 && words.at(i - 1).front().isSpace();
        // The first letter is one code point, which may be a surrogate pair.
        const qsizetype firstLength = word.front().isHighSurrogate() && word.size() > 1 ? 2 : 1;
        const QStringView first = word.left(firstLength);
        const bool isLetter = QChar::isLetter(QStringView(first).toUcs4().value(0));
        result += isLetter && !joining ? locale.toUpper(first.toString()) : first.toString();
        result += word.mid(firstLength);
    }
    return result;
}
