#include "LockScreenFixture.h"
#include "engine/ExtensionRestartError.h"
#include "support/TaskWait.h"
#include "foundation/Log.h"
#include "platform/ProcessRunner.h"

#include <csignal>
#include <utility>

namespace {

using ProcessIds = QList<qint32>;

class WallpaperAerialsExtensionServiceTest : public LockScreenFixture {
protected:
    ~WallpaperAerialsExtensionServiceTest() override { ProcessRunner::shared().setToolPath(QStringLiteral("pgrep"), {}); }

    // The search tool replaced by a script that prints `output`.
    void fakeSearchOutput(const QByteArray& output)
    {
        const QString script = temp_.file(QStringLiteral("pgrep"));
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '" + output + "'\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        ProcessRunner::shared().setToolPath(QStringLiteral("pgrep"), script);
    }
};

TEST_F(WallpaperAerialsExtensionServiceTest, EndsEveryProcessOfThatExactNameAndNothingElse)
{
    QProcess& first = extension_.start();
    QProcess& second = extension_.start();
    // A longer name, and a command line that only mentions the name.
    const QString longer = extension_.program() + QStringLiteral("Helper");
    QFile::copy(extension_.program(), longer);
    QProcess& helper = extension_.start(longer, {QStringLiteral("60")});
    QProcess& mention = extension_.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("read line"), extension_.name()});

    EXPECT_EQ(waitForTask(restarter_.findProcessIDs()), (ProcessIds{qint32(first.processId()), qint32(second.processId())}));
    waitForTask(restarter_.restartExtension());
    EXPECT_TRUE(DummyExtension::ended(first));
    EXPECT_TRUE(DummyExtension::ended(second));
    EXPECT_EQ(helper.state(), QProcess::Running);
    EXPECT_EQ(mention.state(), QProcess::Running);
}

TEST_F(WallpaperAerialsExtensionServiceTest, NoProcessRunningIsNoFailure)
{
    LogCapture log;
    waitForTask(restarter_.restartExtension());
    EXPECT_TRUE(log.contains(QStringLiteral("ℹ️ [WallpaperAerialsExtensionService] No ") + extension_.name()
        + QStringLiteral(" process running, nothing to restart")));
}

TEST_F(WallpaperAerialsExtensionServiceTest, ReadsOneProcessIdPerLine)
{
    EXPECT_EQ(WallpaperAerialsExtensionService::parseProcessIDs(" 12 \n\tabc\n+13\r\n\n 2147483648\n7x\n"), (ProcessIds{12, 13}));
    // 0 and negative numbers would signal whole process groups.
    EXPECT_EQ(WallpaperAerialsExtensionService::parseProcessIDs("-1\n0\n-42\n5"), (ProcessIds{5}));
    EXPECT_EQ(WallpaperAerialsExtensionService::parseProcessIDs("12\n\xff\xfe"), ProcessIds());
    EXPECT_EQ(WallpaperAerialsExtensionService::parseProcessIDs(" \n\t"), ProcessIds());
}

TEST_F(WallpaperAerialsExtensionServiceTest, AGoneProcessCountsAsEndedAndAStuckOneFailsAfterTheOthers)
{
    fakeSearchOutput("101\\n102\\n103\\n");
    QList<std::pair<qint32, int>> sent;
    restarter_.setSignalSender([&sent](qint32 id, int signal) {
        sent.append({id, signal});
        return id == 101 ? ESRCH : id == 102 ? EPERM : 0;
    });
    try {
        waitForTask(restarter_.restartExtension());
        ADD_FAILURE() << "no error";
    } catch (const ExtensionRestartError& error) {
        EXPECT_EQ(error.kind(), ExtensionRestartError::Kind::killFailed);
        EXPECT_EQ(error.localizedDescription(), QStringLiteral("Failed to restart extension: Failed to kill process 102: "
                                                               "Failed to restart extension: Failed to kill process 102: errno %1")
                                                    .arg(EPERM));
    }
    const QList<std::pair<qint32, int>> expected{{101, SIGTERM}, {102, SIGTERM}, {102, SIGKILL}, {103, SIGTERM}};
    EXPECT_EQ(sent, expected);
}

} // namespace
