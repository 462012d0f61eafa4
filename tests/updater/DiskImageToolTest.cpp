#include "UpdatePackages.h"
#include "foundation/Shared.h"
#include "platform/DiskImageTool.h"
#include "platform/ProcessRunner.h"
#include "platform/PropertyList.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class DiskImageToolTest : public ::testing::Test {
protected:
    DiskImageToolTest()
    {
        runner_.setToolPath(QStringLiteral("quorvelle-disk-image"), QStringLiteral(QUORVELLE_DISK_IMAGE_TOOL));
        UpdatePackages::makeBundle(temp_.file(QStringLiteral("volume/Quorvelle.app")), QStringLiteral("in image"), temp_.file(QStringLiteral("m")));
        EXPECT_TRUE(UpdatePackages::diskImage(temp_.file(QStringLiteral("volume")), image_));
    }

    ProcessResult info()
    {
        return waitForTask(runner_.run(QStringLiteral("quorvelle-disk-image"), {QStringLiteral("info"), QStringLiteral("-plist")}));
    }
    // The mount points "info" lists for our image.
    QStringList attachedMountPoints()
    {
        QStringList found;
        const auto plist = PropertyList::parse(info().standardOutput);
        for (const QVariant& image : plist.value_or(QVariant()).toMap().value(QStringLiteral("images")).toList()) {
            if (image.toMap().value(QStringLiteral("image-path")).toString() != image_)
                continue;
            for (const QVariant& entity : image.toMap().value(QStringLiteral("system-entities")).toList())
                found << entity.toMap().value(QStringLiteral("mount-point")).toString();
        }
        return found;
    }

    TempFolder temp_;
    ProcessRunner runner_;
    Shared<ProcessRunner>::Override runnerOverride_{runner_};
    QString image_ = temp_.file(QStringLiteral("Quorvelle.dmg"));
};

TEST_F(DiskImageToolTest, AttachesListsAndDetaches)
{
    const ProcessResult attached = waitForTask(DiskImageTool::attach(image_, temp_.file(QStringLiteral("mounts"))));
    ASSERT_TRUE(attached.succeeded()) << attached.standardError.toStdString();
    const auto mountPoint = DiskImageTool::mountPointFrom(attached.standardOutput);
    ASSERT_TRUE(mountPoint);
    EXPECT_TRUE(mountPoint->startsWith(temp_.file(QStringLiteral("mounts/"))));
    EXPECT_EQ(UpdatePackages::labelOf(*mountPoint + QStringLiteral("/Quorvelle.app")), u"in image");
    EXPECT_EQ(attachedMountPoints(), QStringList{*mountPoint});

    EXPECT_TRUE(waitForTask(DiskImageTool::detach(*mountPoint)).succeeded());
    EXPECT_FALSE(QFileInfo::exists(*mountPoint));
    EXPECT_TRUE(attachedMountPoints().isEmpty());
}

TEST_F(DiskImageToolTest, RemovesOnlyFoldersItAttached)
{
    const QString folder = temp_.file(QStringLiteral("volume"));
    const ProcessResult refused = waitForTask(DiskImageTool::detach(folder));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/Quorvelle.app/bin/quorvelle")).isFile());
}

TEST_F(DiskImageToolTest, AFileThatIsNoImageLeavesNoMountFolder)
{
    const QString notAnImage = temp_.file(QStringLiteral("volume/Quorvelle.app/bin/quorvelle"));
    const ProcessResult attached = waitForTask(DiskImageTool::attach(notAnImage, temp_.file(QStringLiteral("mounts"))));
    EXPECT_EQ(attached.exitCode, 1);
    EXPECT_TRUE(QDir(temp_.file(QStringLiteral("mounts"))).isEmpty());
}

TEST(PropertyListTest, ReadsNestedValuesAndRefusesMalformedOnes)
{
    const auto plist = PropertyList::parse(R"(<?xml version="1.0"?><plist version="1.0"><dict>
        <key>a</key><array><string>x</string><integer>-4</integer><true/><real>1.5</real></array>
        <key>b</key><dict/></dict></plist>)");
    ASSERT_TRUE(plist);
    const QVariantList list = plist->toMap().value(QStringLiteral("a")).toList();
    EXPECT_EQ(list, (QVariantList{QStringLiteral("x"), qint64(-4), true, 1.5}));
    EXPECT_EQ(plist->toMap().value(QStringLiteral("b")), QVariant(QVariantMap()));

    EXPECT_FALSE(PropertyList::parse("<plist><dict><key>a</key></dict></plist>"));
    EXPECT_FALSE(PropertyList::parse("<plist><dict><string>no key</string></dict></plist>"));
    EXPECT_FALSE(PropertyList::parse("<plist><integer>twelve</integer></plist>"));
    EXPECT_FALSE(PropertyList::parse("<plist><string>a</string><string>b</string></plist>"));
    EXPECT_FALSE(PropertyList::parse("<plist><array><string>open"));
    EXPECT_FALSE(PropertyList::parse("not xml"));
    EXPECT_FALSE(DiskImageTool::mountPointFrom("<plist><dict><key>system-entities</key><array/></dict></plist>"));
}

} // namespace
