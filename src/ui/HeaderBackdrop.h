#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QAbstractScrollArea;

// The fade behind the header row: once a page's content has scrolled up under the header, the
// window's background darkens the strip from the top edge to a little below the row, so the
// logo, the tab pill and the buttons never stand on titles and cards. At rest at the top of a
// page nothing is drawn and the page's own picture shows. It takes no clicks: the row above it
// and the page below get them. GUI thread; a sibling just under the header row.
class HeaderBackdrop : public QWidget {
    Q_OBJECT

public:
    // How far below the row the fade reaches transparent.
    static constexpr int kFadeBelow = 28;

    explicit HeaderBackdrop(QWidget* parent);

    // Where the row's bottom edge is; the fade runs from there.
    void setRowBottom(int rowBottom);
    // Some visible scroll area under the backdrop has its content scrolled up.
    bool isContentUnder();
    // Times the parent's widgets were searched for scroll areas, for tests that check a repaint
    // does not search again.
    int scanCount() const { return scans_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Scrolled content repaints the strip above it, this widget included; the scroll bars are
    // followed as well for pages that move their content without repainting under the header.
    void follow(QAbstractScrollArea* area);
    void refresh() { update(); }
    // The outermost scroll area at a point of the fade, standing for the page on screen.
    QAbstractScrollArea* pageUnder() const;

    int rowBottom_ = 0;
    // Every scroll area under the parent, searched again only when another page comes under the
    // fade: the backdrop is repainted for every video frame beneath it.
    QList<QPointer<QAbstractScrollArea>> areas_;
    QPointer<QAbstractScrollArea> page_;
    bool scanned_ = false;
    int scans_ = 0;
};
