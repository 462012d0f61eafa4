#include "LogLines.h"

#include "signalry/DefaultsSuite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace signalry;

namespace {

class DefaultsSuiteTest : public ::testing::Test {
protected:
    std::unique_ptr<DefaultsSuite> open() { return std::make_unique<DefaultsSuite>(path, logLines.handler()); }

    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("config/com.signalry.test.json"));
    LogLines logLines;
};

TEST_F(DefaultsSuiteTest, ValuesKeepTheirTypesAcrossLaunches)
{
    {
        auto suite = open();
        suite->setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-02"));
        suite->setInteger(QStringLiteral("deletedSessionsCount"), 9'007'199'254'740'993);
        suite->setStringList(QStringLiteral("distinctDaysUsed"), {QStringLiteral("2025-03-01"), QStringLiteral("2025-03-02")});
        suite->setData(QStringLiteral("lastTrial"), QByteArray("{\"productID\":\"x\"}\x00\xff", 20));
        suite->setString(QStringLiteral("gone"), QStringLiteral("soon"));
        suite->remove(QStringLiteral("gone"));
    }
    const auto reopened = open();
    EXPECT_EQ(reopened->string(QStringLiteral("firstSessionDate")), QStringLiteral("2025-03-02"));
    EXPECT_EQ(reopened->integer(QStringLiteral("deletedSessionsCount")), 9'007'199'254'740'993);
    EXPECT_EQ(reopened->stringList(QStringLiteral("distinctDaysUsed")),
              (QStringList{QStringLiteral("2025-03-01"), QStringLiteral("2025-03-02")}));
    EXPECT_EQ(reopened->data(QStringLiteral("lastTrial")), QByteArray("{\"productID\":\"x\"}\x00\xff", 20));
    EXPECT_FALSE(reopened->string(QStringLiteral("gone")));
    // A value read as the wrong type is missing, not converted.
    EXPECT_FALSE(reopened->integer(QStringLiteral("firstSessionDate")));
    EXPECT_FALSE(reopened->stringList(QStringLiteral("deletedSessionsCount")));
}

TEST_F(DefaultsSuiteTest, DamagedFileIsMovedAsideAndReplacedOnTheNextChange)
{
    QDir().mkpath(folder.filePath(QStringLiteral("config")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"firstSessionDate\": \"2025");
    file.close();

    auto suite = open();
    EXPECT_FALSE(suite->string(QStringLiteral("firstSessionDate")));
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".damaged")));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Analytics defaults file is damaged")));
    suite->setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-02"));
    suite.reset();
    EXPECT_EQ(open()->string(QStringLiteral("firstSessionDate")), QStringLiteral("2025-03-02"));
}

} // namespace
