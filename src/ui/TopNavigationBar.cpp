#include "ui/TopNavigationBar.h"

#include "ui/NavButtonBar.h"
#include "ui/NavigationTabLabel.h"
#include "ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <utility>

namespace {
constexpr qreal kStripPadding = 7;
constexpr qreal kSeparatorWidth = 1;
constexpr qreal kSeparatorHeight = 14;
constexpr qreal kSeparatorPadding = 7.5;
constexpr qreal kSeparatorSlot = kSeparatorWidth + 2 * kSeparatorPadding;

AnimatedValue::Curve fade() { return AnimatedValue::Curve::easeInOut(150); }
} // namespace

TopNavigationBar::TopNavigationBar(AppTab selected, QWidget* parent) : QWidget(parent), selected_(selected)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMouseTracking(true);
    for (std::size_t i = 0; i < kTabs.size(); ++i) {
        tabs_[i].selected.setValue(kTabs[i] == selected ? 1 : 0);
        connect(&tabs_[i].selected, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
        connect(&tabs_[i].hovered, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    }
}

std::optional<int> TopNavigationBar::indexOf(AppTab tab)
{
    for (std::size_t i = 0; i < kTabs.size(); ++i)
        if (kTabs[i] == tab)
            return int(i);
    return std::nullopt;
}

void TopNavigationBar::setSelectedTab(AppTab tab)
{
    if (tab == selected_)
        return;
    selected_ = tab;
    for (std::size_t i = 0; i < kTabs.size(); ++i)
        tabs_[i].selected.animateTo(kTabs[i] == tab ? 1 : 0, fade());
    emit selectedTabChanged(tab);
}

void TopNavigationBar::setHovered(std::optional<AppTab> tab)
{
    if (tab == hovered_)
        return;
    hovered_ = tab;
    for (std::size_t i = 0; i < kTabs.size(); ++i)
        tabs_[i].hovered.animateTo(kTabs[i] == tab ? 1 : 0, fade());
    // The widget's own cursor, so it can never stay behind once the pointer leaves the bar.
    if (tab)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

QRectF TopNavigationBar::tabRect(AppTab tab) const
{
    const std::optional<int> index = indexOf(tab);
    if (!index)
        return {};
    qreal x = kStripPadding;
    for (int i = 0; i < *index; ++i)
        x += NavigationTabLabel::size(AppTabs::title(kTabs[i])).width() + kSeparatorSlot;
    return QRectF(QPointF(x, kStripPadding), NavigationTabLabel::size(AppTabs::title(tab)));
}

std::optional<AppTab> TopNavigationBar::tabAt(const QPointF& point) const
{
    for (AppTab tab : kTabs)
        if (NavigationTabLabel::capsule(tabRect(tab)).contains(point))
            return tab;
    return std::nullopt;
}

qreal TopNavigationBar::capsuleOpacity(AppTab tab) const
{
    const std::optional<int> index = indexOf(tab);
    return index ? NavigationTabLabel::capsuleOpacity(tabs_[*index].selected.value(), tabs_[*index].hovered.value()) : 0;
}

QColor TopNavigationBar::textColor(AppTab tab) const
{
    const std::optional<int> index = indexOf(tab);
    return NavigationTabLabel::textColor(index ? tabs_[*index].selected.value() : 0);
}

QSize TopNavigationBar::sizeHint() const
{
    const QRectF last = tabRect(kTabs.back());
    return {qRound(last.right() + kStripPadding), qRound(last.bottom() + kStripPadding)};
}

void TopNavigationBar::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovered(tabAt(event->position()));
}

void TopNavigationBar::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovered(std::nullopt);
    pressed_.reset();
}

void TopNavigationBar::mouseMoveEvent(QMouseEvent* event) { setHovered(tabAt(event->position())); }

void TopNavigationBar::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton ? tabAt(event->position()) : std::nullopt;
}

// A press counts when it is released over the tab it began on.
void TopNavigationBar::mouseReleaseEvent(QMouseEvent* event)
{
    const std::optional<AppTab> pressed = std::exchange(pressed_, std::nullopt);
    if (event->button() == Qt::LeftButton && pressed && tabAt(event->position()) == pressed)
        setSelectedTab(*pressed);
}

// Hidden under the pointer the bar gets no leave: it comes back with no tab lit.
void TopNavigationBar::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    hovered_.reset();
    pressed_.reset();
    for (TabState& tab : tabs_)
        tab.hovered.setValue(0);
    unsetCursor();
}

void TopNavigationBar::paintEvent(QPaintEvent*)
{
    QList<qreal> state;
    for (const TabState& tab : tabs_)
        state << tab.selected.value() << tab.hovered.value();
    QPainter painter(this);
    cache_.paint(painter, *this, state, [this](QPainter& cached) { paintBar(cached); });
}

void TopNavigationBar::paintBar(QPainter& painter) const
{
    NavButtonBar::paintBackground(painter, rect());
    painter.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < kTabs.size(); ++i) {
        const QRectF label = tabRect(kTabs[i]);
        NavigationTabLabel::paint(painter, label, AppTabs::title(kTabs[i]), tabs_[i].selected.value(), tabs_[i].hovered.value());
        if (i + 1 < kTabs.size()) {
            const QRectF separator(label.right() + kSeparatorPadding, label.center().y() - kSeparatorHeight / 2,
                kSeparatorWidth, kSeparatorHeight);
            painter.fillRect(separator, Theme::withOpacity(Qt::white, 0.1));
        }
    }
}
