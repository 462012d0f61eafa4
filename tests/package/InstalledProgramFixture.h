#pragma once

#include "ProgramFixture.h"
#include "UnpackedPackage.h"
#include "support/ReviewPicture.h"

#include <QImage>
#include <QTemporaryDir>

// The program of the unpacked package, started from there on its own display against the sample
// catalogue, with the package's data folder as the only system one, as a desktop would see it
// installed.
class InstalledProgramFixture : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        ASSERT_TRUE(package.failure().isEmpty()) << package.failure().toStdString();
        if (!display.isRunning())
            GTEST_FAIL() << "needs Xvfb (scripts/setup installs it)";
        program = package.file(QStringLiteral("usr/bin/quorvelle"));
    }

    // The test's environment for the program and for the desktop's tools alike.
    QProcessEnvironment installedEnvironment() const
    {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("PATH"), package.file(QStringLiteral("usr/bin")) + u':' + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), package.file(QStringLiteral("usr/share")));
        // No known desktop: xdg-open takes its generic road through the desktop entries.
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("X-Generic"));
        for (const char* name : {"DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "BROWSER"})
            env.remove(QString::fromLatin1(name));
        return env;
    }

    // Waits for the launch's own steps and the catalogue's first page. The installed program
    // has no update check of its own to wait for: apt updates it.
    static void waitForHome(ProgramRun& run)
    {
        ASSERT_TRUE(run.waitForLine(QStringLiteral("✅ [CategoriesSection] Loaded"))) << run.output().toStdString();
        ASSERT_TRUE(run.waitForLine(QStringLiteral("Application launched with menu bar"))) << run.output().toStdString();
    }

    ToolRun onDisplay(const QString& tool, const QStringList& arguments) const
    {
        return runTool(tool, arguments, installedEnvironment());
    }

    // The main window as the display shows it, kept beside the test program for a reviewer and
    // for the metadata.
    QImage windowPicture(const QString& name) const
    {
        const ToolRun windows = onDisplay(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--classname"), QStringLiteral("^quorvelle$")});
        const QTemporaryDir shots;
        const QString file = shots.filePath(QStringLiteral("window.png"));
        onDisplay(QStringLiteral("import"), {QStringLiteral("-window"), windows.output.section(u'\n', 0, 0).trimmed(), file});
        const QImage picture(file);
        keepReviewPicture(picture, QStringLiteral("package-screenshots"), name);
        return picture;
    }

    UnpackedPackage package;
    QString program;
};
