#pragma once

#include "ui/AnimatedValue.h"
#include "ui/PaintCache.h"

#include <QPointer>
#include <QWidget>

// The heading above a row or grid of wallpapers: a bold white title that wraps instead of being
// cut, an optional lighter subtitle under it, and optional trailing controls at the right end of
// the title row. A clickable title carries a chevron, dims to 0.7 while the pointer is over it,
// shows the pointing hand there and reports clicks. Painted by this widget; only the trailing
// controls are children. GUI thread.
class SectionTitleComponent : public QWidget {
    Q_OBJECT

public:
    // Section headings use the title style; page blocks (categories, popular) the large title.
    enum class Size { Section, Block };

    SectionTitleComponent(const QString& title, const QString& subtitle, bool clickable, QWidget* trailing = nullptr,
        Size size = Size::Section, QWidget* parent = nullptr);

    QString title() const { return title_; }
    QString subtitle() const { return subtitle_; }
    // A subtitle that follows the section's content (a count, say).
    void setSubtitle(const QString& subtitle);
    bool isClickable() const { return clickable_; }
    // Where the title (with its chevron) takes clicks; empty when it takes none.
    QRect titleHitRect() const;
    qreal titleOpacity() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

Q_SIGNALS:
    void titleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Geometry {
        QString titleLines;
        QRect titleText;
        QRect chevron;
        int rowHeight = 0;
        QRect subtitle;
    };
    Geometry geometryFor(int width) const;
    void setTitleHovered(bool hovered);
    void paintTitle(QPainter& painter) const;

    QString title_;
    QString subtitle_;
    bool clickable_;
    QPointer<QWidget> trailing_;
    QFont titleFont_;
    QFont subtitleFont_;
    AnimatedValue hover_;
    bool hovered_ = false;
    bool pressed_ = false;
    // A title over the home hero is repainted with every frame of its video.
    PaintCache cache_;
};
