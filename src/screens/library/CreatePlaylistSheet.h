#pragma once

#include "screens/library/PlaylistSheet.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// The first step of creating a playlist: its name (cut while typing to 15 characters and two
// words) and how often it changes the wallpaper. "Create" (or Return, while the name is valid)
// opens the wallpaper picker on top; once the picker has created the playlist this sheet closes
// too. "Cancel" or Escape stores nothing. Every showing starts empty at "5 minutes".
class CreatePlaylistSheet : public PlaylistSheet {
    Q_OBJECT

public:
    static constexpr QSize kSize{380, 280};

    explicit CreatePlaylistSheet(QWidget* parent = nullptr);

    QLineEdit* nameField() const { return name_; }
    QComboBox* intervalPicker() const { return interval_; }
    QPushButton* createButton() const { return create_; }
    // Presents the picker for the name and interval entered.
    void showWallpaperPicker();

private:
    void limitName(const QString& typed);

    QLineEdit* name_;
    QComboBox* interval_;
    QPushButton* create_;
};
