#pragma once

#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/LockScreenService.h"
#include "engine/StaticWallpaperService.h"
#include "foundation/Clock.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "platform/Http.h"
#include "platform/RecordedDesktopPicture.h"
#include "platform/Screens.h"

// The services an apply reaches, installed as the shared ones while alive: in-memory stores, the
// desktop picture recorded to a file in `folder`, the backend client of the current Config, the
// lock-screen feature off and the real desktop video engine on the real displays.
struct BenchApplyServices {
    BenchApplyServices(const QString& folder, const QString& name)
        : defaults(name, UserDefaults::Storage::InMemory), loginWindow(name + QStringLiteral("-login"), UserDefaults::Storage::InMemory),
          desktop(folder + QStringLiteral("/desktop.json"))
    {
    }

    UserDefaults defaults;
    UserDefaults loginWindow;
    RecordedDesktopPicture desktop;
    Shared<DesktopPicture>::Override desktopOverride{desktop};
    APIService api{APIService::Settings::deployment(), Clock::system(), Http::shared()};
    Shared<APIService>::Override apiOverride{api};
    WallpaperCounterService counter{api};
    Shared<WallpaperCounterService>::Override counterOverride{counter};
    LockScreenService lockScreen{defaults};
    Shared<LockScreenService>::Override lockScreenOverride{lockScreen};
    HomeScreenWallpaperEngine engine{Screens::shared(), defaults};
    Shared<HomeScreenWallpaperEngine>::Override engineOverride{engine};
    StaticWallpaperService still{loginWindow};
    Shared<StaticWallpaperService>::Override stillOverride{still};
};
