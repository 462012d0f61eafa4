#pragma once

#include <QMargins>
#include <QWidget>

// How a page is padded: by the paddings it passes, or, on the home-like pages whose content
// runs close to the window's edges, by a fixed 50 left and right and 10 above and below.
enum class MainWrapperStyle { Standard, Home };

// The container of a page's content column: pads the content as its style says. Holds no
// state of its own; the content keeps its own size rules (height for width included).
class MainWrapper : public QWidget {
    Q_OBJECT

public:
    // Takes `content` as its child. Negative paddings count as 0.
    MainWrapper(QWidget* content, qreal baseHorizontalPadding, qreal baseVerticalPadding, MainWrapperStyle style,
        QWidget* parent = nullptr);

    static QMargins padding(MainWrapperStyle style, qreal baseHorizontalPadding, qreal baseVerticalPadding);

    QWidget* content() const { return content_; }

private:
    QWidget* content_;
};
