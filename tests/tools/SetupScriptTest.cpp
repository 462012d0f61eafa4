#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Runs scripts/setup with package tools that only record being called, ahead of the real ones.
class SetupScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"apt-get", "apt", "sudo"}) {
            const QString path = bin_.filePath(QLatin1String(tool));
            QFile script(path);
            ASSERT_TRUE(script.open(QIODevice::WriteOnly));
            script.write(QByteArray("#!/bin/sh\necho \"") + tool + " $*\" >> " + calls().toUtf8() + "\nexit 0\n");
            script.close();
            script.setPermissions(QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
        }
    }

    QString calls() const { return bin_.filePath(QStringLiteral("calls.log")); }

    QString runSetup()
    {
        QProcess setup;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), bin_.path() + u':' + env.value(QStringLiteral("PATH")));
        setup.setProcessEnvironment(env);
        setup.setProcessChannelMode(QProcess::MergedChannels);
        setup.start(TestPaths::sourceFile(QStringLiteral("scripts/setup")), {});
        EXPECT_TRUE(setup.waitForFinished(120000));
        EXPECT_EQ(setup.exitCode(), 0);
        return QString::fromUtf8(setup.readAll());
    }

    QTemporaryDir bin_;
};

// The test machine is set up by the same script, so a second run finds everything and must not
// reach for apt (a virtual package name is never reported installed and would, every run).
TEST_F(SetupScriptTest, CompleteSystemRunsNoPackageTool)
{
    runSetup();
    QFile::remove(calls());
    for (int run = 0; run < 2; ++run) {
        const QString output = runSetup();
        EXPECT_TRUE(output.contains(QStringLiteral("packages present"))) << output.toStdString();
    }
    EXPECT_FALSE(QFile::exists(calls())) << "package tool called on a complete system";
}

} // namespace
