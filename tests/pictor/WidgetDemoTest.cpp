// The widget targets loading from the loopback server in their loading, loaded and failed states,
// saved as "pictor-screenshots/<name>.png" beside the test program for a reviewer to look at.
#include "support/ReviewPicture.h"
#include "support/TestPaths.h"
#include "WidgetFixture.h"

#include "pictor/views/ActivityIndicator.h"
#include "pictor/views/AnimatedImageView.h"
#include "pictor/views/ImagePlaceholder.h"
#include "pictor/views/ImageView.h"
#include "pictor/views/LivePhotoLoading.h"
#include "pictor/views/LivePhotoView.h"
#include "pictor/views/PT.h"
#include "pictor/views/PTAnimatedImage.h"
#include "pictor/views/PTImage.h"
#include "pictor/views/WidgetPlaceholder.h"
#include "ui/LoopingVideoView.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

using namespace pictor;

namespace {

QImage photo(QSize size, int hue)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor::fromHsv(hue, 160, 230));
    gradient.setColorAt(1, QColor::fromHsv((hue + 80) % 360, 200, 90));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(Qt::white, 3));
    painter.drawEllipse(QPointF(size.width() * 0.7, size.height() * 0.35), size.height() * 0.18, size.height() * 0.18);
    return image;
}

Image symbol(const QString& text, QColor color)
{
    QImage image(QSize(48, 48), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(image.rect().adjusted(2, 2, -2, -2), 10, 10);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    return Image(image);
}

QWidget* captioned(const QString& caption, QWidget* content, QSize size)
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    content->setFixedSize(size);
    layout->addWidget(content, 0, Qt::AlignHCenter);
    auto* label = new QLabel(caption);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return box;
}

void save(QWidget& widget, const QString& name)
{
    EXPECT_TRUE(keepReviewPicture(widget.grab().toImage(), QStringLiteral("pictor-screenshots"), name));
}

} // namespace

class WidgetDemoTest : public WidgetFixture {
protected:
    void SetUp() override
    {
        WidgetFixture::SetUp();
        for (int i = 0; i < 3; ++i)
            server.routes().Get(QStringLiteral("/photo%1.jpg").arg(i).toStdString(), [i](const httplib::Request&, httplib::Response& response) {
                response.set_content(testimages::encoded(photo(QSize(320, 180), 120 * i), "jpeg").toStdString(), "image/jpeg");
            });
        // Answers late (and wrongly), so the loading state stays on screen meanwhile.
        server.routes().Get("/never.jpg", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            response.status = 500;
        });
        server.routes().Get("/anim.gif", [](const httplib::Request&, httplib::Response& response) {
            QList<testimages::GifFrame> frames;
            for (int i = 0; i < 12; ++i)
                frames.append({QSize(16 + 4 * i, 64), 1 + i % 3, 8});
            response.set_content(testimages::gif(QSize(64, 64), frames).toStdString(), "image/gif");
        });
        server.routes().Get("/movie.mov", [](const httplib::Request&, httplib::Response& response) {
            QFile clip(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4")));
            response.set_content(clip.open(QIODevice::ReadOnly) ? clip.readAll().toStdString() : std::string(), "video/quicktime");
        });
    }
    Source at(const QString& path) const { return network(server.url(path)); }
    bool loaded(int& count, int expected) { return QTest::qWaitFor([&] { return count >= expected; }, 10000); }
};

TEST_F(WidgetDemoTest, ImageViewStates)
{
    QWidget window;
    auto* grid = new QGridLayout(&window);
    const QSize size(240, 135);
    int done = 0;
    const auto count = [&](const ImageSetting::SettingResult&) { ++done; };

    auto* loading = new ImageView;
    loading->setIndicatorType(IndicatorType::activity());
    pt::setImage(loading, at(QStringLiteral("/never.jpg")), std::make_shared<ImagePlaceholder>(Image(photo(QSize(32, 18), 220).scaled(size))),
                 std::nullopt, {}, count);
    grid->addWidget(captioned(QStringLiteral("Loading: placeholder and spinner"), loading, size), 0, 0);

    auto* overlay = new ImageView;
    auto* waiting = new QLabel(QStringLiteral("Loading…"));
    waiting->setAlignment(Qt::AlignCenter);
    waiting->setStyleSheet(QStringLiteral("background: #303848; color: white; font-size: 16px;"));
    pt::setImage(overlay, at(QStringLiteral("/never.jpg")), std::make_shared<WidgetPlaceholder>(waiting), std::nullopt, {}, count);
    grid->addWidget(captioned(QStringLiteral("Loading: widget placeholder"), overlay, size), 0, 1);

    auto* shown = new ImageView;
    shown->setIndicatorType(IndicatorType::activity());
    pt::setImage(shown, at(QStringLiteral("/photo0.jpg")), nullptr, std::nullopt, {}, count);
    grid->addWidget(captioned(QStringLiteral("Loaded"), shown, size), 1, 0);

    auto* failed = new ImageView;
    PT::source(at(QStringLiteral("/status/404")))
        ->onFailureImage(symbol(QStringLiteral("!"), QColor(200, 60, 60)))
        .onFailure([&](const PictorError&) { ++done; })
        .setTo(failed);
    failed->setImageScaling(ImageView::Scaling::none);
    grid->addWidget(captioned(QStringLiteral("Failed: failure image"), failed, size), 1, 1);

    window.show();
    ASSERT_TRUE(loaded(done, 2));
    QTest::qWait(200);
    save(window, QStringLiteral("image-view-states"));
    ASSERT_TRUE(shown->image());
    EXPECT_TRUE(loading->indicator()->view()->isVisible());
    EXPECT_FALSE(shown->indicator()->view()->isVisible());
}

TEST_F(WidgetDemoTest, ButtonsActionsAndText)
{
    QWidget window;
    auto* grid = new QGridLayout(&window);
    int done = 0;
    const auto count = [&](const ImageSetting::SettingResult&) { ++done; };
    const QSize icon(48, 48);

    QList<QToolButton*> buttons;
    for (const QString& caption : {QStringLiteral("Loading"), QStringLiteral("Loaded"), QStringLiteral("Checked: alternate")}) {
        auto* button = new QToolButton;
        button->setCheckable(true);
        button->setIconSize(icon);
        button->setText(caption);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        buttons.append(button);
        grid->addWidget(button, 0, int(buttons.size() - 1));
    }
    pt::setImage(buttons[0], at(QStringLiteral("/never.jpg")), symbol(QStringLiteral("…"), Qt::gray), std::nullopt, {}, count);
    for (QToolButton* button : {buttons[1], buttons[2]}) {
        pt::setImage(button, at(QStringLiteral("/photo1.jpg")), std::nullopt, std::nullopt, {}, count);
        pt::setAlternateImage(button, at(QStringLiteral("/photo2.jpg")), std::nullopt, std::nullopt, {}, count);
    }
    buttons[2]->setChecked(true);

    auto* toolbar = new QToolBar;
    toolbar->setIconSize(QSize(32, 32));
    QMenu menu;
    for (int i = 0; i < 3; ++i) {
        QAction* action = toolbar->addAction(QStringLiteral("Item %1").arg(i + 1));
        menu.addAction(action);
        pt::setImage(action, at(i == 2 ? QStringLiteral("/status/500") : QStringLiteral("/photo%1.jpg").arg(i)), symbol(QString::number(i + 1), Qt::gray),
                     QList<PictorOptionsInfoItem>{PictorOptionsInfoItem::onFailureImage(symbol(QStringLiteral("×"), QColor(200, 60, 60)))}, {},
                     count);
    }
    grid->addWidget(toolbar, 1, 0, 1, 3);

    auto* text = new QTextEdit;
    text->setHtml(QStringLiteral("<p>Rich text with an image that arrives later:</p><p><img src=\"pictor://cover\" width=\"160\" height=\"90\"></p><p>…and the text flows on.</p>"));
    pt::setImage(TextAttachment{text->document(), QUrl(QStringLiteral("pictor://cover")), [text] { return text->viewport(); }},
                 at(QStringLiteral("/photo0.jpg")), std::nullopt, std::nullopt, {}, count);
    text->setFixedSize(320, 200);
    grid->addWidget(text, 2, 0, 1, 3);

    window.show();
    ASSERT_TRUE(loaded(done, 8));
    QTest::qWait(100);
    save(window, QStringLiteral("buttons-toolbar-text"));
    menu.show();
    QTest::qWait(50);
    save(menu, QStringLiteral("menu"));
    EXPECT_FALSE(buttons[2]->icon().pixmap(icon, QIcon::Normal, QIcon::On).isNull());
}

TEST_F(WidgetDemoTest, AnimatedDeclarativeAndLivePhoto)
{
    QWidget window;
    auto* grid = new QGridLayout(&window);
    int done = 0;
    const QSize size(160, 120);

    auto* animated = new AnimatedImageView;
    PT::url(server.url(QStringLiteral("/anim.gif")))->onSuccess([&](const RetrieveImageResult&) { ++done; }).setTo(animated);
    grid->addWidget(captioned(QStringLiteral("Animated view"), animated, size), 0, 0);

    auto* declarative = new PTImage(at(QStringLiteral("/photo2.jpg")));
    declarative->placeholder([](PTImageBinder*) {
        auto* label = new QLabel(QStringLiteral("Placeholder"));
        label->setAlignment(Qt::AlignCenter);
        return label;
    }).fade(0.1).onSuccess([&](const RetrieveImageResult&) { ++done; });
    grid->addWidget(captioned(QStringLiteral("Declarative image"), declarative, size), 0, 1);

    auto* waiting = new PTImage(at(QStringLiteral("/never.jpg")));
    waiting->placeholder([](PTImageBinder*) {
        auto* label = new QLabel(QStringLiteral("Loading…"));
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("background: #303848; color: white;"));
        return label;
    });
    grid->addWidget(captioned(QStringLiteral("Declarative, loading"), waiting, size), 1, 1);

    auto* failing = new PTAnimatedImage(at(QStringLiteral("/status/500")));
    failing->onFailureView([] {
        auto* label = new QLabel(QStringLiteral("Could not load"));
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("color: #c03c3c; font-weight: bold;"));
        return label;
    }).onFailure([&](const PictorError&) { ++done; });
    grid->addWidget(captioned(QStringLiteral("Declarative, failed"), failing, size), 0, 2);

    auto* live = new LivePhotoView;
    LivePhotoLoading::setLivePhoto(live, LivePhotoSource::fromURLs({server.url(QStringLiteral("/photo1.jpg")), server.url(QStringLiteral("/movie.mov"))}),
                                   std::nullopt, [&](const Result<RetrieveLivePhotoResult, PictorError>&) { ++done; });
    grid->addWidget(captioned(QStringLiteral("Live photo: still"), live, size), 1, 2);

    window.show();
    ASSERT_TRUE(loaded(done, 4));
    QTest::qWait(150);
    save(window, QStringLiteral("animated-declarative-live"));
    QTest::qWait(400);
    save(*animated, QStringLiteral("animated-later-frame"));
    EXPECT_TRUE(animated->isAnimating());
    ASSERT_TRUE(live->livePhoto());
    ASSERT_TRUE(live->livePhoto()->movieFile);

    // On request the movie plays in the application's own looping video view, over the still.
    LoopingVideoView* movie = nullptr;
    live->setMovieViewFactory([&](const QUrl& file, QWidget* parent) {
        movie = new LoopingVideoView(parent);
        movie->setUrl(file);
        movie->setPlaying(true);
        return movie;
    });
    ASSERT_TRUE(live->playMovie());
    ASSERT_TRUE(QTest::qWaitFor([&] { return movie->isReady(); }, 10000));
    QTest::qWait(100);
    save(window, QStringLiteral("live-photo-playing"));
}
