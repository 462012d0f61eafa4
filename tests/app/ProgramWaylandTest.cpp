#include "ProgramFixture.h"
#include "support/HeadlessSway.h"

#include "app/ShellDefaults.h"

#include <gtest/gtest.h>

namespace {

const QString kLoss = QStringLiteral("Lost the connection to the Wayland compositor");

class ProgramWaylandTest : public ProgramFixture {};

// The real program on a headless sway: the compositor going away (a crash, a logout) ends it
// through its orderly quit, its settings written, with one line and exit code 1, whichever of
// its two connections notices first.
TEST_F(ProgramWaylandTest, LosingTheCompositorEndsTheProgramWithItsSettingsWritten)
{
    HeadlessSway sway;
    if (!sway.isRunning())
        GTEST_SKIP() << sway.failure().toStdString();
    QProcessEnvironment environment = this->environment();
    const QProcessEnvironment swayEnvironment = sway.environment();
    for (const QString& name : {QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("SWAYSOCK"), QStringLiteral("ASAN_OPTIONS"), QStringLiteral("LSAN_OPTIONS")})
        environment.insert(name, swayEnvironment.value(name));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));

    ProgramRun program(environment);
    waitForLaunch(program);
    sway.stop();
    EXPECT_EQ(program.waitForExit(), 1) << program.output().toStdString();
    EXPECT_EQ(program.countOf(kLoss), 1) << program.output().toStdString();
    // The launch set it, and the end of a run clears it.
    EXPECT_FALSE(savedDefaults()->boolean(ShellDefaults::hasShownWindowThisSession)) << "the end's settings were not written";
}

} // namespace
