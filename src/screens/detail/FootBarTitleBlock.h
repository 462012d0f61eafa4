#pragma once

#include "ui/DetailItem.h"

#include <QWidget>

// The foot bar's middle: the wallpaper's title on one line (cut with an ellipsis when the bar
// has no room for it) and below it the detail items, each a caption-sized symbol and text in
// white at 0.8, as many as fit whole: a narrow window leaves the last ones out rather than cut
// under the controls beside the block. Painted by this one widget.
class FootBarTitleBlock : public QWidget {
    Q_OBJECT

public:
    // The widest the title may make the bar.
    static constexpr int kMaxWidth = 420;

    FootBarTitleBlock(const QString& title, QList<DetailItem> details, QWidget* parent = nullptr);

    const QList<DetailItem>& details() const { return details_; }
    // How many of the details fit whole in the block's width, from the first.
    int shownDetails() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int detailsWidth() const;

    QString title_;
    QList<DetailItem> details_;
};
