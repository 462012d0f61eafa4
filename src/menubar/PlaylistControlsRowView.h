#pragma once

#include <QHash>
#include <QImage>
#include <QWidget>

#include <optional>

// The tray menu's row of five playback icons (re-apply, previous, pause or play, next, shuffle),
// drawn and hit-tested by the row itself. It shows whatever state its owner last set and
// observes nothing; a click on an enabled icon highlights it until the button is released (at
// most 0.15 s) and announces the icon. GUI thread; owned by the menu.
class PlaylistControlsRowView : public QWidget {
    Q_OBJECT

public:
    enum Icon { reapply = 0, previous, pausePlay, next, shuffle };
    static constexpr int kIconCount = 5;
    static constexpr int kIconSize = 16;
    static constexpr int kIconPitch = 36;
    static constexpr QSize kSize{240, 24};
    static constexpr int kHighlightMs = 150;

    // Everything the row shows, as its owner computes it.
    struct State {
        bool isPaused = false;
        bool isShuffleOn = false;
        bool reapplyEnabled = false;
        bool previousEnabled = false;
        bool nextEnabled = false;
        bool pausePlayEnabled = false;
        bool shuffleEnabled = false;

        bool operator==(const State&) const = default;
    };

    explicit PlaylistControlsRowView(QWidget* parent = nullptr);

    const State& state() const { return state_; }
    // Redraws only when a value changed; true then.
    bool setState(const State& state);
    std::optional<int> pressedIconIndex() const { return pressedIconIndex_; }

    // The icon under a point of the row, testing from the left.
    std::optional<int> iconIndex(const QPointF& point) const;
    QRectF iconRect(int index) const;
    bool isEnabled(int index) const;
    // The symbol each icon shows now.
    QString symbolName(int index) const;
    // How strongly an icon is drawn, and whether it is drawn white (else gray).
    qreal opacity(int index) const;
    bool isActive(int index) const;

    QSize sizeHint() const override { return kSize; }

Q_SIGNALS:
    // An enabled icon was clicked.
    void controlActivated(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void clearPressed();
    const QImage& symbol(const QString& name, bool white);

    State state_;
    std::optional<int> pressedIconIndex_;
    // Tinted symbols by name, colour and pixel ratio: drawn once, painted often.
    QHash<QString, QImage> symbols_;
};
