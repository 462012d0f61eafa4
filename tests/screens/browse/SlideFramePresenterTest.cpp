#include "screens/browse/SlideFramePresenter.h"
#include "support/ImageCompare.h"

#include <QBackingStore>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>


namespace {

constexpr QSize kSlide(160, 100);

QImage frameOf(int seed)
{
    QImage image(kSlide, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 3 + seed) % 256, (y * 5 + seed * 7) % 256, (x * y + seed) % 256));
    return image;
}

QImage coverImage()
{
    QImage image(kSlide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QLinearGradient shade(0, 0, 0, kSlide.height());
    shade.setColorAt(0, QColor(0, 0, 0, 0));
    shade.setColorAt(1, QColor(29, 33, 35, 255));
    painter.fillRect(image.rect(), shade);
    return image;
}

// Paints its frame under its cover whenever Qt repaints it, as a hero slide does.
class Slide : public QWidget {
public:
    explicit Slide(QWidget* parent) : QWidget(parent), presenter(this) { setAttribute(Qt::WA_OpaquePaintEvent); }
    void paintEvent(QPaintEvent* event) override
    {
        presenter.invalidate(event->region());
        QPainter painter(this);
        painter.drawImage(0, 0, frame);
        painter.drawImage(0, 0, cover);
    }
    QImage frame = frameOf(0);
    QImage cover = coverImage();
    SlideFramePresenter presenter;
};

// A translucent piece over the slide that counts its paintings.
class Glass : public QWidget {
public:
    Glass(QWidget* parent, const QRect& geometry) : QWidget(parent) { setGeometry(geometry); }
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(color);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    }
    QColor color{255, 255, 255, 90};
    int paints = 0;
};

// A window with a slide under its own child, a sibling across its corner and, in a strip
// stacked above it, a piece that the strip cuts short.
class SlideFramePresenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_.resize(220, 140);
        slide_ = new Slide(&window_);
        slide_->setGeometry(QRect(QPoint(10, 10), kSlide));
        child_ = new Glass(slide_, QRect(10, 10, 40, 24));
        corner_ = new Glass(&window_, QRect(120, 70, 80, 50));
        auto* strip = new QWidget(&window_);
        strip->setGeometry(0, 40, 90, 30);
        cut_ = new Glass(strip, QRect(-20, -10, 140, 60));
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    }
    QImage onScreen() { return static_cast<QImage*>(window_.backingStore()->paintDevice())->copy(); }
    // What Qt paints with the slide showing `frame`.
    QImage repainted(const QImage& frame)
    {
        slide_->frame = frame;
        return window_.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QWidget window_;
    Slide* slide_ = nullptr;
    Glass* child_ = nullptr;
    Glass* corner_ = nullptr;
    Glass* cut_ = nullptr;
};

} // namespace

// A presented frame looks as a repaint of the whole window would, and what lies over the
// slide is painted once for all frames, again only where Qt painted it anew.
TEST_F(SlideFramePresenterTest, FramesLookAsARepaintWouldAndPaintWhatLiesAboveOnlyWhenItChanged)
{
    for (int seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        ASSERT_TRUE(slide_->presenter.present(frameOf(seed), slide_->cover));
        // Blending the cover and the pieces together first rounds a step apart at most.
        EXPECT_LE(largestDifference(onScreen(), repainted(frameOf(seed))), 1);
    }
    // A grab repaints the slide too, so what lies above is taken again once.
    ASSERT_TRUE(slide_->presenter.present(frameOf(4), slide_->cover));
    const int paints = corner_->paints + child_->paints + cut_->paints;
    for (int seed = 5; seed <= 6; ++seed)
        ASSERT_TRUE(slide_->presenter.present(frameOf(seed), slide_->cover));
    EXPECT_EQ(corner_->paints + child_->paints + cut_->paints, paints) << "frames do not repaint what lies above";

    corner_->color = QColor(200, 40, 40, 160);
    corner_->repaint();
    ASSERT_TRUE(slide_->presenter.present(frameOf(7), slide_->cover));
    EXPECT_LE(largestDifference(onScreen(), repainted(frameOf(7))), 1) << "the changed piece shows over later frames";
    EXPECT_EQ(slide_->presenter.framesPresented(), 7);
}

// Where the window's picture cannot be written in place, nothing is, and the caller repaints.
TEST_F(SlideFramePresenterTest, LeavesTheRepaintToQtWhereItCannotPresent)
{
    const QImage before = onScreen();
    EXPECT_FALSE(slide_->presenter.present(frameOf(1).scaled(80, 50), slide_->cover)) << "a frame of another size";
    EXPECT_EQ(onScreen(), before);
    slide_->hide();
    EXPECT_FALSE(slide_->presenter.present(frameOf(1), slide_->cover)) << "a hidden slide";
    EXPECT_EQ(slide_->presenter.framesPresented(), 0);
}
