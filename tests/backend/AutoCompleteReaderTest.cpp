#include "backend/AutoCompleteReader.h"
#include "foundation/Log.h"

#include <gtest/gtest.h>

namespace {

struct ReplyCase {
    const char* name;
    const char* query;
    const char* reply;
    std::optional<QString> suggestion;
    QStringList chips;
};

class AutoCompleteCascadeTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(AutoCompleteCascadeTest, ReadsTheSuggestionAndChips)
{
    const ReplyCase& c = GetParam();
    const AutoCompleteResult result = AutoCompleteReader::read(QByteArray(c.reply), QString::fromUtf8(c.query));
    EXPECT_EQ(result.suggestion, c.suggestion);
    EXPECT_EQ(result.chips, c.chips);
}

const QString kCouldNotParse = QStringLiteral("⌨️ [AutoComplete] Could not parse suggestion from response");

INSTANTIATE_TEST_SUITE_P(Shapes, AutoCompleteCascadeTest,
    ::testing::Values(
        ReplyCase{"firstEqualsQuery", "sunset", R"(["Sunset", "sunset beach", "Sunset City"])", QStringLiteral("Sunset Beach"),
            {QStringLiteral("Sunset City")}},
        ReplyCase{"onlyTheQuery", "Sunset", R"(["sunset"])", std::nullopt, {}},
        ReplyCase{"envelopeSuggestion", "ocean", R"({"suggestion": "ocean waves"})", QStringLiteral("Ocean Waves"), {}},
        ReplyCase{"resultsList", "x", R"({"results": ["a b", "c"]})", QStringLiteral("A B"), {QStringLiteral("C")}},
        ReplyCase{"emptyArray", "x", "[]", std::nullopt, {}},
        ReplyCase{"emptyObject", "x", "{}", std::nullopt, {}},
        ReplyCase{"bareText", "for", R"("  forest  ")", QStringLiteral("Forest"), {}},
        ReplyCase{"blankText", "for", R"("   ")", std::nullopt, {}},
        ReplyCase{"suggestionsCleaned", "deep", R"({"suggestions": ["  ", " coral reef ", "Deep sea", "DEEP"]})",
            QStringLiteral("Coral Reef"), {QStringLiteral("Deep Sea")}},
        ReplyCase{"severalSingleTexts", "q", R"({"suggestion": "a", "text": " ", "value": "b"})", QStringLiteral("A"),
            {QStringLiteral("B")}},
        ReplyCase{"wrongTypeFallsToQueryKey", "la", R"({"suggestion": 5, "query": "lake"})", QStringLiteral("Lake"), {}},
        ReplyCase{"wrongListFallsToResults", "r", R"({"suggestions": [1, 2], "results": ["rain"]})", QStringLiteral("Rain"), {}},
        ReplyCase{"blankSuggestionsUseSingles", "m", R"({"suggestions": [" "], "completion": "moon"})", QStringLiteral("Moon"), {}},
        ReplyCase{"mixedArray", "x", R"([1, "a"])", std::nullopt, {}},
        ReplyCase{"number", "x", "42", std::nullopt, {}},
        ReplyCase{"notJson", "x", "nope", std::nullopt, {}},
        ReplyCase{"notUtf8", "x", "\xff\xfe", std::nullopt, {}}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

TEST(AutoCompleteReaderTest, TracesTheRichParse)
{
    LogCapture log;
    AutoCompleteReader::read(R"(["sunset"])", QStringLiteral("Sunset"));
    EXPECT_EQ(log.lines(), (QStringList{
        QStringLiteral(R"(⌨️ [AutoComplete] Raw (10 bytes): ["sunset"])"),
        QStringLiteral("⌨️ [AutoComplete] First result equals query and no second item — no suggestion"),
        QStringLiteral("⌨️ [AutoComplete] Rich parse: primary=false, chips=0"),
    }));

    log.clear();
    AutoCompleteReader::read(R"(["Sea", "sea breeze"])", QStringLiteral("sea"));
    EXPECT_EQ(log.lines().at(1), QStringLiteral("⌨️ [AutoComplete] First result equals query — using index 1: sea breeze…"));
    EXPECT_EQ(log.lines().at(2), QStringLiteral("⌨️ [AutoComplete] Rich parse: primary=true, chips=0"));

    log.clear();
    AutoCompleteReader::read(R"({"suggestion": "ocean"})", QStringLiteral("oc"));
    EXPECT_EQ(log.lines().at(1), QStringLiteral("⌨️ [AutoComplete] Using index 0: ocean…"));
}

TEST(AutoCompleteReaderTest, UnknownShapesSayTheyCouldNotParse)
{
    LogCapture log;
    AutoCompleteReader::read("{}", QStringLiteral("x"));
    EXPECT_EQ(log.lines().last(), kCouldNotParse);
    log.clear();
    AutoCompleteReader::read("\xff\xfe", QStringLiteral("x"));
    EXPECT_EQ(log.lines(), QStringList{kCouldNotParse}); // no raw line for bytes that are not text
}

TEST(AutoCompleteReaderTest, CutsLongTextsInTheLog)
{
    const QString word(100, QLatin1Char('w'));
    const QByteArray longReply = '"' + QByteArray(998, 'a') + '"';
    const QByteArray exactReply = '"' + QByteArray(398, 'a') + '"';
    LogCapture log;
    AutoCompleteReader::read(longReply, QStringLiteral("x"));
    EXPECT_EQ(log.lines().first(), QStringLiteral("⌨️ [AutoComplete] Raw (1000 bytes): ") + QString::fromLatin1(longReply.left(400))
            + QStringLiteral("…"));
    log.clear();
    AutoCompleteReader::read(exactReply, QStringLiteral("x"));
    EXPECT_EQ(log.lines().first(), QStringLiteral("⌨️ [AutoComplete] Raw (400 bytes): ") + QString::fromLatin1(exactReply));
    log.clear();
    AutoCompleteReader::read(QStringLiteral(R"(["%1"])").arg(word).toUtf8(), QStringLiteral("x"));
    EXPECT_EQ(log.lines().at(1), QStringLiteral("⌨️ [AutoComplete] Using index 0: ") + word.left(80) + QStringLiteral("…"));
}

TEST(AutoCompleteReaderTest, CapitalisesEveryWord)
{
    const QList<std::pair<QString, QString>> cases{
        {QStringLiteral("sunset beach"), QStringLiteral("Sunset Beach")},
        {QStringLiteral("  DEEP sea\n"), QStringLiteral("Deep Sea")},
        {QStringLiteral("rock-n-roll"), QStringLiteral("Rock-N-Roll")},
        {QStringLiteral("it's raining"), QStringLiteral("It's Raining")},
        {QStringLiteral("émile zola"), QStringLiteral("Émile Zola")},
        {QStringLiteral("rain on glass"), QStringLiteral("Rain on Glass")},     // cased as the title it completes
        {QStringLiteral("AURORA FROM ORBIT"), QStringLiteral("Aurora from Orbit")},
        {QStringLiteral("the grain and the shadow"), QStringLiteral("The Grain and the Shadow")}, // first word always
        {QStringLiteral("worth fighting for"), QStringLiteral("Worth Fighting For")},             // last word always
        {QStringLiteral("on"), QStringLiteral("On")},
        {QStringLiteral("del\u007fete"), QStringLiteral("Delete")},                // cleaned before it is cased
        {QStringLiteral("rain\u0001 on\nglass"), QStringLiteral("Rain on Glass")},
        {QString(), QString()},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(AutoCompleteReader::capitalized(text), expected) << text.toStdString();
}
