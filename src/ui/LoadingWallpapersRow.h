#pragma once

#include <QWidget>

// What a list shows under its cards while its next page loads, and in place of its content while
// its first one does: a white progress wheel and "Loading wallpapers..." in a centred column,
// 60 above and below. The wheel turns only while the row is shown.
class LoadingWallpapersRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kVerticalPadding = 60;

    explicit LoadingWallpapersRow(QWidget* parent = nullptr);
};
