#include "screens/browse/SectionTitleComponent.h"

#include "ui/Symbols.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {
// The chevron after a clickable title, one point below the text's centre line.
class Chevron : public QWidget {
public:
    explicit Chevron(QWidget* parent) : QWidget(parent)
    {
        const int side = Symbols::sizeForFont(Theme::pixelSize(Theme::TextStyle::Body));
        setFixedSize(side, side + 1);
    }

    void setOpacity(qreal opacity)
    {
        opacity_ = opacity;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        Symbols::paint(painter, QRectF(0, 1, width(), height() - 1), QStringLiteral("chevron.right"),
            Theme::withOpacity(Qt::white, 0.9 * opacity_));
    }

private:
    qreal opacity_ = 1;
};
} // namespace

SectionTitleComponent::SectionTitleComponent(const QString& title, const QString& subtitle, bool clickable,
    QWidget* trailing, Size size, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), clickable_(clickable),
      title_(new TextLabel(title,
          Theme::font(size == Size::Block ? Theme::TextStyle::LargeTitle : Theme::TextStyle::Title, QFont::Bold),
          Qt::white, this))
{
    if (!clickable_)
        setCursor(Qt::ArrowCursor);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(title_);
    if (clickable_) {
        chevron_ = new Chevron(this);
        row->addWidget(chevron_);
        connect(this, &PressableWidget::hoverAmountChanged, this, &SectionTitleComponent::follow);
        connect(this, &PressableWidget::clicked, this, &SectionTitleComponent::titleClicked);
    }
    row->addStretch();
    if (trailing)
        row->addWidget(trailing);
    column->addLayout(row);
    if (!subtitle.isEmpty()) {
        column->addWidget(new TextLabel(subtitle, Theme::font(Theme::TextStyle::Title3, QFont::Light),
            Theme::withOpacity(Qt::white, 0.45), this));
    }
}

QString SectionTitleComponent::title() const { return title_->text(); }

QRect SectionTitleComponent::titleHitRect() const
{
    return clickable_ ? title_->geometry().united(chevron_->geometry()) : QRect();
}

bool SectionTitleComponent::hitTest(const QPointF& point) const { return titleHitRect().contains(point.toPoint()); }

void SectionTitleComponent::follow(qreal hover)
{
    const qreal opacity = 1 - 0.3 * hover;
    title_->setColor(Theme::withOpacity(Qt::white, opacity));
    static_cast<Chevron*>(chevron_)->setOpacity(opacity);
}
