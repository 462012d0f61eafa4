#include "library/CreatePlaylistPopupService.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(CreatePlaylistPopupServiceTest, RequestsTakeEffectLaterInOrderAndEachIsAnnounced)
{
    CreatePlaylistPopupService popup;
    QSignalSpy announced(&popup, &CreatePlaylistPopupService::isPresentedChanged);

    popup.show();
    EXPECT_FALSE(popup.isPresented()) << "the caller still sees the old value";
    popup.hide();
    popup.hide();
    QCoreApplication::processEvents();

    EXPECT_FALSE(popup.isPresented());
    ASSERT_EQ(announced.size(), 3) << "an assignment of the same value is announced too";
    EXPECT_EQ(announced.at(0).at(0).toBool(), true);
    EXPECT_EQ(announced.at(1).at(0).toBool(), false);
}

TEST(CreatePlaylistPopupServiceTest, ARequestOutlivingTheServiceIsDropped)
{
    auto popup = std::make_unique<CreatePlaylistPopupService>();
    popup->show();
    popup.reset();
    QCoreApplication::processEvents(); // must not touch the deleted service
    SUCCEED();
}
