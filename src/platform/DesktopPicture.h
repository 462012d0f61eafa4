#pragma once

#include "platform/ScreenInfo.h"

#include <QCoro/QCoroTask>
#include <QString>

// The still picture behind each display's desktop. The Linux implementation is
// LinuxDesktopPicture; tests install FakeDesktopPicture with Shared<DesktopPicture>::Override.
// Used from the GUI thread.
class DesktopPicture {
public:
    virtual ~DesktopPicture() = default;

    static DesktopPicture& shared();

    // Shows the image file as the desktop picture of `screen`. Throws DesktopPictureError.
    virtual QCoro::Task<> setPicture(QString imagePath, ScreenInfo screen) = 0;
};
