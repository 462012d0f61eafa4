#pragma once

#include <QStringList>
#include <QWidget>

class QMimeData;
class LabelButton;

// The zone on the own-wallpapers screen that takes videos for the community: files dragged
// onto it, or the one file picked with its "Select" button, are reported as local paths through
// filesDropped(). It shows the catalogue's limits below the button and tells whether a drag
// carrying files hovers over it. Painted by itself; the button is a child. GUI thread.
class DragDropArea : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize kSize{450, 300};
    static constexpr const char* kCaption = QT_TR_NOOP("MP4 • 3840x2160 min (4K) • Under 60s • Max 200MB");

    explicit DragDropArea(QWidget* parent = nullptr);

    bool isDragging() const { return dragging_; }

    // The local files a drop carries, in order; other addresses are left out.
    static QStringList localFiles(const QMimeData& data);

Q_SIGNALS:
    void filesDropped(const QStringList& paths);
    void selectRequested();
    void draggingChanged(bool dragging);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDragging(bool dragging);
    QRect captionRect() const;

    LabelButton* select_;
    bool dragging_ = false;
};
