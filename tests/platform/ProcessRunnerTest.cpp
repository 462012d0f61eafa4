#include "platform/ProcessRunner.h"
#include "support/TestHttpsServer.h"

#include <QCoro/QCoroTask>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

class ProcessRunnerTest : public ::testing::Test {
protected:
    ProcessResult bash(const QString& script, int timeoutMs = ProcessRunner::kDefaultTimeoutMs, QByteArray input = {})
    {
        return QCoro::waitFor(runner_.run(QStringLiteral("bash"), {QStringLiteral("-c"), script}, timeoutMs, std::move(input)));
    }

    ProcessRunner runner_;
};

TEST_F(ProcessRunnerTest, ReportsExitCodeAndBothOutputs)
{
    const ProcessResult result = bash(QStringLiteral("echo out; echo err >&2; exit 3"));
    EXPECT_TRUE(result.exitedNormally()) << result.errorMessage.toStdString();
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.standardOutput, "out\n");
    EXPECT_EQ(result.standardError, "err\n");
}

TEST_F(ProcessRunnerTest, FeedsTheInputToTheTool)
{
    const ProcessResult result = bash(QStringLiteral("tr a-z A-Z"), ProcessRunner::kDefaultTimeoutMs, "piped in");
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.standardOutput, "PIPED IN");
}

TEST_F(ProcessRunnerTest, KillsAToolThatRunsPastItsTimeOut)
{
    const ProcessResult result = bash(QStringLiteral("echo started; exec sleep 30"), 300);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.exitedNormally());
    EXPECT_EQ(result.standardOutput, "started\n");
}

TEST_F(ProcessRunnerTest, ReportsACrash)
{
    const ProcessResult result = bash(QStringLiteral("kill -SEGV $$"));
    EXPECT_TRUE(result.crashed) << result.errorMessage.toStdString();
    EXPECT_FALSE(result.exitedNormally());
}

TEST_F(ProcessRunnerTest, AMissingOrBrokenToolFailsToStartWithAMessage)
{
    const ProcessResult missing = QCoro::waitFor(runner_.run(QStringLiteral("quorvelle-no-such-tool"), {}));
    EXPECT_TRUE(missing.failedToStart);
    EXPECT_TRUE(missing.errorMessage.contains(QStringLiteral("quorvelle-no-such-tool")));

    // A file that exists but cannot be executed fails at exec, not at the lookup.
    runner_.setToolPath(QStringLiteral("broken"), TestHttpsServer::certificateFile());
    const ProcessResult broken = QCoro::waitFor(runner_.run(QStringLiteral("broken"), {}));
    EXPECT_TRUE(broken.failedToStart);
    EXPECT_FALSE(broken.errorMessage.isEmpty());
}

TEST_F(ProcessRunnerTest, ToolPathsCanBeRedirected)
{
    runner_.setToolPath(QStringLiteral("ffmpeg"), QStandardPaths::findExecutable(QStringLiteral("echo")));
    const ProcessResult result = QCoro::waitFor(runner_.run(QStringLiteral("ffmpeg"), {QStringLiteral("-version")}));
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.standardOutput, "-version\n");

    runner_.setToolPath(QStringLiteral("ffmpeg"), QString());
    EXPECT_EQ(runner_.toolPath(QStringLiteral("ffmpeg")), QStandardPaths::findExecutable(QStringLiteral("ffmpeg")));
}

} // namespace
