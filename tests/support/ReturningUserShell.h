#pragma once

#include "foundation/Shared.h"
#include "platform/DesktopPicture.h"
#include "support/FakeDesktopPicture.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TempFolder.h"

// What the real root view needs to open straight on its pages: the user folders in a temporary
// folder, the sample catalogue, a desktop picture of the test's own, a user who has launched
// before and finished the welcome sheet (no sheet over the window), and the store loading.
class ReturningUserShell {
public:
    ReturningUserShell();

private:
    TempFolder folder_;
    SampleCatalogueFixture catalogue_;
    FakeDesktopPicture desktop_;
    Shared<DesktopPicture>::Override desktopOverride_{desktop_};
};
