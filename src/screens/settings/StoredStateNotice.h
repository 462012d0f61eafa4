#pragma once

#include <QWidget>

class LinkText;
class TextLabel;
class UserDefaults;

// The settings page's word on the stored state while it matters: a damaged copy that was kept
// (until the user dismisses it), or settings that cannot be opened (while that lasts). Hidden
// when all is well; follows the store.
class StoredStateNotice : public QWidget {
    Q_OBJECT

public:
    explicit StoredStateNotice(UserDefaults& defaults, QWidget* parent = nullptr);

private:
    void follow();

    UserDefaults& defaults_;
    TextLabel* text_ = nullptr;
    LinkText* dismiss_ = nullptr;
};
