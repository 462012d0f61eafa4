#include "backend/AutoCompleteEnvelope.h"

#include "foundation/JsonReader.h"

AutoCompleteEnvelope AutoCompleteEnvelope::fromJson(const JsonReader& json)
{
    AutoCompleteEnvelope envelope;
    envelope.suggestion = json.optionalString("suggestion");
    envelope.completion = json.optionalString("completion");
    envelope.text = json.optionalString("text");
    envelope.result = json.optionalString("result");
    envelope.value = json.optionalString("value");
    envelope.suggestions = json.optional<QList<QString>>("suggestions");
    return envelope;
}

QStringList AutoCompleteEnvelope::singleTexts() const
{
    QStringList texts;
    for (const auto* field : {&suggestion, &completion, &text, &result, &value}) {
        if (*field)
            texts.append(**field);
    }
    return texts;
}
