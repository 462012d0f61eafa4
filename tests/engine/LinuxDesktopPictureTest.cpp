#include "support/TaskWait.h"
#include "foundation/CancelledError.h"
#include "platform/DesktopPictureError.h"
#include "platform/LinuxDesktopPicture.h"
#include "platform/ProcessRunner.h"
#include "platform/RecordedDesktopPicture.h"
#include "support/FakeScreens.h"
#include "support/Eventually.h"
#include "support/TempFolder.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Tool = LinuxDesktopPicture::Tool;

// Desktop tools stood in for by shell scripts that log their arguments, one run per line.
class LinuxDesktopPictureTest : public ::testing::Test {
protected:
    void installTool(const QString& name, const QString& body = {})
    {
        const QString path = temp_.file(name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho \"$*\" >> '%1'\n%2\n").arg(runLog(), body).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        runner_.setToolPath(name, path);
    }
    QString runLog() const { return temp_.file(QStringLiteral("runs.txt")); }
    QStringList runs() const
    {
        QFile file(runLog());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    LinuxDesktopPicture desktop(const QString& currentDesktop) { return {currentDesktop, runner_, recordFile()}; }
    QString recordFile() const { return temp_.file(QStringLiteral("support/desktop-pictures.json")); }

    TempFolder temp_;
    ProcessRunner runner_;
    const ScreenInfo left_ = FakeScreens::display(QStringLiteral("Left"), QRect(0, 0, 1920, 1080));
    const ScreenInfo right_ = FakeScreens::display(QStringLiteral("Right"), QRect(1920, 0, 1920, 1080));
};

TEST_F(LinuxDesktopPictureTest, TheSessionsDesktopChoosesTheTool)
{
    struct Case {
        QString desktop;
        Tool tool;
    };
    for (const Case& c : {Case{QStringLiteral("GNOME"), Tool::gsettings}, Case{QStringLiteral("ubuntu:GNOME"), Tool::gsettings},
             Case{QStringLiteral("Unity"), Tool::gsettings}, Case{QStringLiteral("KDE"), Tool::plasma},
             Case{QStringLiteral("XFCE"), Tool::xfconf}, Case{QStringLiteral("X-Cinnamon"), Tool::none},
             Case{QString(), Tool::none}}) {
        SCOPED_TRACE(qPrintable(c.desktop));
        EXPECT_EQ(LinuxDesktopPicture::toolForDesktop(c.desktop), c.tool);
    }
}

TEST_F(LinuxDesktopPictureTest, GnomeGetsThePictureForBothStyles)
{
    installTool(QStringLiteral("gsettings"));
    waitForTask(desktop(QStringLiteral("ubuntu:GNOME")).setPicture(QStringLiteral("/tmp/a b.jpg"), left_));
    EXPECT_EQ(runs(), (QStringList{
        QStringLiteral("set org.gnome.desktop.background picture-uri file:///tmp/a%20b.jpg"),
        QStringLiteral("set org.gnome.desktop.background picture-uri-dark file:///tmp/a%20b.jpg"),
    }));
}

TEST_F(LinuxDesktopPictureTest, PlasmaAndXfceGetThePictureThroughTheirTools)
{
    installTool(QStringLiteral("plasma-apply-wallpaperimage"));
    waitForTask(desktop(QStringLiteral("KDE")).setPicture(QStringLiteral("/tmp/p.jpg"), left_));
    EXPECT_EQ(runs(), QStringList{QStringLiteral("/tmp/p.jpg")});

    QFile::remove(runLog());
    installTool(QStringLiteral("xfconf-query"), QStringLiteral(
        "[ \"$3\" = -l ] && printf '/backdrop/screen0/monitorHDMI-1/workspace0/last-image\\n/backdrop/screen0/monitorHDMI-1/workspace0/image-style\\n"
        "/backdrop/screen0/monitoreDP-1/workspace0/last-image\\n'; exit 0"));
    waitForTask(desktop(QStringLiteral("XFCE")).setPicture(QStringLiteral("/tmp/p.jpg"), left_));
    EXPECT_EQ(runs(), (QStringList{
        QStringLiteral("-c xfce4-desktop -l"),
        QStringLiteral("-c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/last-image -s /tmp/p.jpg"),
        QStringLiteral("-c xfce4-desktop -p /backdrop/screen0/monitoreDP-1/workspace0/last-image -s /tmp/p.jpg"),
    }));
}

TEST_F(LinuxDesktopPictureTest, AFailingToolIsAnErrorWithItsOwnWords)
{
    installTool(QStringLiteral("gsettings"), QStringLiteral("echo 'No such schema' >&2; exit 1"));
    try {
        waitForTask(desktop(QStringLiteral("GNOME")).setPicture(QStringLiteral("/tmp/p.jpg"), left_));
        ADD_FAILURE() << "no error";
    } catch (const DesktopPictureError& error) {
        EXPECT_EQ(error.localizedDescription(), QStringLiteral("“gsettings” exited with status 1: No such schema"));
    }
}

// A picture let go while its tool runs: the setting ends there, stopped, and runs nothing more.
TEST_F(LinuxDesktopPictureTest, APictureLetGoWhileItsToolRunsEndsWithoutTheNextRun)
{
    struct Case {
        QString desktop;
        QString tool;
        QString firstRun;
        QString output;
    };
    const Case cases[] = {
        {QStringLiteral("GNOME"), QStringLiteral("gsettings"),
            QStringLiteral("set org.gnome.desktop.background picture-uri file:///tmp/p.jpg"), QString()},
        {QStringLiteral("XFCE"), QStringLiteral("xfconf-query"), QStringLiteral("-c xfce4-desktop -l"),
            QStringLiteral("/backdrop/screen0/monitorHDMI-1/workspace0/last-image")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.desktop));
        QFile::remove(runLog());
        const QString go = temp_.file(QStringLiteral("go"));
        QFile::remove(go);
        // The tool holds its answer until the test lets it go.
        installTool(c.tool, QStringLiteral("while [ ! -e '%1' ]; do sleep 0.02; done; echo '%2'").arg(go, c.output));
        auto picture = std::make_unique<LinuxDesktopPicture>(c.desktop, runner_, recordFile());
        QCoro::Task<> setting = picture->setPicture(QStringLiteral("/tmp/p.jpg"), left_);
        ASSERT_EVENTUALLY(runs().size() == 1, 10'000);
        picture.reset();
        ASSERT_TRUE(QFile(go).open(QIODevice::WriteOnly));
        EXPECT_THROW(waitForTask(std::move(setting)), CancelledError);
        EXPECT_EQ(runs(), QStringList{c.firstRun});
    }
}

TEST_F(LinuxDesktopPictureTest, WithoutADesktopToolThePictureIsRecordedPerDisplay)
{
    // KDE without its tool installed, and a desktop we have no tool for.
    for (const QString& session : {QStringLiteral("KDE"), QStringLiteral("LXQt")}) {
        SCOPED_TRACE(qPrintable(session));
        LinuxDesktopPicture picture = desktop(session);
        EXPECT_EQ(picture.tool(), Tool::none);
        waitForTask(picture.setPicture(QStringLiteral("/tmp/left.jpg"), left_));
        waitForTask(picture.setPicture(QStringLiteral("/tmp/right.jpg"), right_));
        const RecordedDesktopPicture record(recordFile());
        EXPECT_EQ(record.picture(left_), QStringLiteral("/tmp/left.jpg"));
        EXPECT_EQ(record.picture(right_), QStringLiteral("/tmp/right.jpg"));
    }
    EXPECT_TRUE(runs().isEmpty());
}

TEST_F(LinuxDesktopPictureTest, ADamagedRecordIsKeptAsideOnceWithTheDisplaysThatStillRead)
{
    const QByteArray left = "\"" + QByteArray::number(left_.displayId) + R"(": {"name": "Left", "picture": "/tmp/l.jpg"})";
    struct Case {
        const char* what;
        QByteArray content;
        bool leftKept;
    };
    const Case cases[] = {
        {"not JSON", "{ not json", false},
        {"cut short", "{" + left + R"(, "99": {"name": "Gone", "pic)", true},
        {"garbled", "{" + left + R"(, "99": {"name" "Gone"}})", true},
    };
    const QString folder = QFileInfo(recordFile()).absolutePath();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        QFile file(recordFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content);
        file.close();

        RecordedDesktopPicture record(recordFile());
        EXPECT_EQ(record.picture(left_).has_value(), c.leftKept);
        record.record(QStringLiteral("/tmp/r.jpg"), right_);
        record.record(QStringLiteral("/tmp/r2.jpg"), right_);
        EXPECT_EQ(record.picture(right_), QStringLiteral("/tmp/r2.jpg"));
        EXPECT_EQ(record.picture(left_).has_value(), c.leftKept);

        const QStringList aside = QDir(folder).entryList({QStringLiteral("desktop-pictures.json.damaged-*")});
        ASSERT_EQ(aside.size(), 1);
        QFile copy(folder + u'/' + aside.first());
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), c.content);
    }
}

} // namespace
