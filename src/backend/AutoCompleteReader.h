#pragma once

#include "backend/AutoCompleteResult.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

// Reads an auto-complete reply, whose shape the backend may choose (an array of texts, one
// text, or an object with a suggestion under one of several names and/or a list), into a
// suggestion and chips. Tries a whole list first, then a single suggestion, and traces each
// step in the log.
class AutoCompleteReader {
public:
    // Logs the raw reply (cut to 400 characters) and reads it for `query`; a reply of no known
    // shape gives no result.
    static AutoCompleteResult read(const QByteArray& reply, const QString& query);

    // Trimmed, then in title case as the catalogue writes its titles: the first letter of every
    // word upper case and the others lower case, by the rules of the user's locale, except short
    // joining words ("on", "and", "from") inside the text, which stay lower case.
    static QString capitalized(const QString& text);

private:
    // `json` is nothing when the reply is not JSON.
    static std::optional<QStringList> suggestionList(const std::optional<QJsonValue>& json);
    static std::optional<QString> singleSuggestion(const std::optional<QJsonValue>& json, const QString& query);
    // The suggestion a list offers: its first element, or the second when the first is just the
    // query again.
    static std::optional<QString> pick(const QStringList& list, const QString& query);
};
