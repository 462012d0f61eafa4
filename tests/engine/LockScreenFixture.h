#pragma once

#include "engine/AerialsFolders.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "foundation/Shared.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TempFolder.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <list>
#include <memory>

// Stands a process of the test's own in for the lock-screen extension: a copy of sleep under a
// name no other process has, so parallel test runs never end each other's processes.
class DummyExtension {
public:
    DummyExtension() : name_(QStringLiteral("QvlAerials%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')))
    {
        QFile::copy(QStringLiteral("/bin/sleep"), program());
        QFile::setPermissions(program(), QFile::ReadOwner | QFile::ExeOwner);
    }
    ~DummyExtension()
    {
        for (QProcess& process : processes_) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    const QString& name() const { return name_; }
    QString program() const { return folder_.filePath(name_); }

    // `program` with `arguments`, running until the test ends it.
    QProcess& start(const QString& program, const QStringList& arguments)
    {
        QProcess& process = processes_.emplace_back();
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted(5000)) << program.toStdString();
        return process;
    }
    QProcess& start() { return start(program(), {QStringLiteral("60")}); }

    // True once the process has gone, false when it still runs after a generous wait.
    static bool ended(QProcess& process)
    {
        return process.state() == QProcess::NotRunning || process.waitForFinished(5000);
    }

private:
    QTemporaryDir folder_;
    QString name_;
    std::list<QProcess> processes_;
};

// Every user folder in a temporary folder, the lock-screen stand-in under it, a sample
// catalogue for the stock manifest and thumbnails, and the extension service looking for this
// test's dummy extension.
class LockScreenFixture : public ::testing::Test {
protected:
    QString manifestPath() const { return folders_.manifestPath(); }
    QByteArray manifest() const { return readFile(manifestPath()); }
    void writeManifest(const QByteArray& bytes) const
    {
        QDir().mkpath(QFileInfo(manifestPath()).path());
        QFile file(manifestPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The stock manifest that the sample catalogue serves.
    static QByteArray servedStockManifest()
    {
        return readFile(TestPaths::sourceFile(QStringLiteral("tools/sample-catalogue/stock-entries.json")));
    }
    QString stockPath() const { return QStringLiteral("/assets/in-app/entries.json"); }

    TempFolder temp_;
    SampleCatalogueFixture catalogue_;
    AerialsFolders folders_{temp_.file(QStringLiteral("lockscreen"))};
    Shared<AerialsFolders>::Override foldersOverride_{folders_};
    DummyExtension extension_;
    WallpaperAerialsExtensionService restarter_{extension_.name()};
    Shared<WallpaperAerialsExtensionService>::Override restarterOverride_{restarter_};
};
