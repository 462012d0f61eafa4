#pragma once

#include "ui/AnimatedValue.h"
#include "ui/AppTab.h"
#include "ui/PaintCache.h"

#include <QWidget>

#include <array>
#include <optional>

// The pill of text tabs at the top of the main window: Home, Explore and Library, with thin
// separators between them on the glass background. The owner keeps the selected section and
// sets it here, so the bar follows changes made anywhere (Upload and Settings mark no tab); a
// press on a tab selects it and reports the change. The tab under the pointer lights up faintly
// and shows the pointing hand. Painted by this one widget, which hit-tests the tabs' capsules
// itself. GUI thread.
class TopNavigationBar : public QWidget {
    Q_OBJECT

public:
    static constexpr std::array<AppTab, 3> kTabs{AppTab::Home, AppTab::Explore, AppTab::Library};

    explicit TopNavigationBar(AppTab selected = AppTab::Home, QWidget* parent = nullptr);

    AppTab selectedTab() const { return selected_; }
    // Marks `tab` (fading over 0.15 s); selectedTabChanged only when it differs.
    void setSelectedTab(AppTab tab);
    // None while the pointer is over no tab, and whenever the bar is shown again.
    std::optional<AppTab> hoveredTab() const { return hovered_; }

    // Where a tab's label sits in the bar; empty for sections that are not in the bar.
    QRectF tabRect(AppTab tab) const;
    std::optional<AppTab> tabAt(const QPointF& point) const;
    // What a tab shows right now, fades included.
    qreal capsuleOpacity(AppTab tab) const;
    QColor textColor(AppTab tab) const;

    QSize sizeHint() const override;

signals:
    void selectedTabChanged(AppTab tab);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // A tab's fades; index as in kTabs.
    struct TabState {
        AnimatedValue selected;
        AnimatedValue hovered;
    };

    static std::optional<int> indexOf(AppTab tab);
    void setHovered(std::optional<AppTab> tab);
    void paintBar(QPainter& painter) const;

    AppTab selected_;
    std::optional<AppTab> hovered_;
    std::optional<AppTab> pressed_;
    std::array<TabState, kTabs.size()> tabs_;
    PaintCache cache_;
};
