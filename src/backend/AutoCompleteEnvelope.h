#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class JsonReader;

// The object shape of an auto-complete reply: one suggestion under any of five names, and/or a
// list of suggestions. Any object decodes unless one of these keys holds another type.
struct AutoCompleteEnvelope {
    std::optional<QString> suggestion;
    std::optional<QString> completion;
    std::optional<QString> text;
    std::optional<QString> result;
    std::optional<QString> value;
    std::optional<QStringList> suggestions;

    static AutoCompleteEnvelope fromJson(const JsonReader& json);

    // suggestion, completion, text, result, value: those present, in this order.
    QStringList singleTexts() const;
};
