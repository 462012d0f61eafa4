#pragma once

#include <QWidget>

class Spinner;

// What the library's saved section shows while a long liked list is still being read: a turning
// wheel above "Loading your saved wallpapers…", where the grid will be.
class SavedWallpapersLoadingView : public QWidget {
    Q_OBJECT

public:
    explicit SavedWallpapersLoadingView(QWidget* parent = nullptr);

    Spinner* spinner() const { return spinner_; }

private:
    Spinner* spinner_;
};
