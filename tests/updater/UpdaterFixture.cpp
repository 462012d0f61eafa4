#include "UpdaterFixture.h"

#include "UpdatePackages.h"
#include "updater/UpdaterFolders.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {
samplecatalogue::SampleCatalogue::Options servingFrom(const QString& folder)
{
    auto options = SampleCatalogueFixture::testOptions();
    options.updatesFolder = folder;
    return options;
}

QString ensured(const QString& folder)
{
    QDir().mkpath(folder);
    return folder;
}
} // namespace

UpdaterFixture::UpdaterFixture()
    : served_(ensured(temp_.file(QStringLiteral("served"))))
    , catalogue_(servingFrom(served_))
{
    QDir().mkpath(temp_.file(QStringLiteral("work")));
    runner_.setToolPath(QStringLiteral("quorvelle-disk-image"), QStringLiteral(QUORVELLE_DISK_IMAGE_TOOL));
    UpdatePackages::makeBundle(installedBundle(), QStringLiteral("old"), marker());

    environment_.runningBundle.path = installedBundle();
    environment_.runningBundle.shortVersion = QStringLiteral("1.2");
    environment_.runningBundle.build = QStringLiteral("7");
    environment_.applicationsFolder = applications();
    environment_.delays = delays_.delays();
    environment_.terminate = [this] { ++terminations_; };
}

UpdateCheckService& UpdaterFixture::service()
{
    if (!service_)
        service_ = std::make_unique<UpdateCheckService>(catalogue_.config().updateFeedUrl, environment_);
    return *service_;
}

void UpdaterFixture::serveFeed(const QString& version, const QString& package)
{
    serveFeedText(QByteArray(R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="https://127.0.0.1/xml-namespaces/updates">
  <channel>
    <item>
      <title>Quorvelle</title>
      <enclosure url="{base_url}/updates/)") + package.toUtf8() + R"(" sparkle:version="42" sparkle:shortVersionString=")"
        + version.toUtf8() + R"(" type="application/octet-stream"/>
    </item>
  </channel>
</rss>
)");
}

void UpdaterFixture::serveFeedText(const QByteArray& feed)
{
    QFile file(served_ + QStringLiteral("/appcast.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(feed);
}

QString UpdaterFixture::buildPackage(const QString& kind, const QString& fileName, const QString& label,
    const QString& bundleName)
{
    const QString volume = temp_.file(QStringLiteral("build-") + fileName);
    const QString bundle = volume + u'/' + bundleName;
    UpdatePackages::makeBundle(bundle, label, marker());
    const QString package = work(fileName);
    bool built = false;
    if (kind == u"dmg")
        built = UpdatePackages::diskImage(volume, package);
    else if (kind == u"zip")
        built = UpdatePackages::zip(volume, {bundleName}, package);
    else
        built = UpdatePackages::packedBundle(bundle, package);
    EXPECT_TRUE(built) << "could not build " << fileName.toStdString();
    return package;
}

void UpdaterFixture::servePackage(const QString& kind, const QString& fileName, const QString& label,
    const QString& bundleName)
{
    const QString package = buildPackage(kind, fileName, label, bundleName);
    ASSERT_TRUE(QFile::rename(package, served_ + u'/' + fileName));
}

void UpdaterFixture::recordShell()
{
    const QString shell = temp_.file(QStringLiteral("recording-shell"));
    QFile file(shell);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + temp_.file(QStringLiteral("shell-arguments")).toUtf8() + "'\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    runner_.setToolPath(QStringLiteral("bash"), shell);
}

QStringList UpdaterFixture::shellArguments(int waitMs) const
{
    const QString recorded = temp_.file(QStringLiteral("shell-arguments"));
    // An empty list tells the caller the shell never ran.
    static_cast<void>(QTest::qWaitFor([&] { return QFileInfo(recorded).size() > 0; }, waitMs));
    QFile file(recorded);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

QString UpdaterFixture::waitForProgram(int waitMs) const
{
    // An empty label tells the caller the program never ran.
    static_cast<void>(QTest::qWaitFor([&] { return QFileInfo(marker()).size() > 0; }, waitMs));
    QFile file(marker());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList UpdaterFixture::leftovers() const
{
    QStringList found;
    for (const QString& name : QDir(applications()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (name != u"Quorvelle.app")
            found << name;
    }
    const QDir work(UpdaterFolders::workFolder());
    for (const QString& name : work.entryList({QStringLiteral("volume-*"), QStringLiteral("QuorvelleUpdateExtract")},
             QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        found << name;
    return found;
}
