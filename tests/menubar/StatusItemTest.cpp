#include "menubar/StatusItem.h"

#include "foundation/ApplicationId.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

// How far the picture's drawn pixels are from the panel in lightness, on average; 0 when it
// draws nothing.
double contrastOn(const QImage& picture, const QColor& panel)
{
    double sum = 0;
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            if (pixel.alphaF() < 0.5)
                continue;
            sum += std::abs(pixel.lightnessF() - panel.lightnessF());
            ++count;
        }
    }
    return count == 0 ? 0 : sum / count;
}

// On a light and on a dark panel the icon is drawn at every size a tray asks for, sharp and
// standing out from the panel.
TEST(StatusItemTest, ThePicturesFollowThePanelAtEveryTraySize)
{
    const QColor panels[] = {QColor(0xf0, 0xf0, 0xf0), QColor(0x20, 0x20, 0x20), QColor(0xd6, 0xd0, 0xc4), QColor(0x30, 0x38, 0x4a)};
    for (const QColor& panel : panels) {
        SCOPED_TRACE(panel.name().toStdString());
        const QIcon icon = StatusItem::picture(StatusItem::pictureColorOn(panel));
        QList<QSize> sizes;
        for (const int side : StatusItem::kPictureSizes)
            sizes.append(QSize(side, side));
        EXPECT_EQ(icon.availableSizes(), sizes);
        for (const QSize& size : sizes) {
            const QImage picture = icon.pixmap(size).toImage();
            ASSERT_EQ(picture.size(), size);
            EXPECT_GT(contrastOn(picture, panel), 0.5) << size.width();
        }
    }
}

// Where the panel cannot be seen, the desktop's scheme stands for it: a light scheme's panel is
// light, a dark one's dark, and without a preference the panel is taken as most are, dark.
TEST(StatusItemTest, ThePicturesFollowTheDesktopsColourScheme)
{
    using Preference = DesktopColorScheme::Preference;
    const struct {
        Preference preference;
        QColor panel;
    } cases[] = {{Preference::light, QColor(0xf0, 0xf0, 0xf0)}, {Preference::dark, QColor(0x20, 0x20, 0x20)},
        {Preference::none, QColor(0x30, 0x38, 0x4a)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.preference));
        const QImage picture = StatusItem::picture(StatusItem::pictureColorFor(c.preference)).pixmap(QSize(22, 22)).toImage();
        EXPECT_GT(contrastOn(picture, c.panel), 0.5);
    }
}

// The icon's name is the application's only where the icon theme holds that icon, as the
// installed package's does.
TEST(StatusItemTest, TheIconIsNamedOnlyWhenTheThemeHoldsIt)
{
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    TempFolder folder;
    const QString themes = folder.file(QStringLiteral("icons"));
    QIcon::setThemeSearchPaths({themes});
    QIcon::setThemeName(QStringLiteral("hicolor"));
    EXPECT_EQ(StatusItem::themeIconName(), QString());
    EXPECT_EQ(StatusItem::picture(Qt::white).name(), QString());

    ASSERT_TRUE(QDir().mkpath(themes + QStringLiteral("/hicolor/48x48/apps")));
    QFile index(themes + QStringLiteral("/hicolor/index.theme"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\nContext=Applications\nType=Threshold\n");
    index.close();
    QPixmap logo(48, 48);
    logo.fill(Qt::blue);
    ASSERT_TRUE(logo.save(themes + QStringLiteral("/hicolor/48x48/apps/") + ApplicationId::id() + QStringLiteral(".png")));
    // A theme read afresh, as at a program's start.
    QIcon::setThemeSearchPaths({themes});
    EXPECT_EQ(StatusItem::themeIconName(), ApplicationId::id());
    const QIcon icon = StatusItem::picture(Qt::white);
    EXPECT_EQ(icon.name(), ApplicationId::id());
    EXPECT_EQ(icon.availableSizes().size(), std::size(StatusItem::kPictureSizes)) << "the pictures stay beside the name";

    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(themeName);
}

} // namespace
