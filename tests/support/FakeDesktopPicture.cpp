#include "support/FakeDesktopPicture.h"

#include "platform/DesktopPictureError.h"

QCoro::Task<> FakeDesktopPicture::setPicture(QString imagePath, ScreenInfo screen)
{
    calls_.append({imagePath, screen.localizedName});
    if (refused_.contains(screen.localizedName))
        throw DesktopPictureError(QStringLiteral("The display “%1” refused the picture.").arg(screen.localizedName));
    co_return;
}
