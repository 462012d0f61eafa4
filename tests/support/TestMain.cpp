#include "engine/WallpaperImageCache.h"
#include "platform/Http.h"
#include "signalry/Signalry.h"
#include "support/FullFileSystem.h"

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <clocale>

// One QApplication per test process (offscreen under CTest), so services, timers and widgets
// work as in the application.
int main(int argc, char** argv)
{
    FullFileSystem::keepMountsPrivate();
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // libmpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    QStandardPaths::setTestModeEnabled(true);
    const int result = RUN_ALL_TESTS();
    // The image cache encodes its files on worker threads with Qt's image writers, which need the
    // application: writes that a test's poster fetches left running end before it goes.
    WallpaperImageCache::shared().waitForDiskWrites();
    // The process-wide network clients end their threads before the process does, as the
    // program's do at its quit: a thread still running at the end is reported with what it holds.
    Http::shared().shutDown();
    signalry::Signalry::terminate();
    return result;
}
