#include "signalry/LogHandler.h"
#include "signalry/Parameters.h"
#include "signalry/SignalPostBody.h"
#include "signalry/Sha256Hex.h"
#include "signalry/SignalryManagerConfiguration.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace signalry;

namespace {

TEST(LogHandlerTest, PassesOnlyLevelsAtOrAboveItsOwn)
{
    QStringList passed;
    const LogHandler handler(LogHandler::LogLevel::Error, [&](LogHandler::LogLevel, const QString& message) { passed << message; });
    handler.log(LogHandler::LogLevel::Error, QStringLiteral("Error saving Signalry cache"));
    handler.log(LogHandler::LogLevel::Info, QStringLiteral("Saved Signalry cache 2 bytes of 0 signals"));
    EXPECT_EQ(passed, QStringList{QStringLiteral("Error saving Signalry cache")});

    EXPECT_EQ(LogHandler::levelFromRawValue(1), LogHandler::LogLevel::Info);
    EXPECT_FALSE(LogHandler::levelFromRawValue(3));
    EXPECT_FALSE(LogHandler::levelFromRawValue(-1));
}

TEST(Sha256HexTest, SaltIsAppendedBeforeHashing)
{
    EXPECT_EQ(sha256Hex(QStringLiteral("abc")), QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_EQ(sha256Hex(QStringLiteral("user"), QStringLiteral("salt")), sha256Hex(QStringLiteral("usersalt")));
    EXPECT_NE(sha256Hex(QStringLiteral("user"), QStringLiteral("a")), sha256Hex(QStringLiteral("user"), QStringLiteral("b")));
}

TEST(ParametersTest, PrefixSparesOnlyExactSignalryKeys)
{
    SignalryManagerConfiguration configuration(QStringLiteral("app"));
    const Parameters input{{QStringLiteral("color"), QStringLiteral("red")},
                           {QStringLiteral("Signalry.Device.platform"), QStringLiteral("x")},
                           {QStringLiteral("signalry.lower"), QStringLiteral("y")}};
    EXPECT_EQ(prefixedParameters(input, configuration), input);

    configuration.setDefaultParameterPrefix(QStringLiteral("My."));
    const Parameters expected{{QStringLiteral("My.color"), QStringLiteral("red")},
                              {QStringLiteral("Signalry.Device.platform"), QStringLiteral("x")},
                              {QStringLiteral("My.signalry.lower"), QStringLiteral("y")}};
    EXPECT_EQ(prefixedParameters(input, configuration), expected);
}

TEST(ParametersTest, DecimalTextIsShortestAndKeepsAFraction)
{
    EXPECT_EQ(decimalText(2.0), QStringLiteral("2.0"));
    EXPECT_EQ(decimalText(1.234), QStringLiteral("1.234"));
    EXPECT_EQ(decimalText(1117), QStringLiteral("1117.0"));
    EXPECT_EQ(decimalText(0.1 + 0.2), QStringLiteral("0.30000000000000004"));
}

class SignalPostBodyTest : public ::testing::Test {
protected:
    SignalPostBody body{QDateTime(QDate(2025, 3, 2), QTime(12, 0, 0, 250), Qt::UTC),
                        QStringLiteral("app"),
                        QStringLiteral("user"),
                        QStringLiteral("SESSION"),
                        QStringLiteral("Opened"),
                        std::nullopt,
                        {{QStringLiteral("key"), QStringLiteral("value")}},
                        QStringLiteral("false")};
};

TEST_F(SignalPostBodyTest, WireFormWritesGmtDateTextAndLeavesOutAMissingFloat)
{
    const QJsonObject wire = QJsonDocument::fromJson(body.toWireJson()).object();
    EXPECT_EQ(wire.value(QStringLiteral("receivedAt")).toString(), QStringLiteral("2025-03-02T12:00:00+0000"));
    EXPECT_FALSE(wire.contains(QStringLiteral("floatValue")));
    EXPECT_EQ(wire.value(QStringLiteral("payload")).toObject().value(QStringLiteral("key")).toString(), QStringLiteral("value"));

    body.floatValue = 2.5;
    EXPECT_EQ(QJsonDocument::fromJson(body.toWireJson()).object().value(QStringLiteral("floatValue")).toDouble(), 2.5);
    body.floatValue = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(QJsonDocument::fromJson(body.toWireJson()).object().contains(QStringLiteral("floatValue")));

    // Text that needs escaping survives the hand-written encoder.
    body.payload.insert(QStringLiteral("quote \"\\ é 😀"), QStringLiteral("line\nbreak\ttab\u0001"));
    const QJsonDocument batch = QJsonDocument::fromJson(SignalPostBody::encodeWireBatch({body, body}));
    ASSERT_TRUE(batch.isArray());
    EXPECT_EQ(batch.array().size(), 2);
    EXPECT_EQ(batch.array()[1].toObject().value(QStringLiteral("payload")).toObject().value(QStringLiteral("quote \"\\ é 😀")).toString(),
              QStringLiteral("line\nbreak\ttab\u0001"));
}

TEST_F(SignalPostBodyTest, CacheFormRoundTripsWithReferenceDateSeconds)
{
    body.floatValue = 1.5;
    const QJsonObject cached = QJsonDocument::fromJson(body.toCacheJson()).object();
    EXPECT_DOUBLE_EQ(cached.value(QStringLiteral("receivedAt")).toDouble(), 762'609'600.25);
    EXPECT_EQ(SignalPostBody::fromCacheJson(cached), body);

    QJsonObject damaged = cached;
    damaged.insert(QStringLiteral("payload"), QJsonObject{{QStringLiteral("n"), 3}});
    EXPECT_FALSE(SignalPostBody::fromCacheJson(damaged));
    damaged = cached;
    damaged.remove(QStringLiteral("type"));
    EXPECT_FALSE(SignalPostBody::fromCacheJson(damaged));
}

} // namespace
