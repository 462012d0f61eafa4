#include "foundation/SettingsOpener.h"
#include "foundation/UserDefaults.h"
#include "screens/settings/LinkText.h"
#include "screens/settings/StoredStateNotice.h"
#include "support/Eventually.h"
#include "support/ReviewPicture.h"
#include "support/SettingsReadFault.h"
#include "support/TempFolder.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

namespace {

// The notice as the settings column shows it: 300 wide, on the page's dark background.
struct Column {
    QWidget window;
    StoredStateNotice* notice;

    explicit Column(UserDefaults& defaults)
    {
        window.setAutoFillBackground(true);
        QPalette dark = window.palette();
        dark.setColor(QPalette::Window, QColor(0x16, 0x16, 0x1a));
        window.setPalette(dark);
        auto* lines = new QVBoxLayout(&window);
        lines->setContentsMargins(20, 20, 20, 20);
        notice = new StoredStateNotice(defaults);
        lines->addWidget(notice);
        lines->addStretch(1);
        window.setFixedWidth(340);
        window.resize(340, 220);
        window.show();
    }
    QString text() const { return notice->findChild<QLabel*>()->text(); }
    LinkText* dismiss() const { return notice->findChild<LinkText*>(); }
};

// A damaged copy kept is told until the user dismisses it; settings that cannot be opened are told
// while that lasts and no longer once they open. Nothing is shown when all is well.
TEST(StoredStateNoticeTest, TellsWhileItMattersAndUntilDismissed)
{
    TempFolder temp;
    {
        UserDefaults sound;
        Column column(sound);
        EXPECT_FALSE(column.notice->isVisible()) << "all is well";
        sound.setString(SettingsOpener::kDamagedCopyKey, temp.file(QStringLiteral("config/Quorvelle/standard.sqlite3.damaged-20261209-101500")));
    }
    {
        UserDefaults damaged;
        Column column(damaged);
        ASSERT_TRUE(column.notice->isVisible());
        EXPECT_TRUE(column.text().contains(QStringLiteral("standard.sqlite3.damaged-20261209-101500")));
        ASSERT_TRUE(column.dismiss()->isVisible());
        keepReviewPicture(column.window.grab().toImage(), QStringLiteral("stored-state"), QStringLiteral("damaged-copy-kept"));
        QTest::mouseClick(column.dismiss(), Qt::LeftButton, {}, column.dismiss()->rect().center());
        EXPECT_FALSE(column.notice->isVisible());
    }
    EXPECT_TRUE(UserDefaults().notice().isEmpty()) << "dismissed for good";

    std::optional<SettingsReadFault> fault(EIO);
    UserDefaults unopened;
    Column column(unopened);
    ASSERT_TRUE(column.notice->isVisible());
    EXPECT_TRUE(column.text().contains(QStringLiteral("Input/output error")));
    EXPECT_FALSE(column.dismiss()->isVisible()) << "told while it lasts, not dismissed";
    keepReviewPicture(column.window.grab().toImage(), QStringLiteral("stored-state"), QStringLiteral("settings-unopened"));
    QSignalSpy opened(&unopened, &UserDefaults::fileRead);
    fault.reset();
    ASSERT_TRUE(opened.wait(4 * UserDefaults::kFirstRetryMs) || opened.size() == 1);
    EXPECT_FALSE(column.notice->isVisible());
}

} // namespace
