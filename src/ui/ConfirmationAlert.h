#pragma once

#include <QString>

#include <functional>

class AlertSheet;
class QWidget;

// A question the user answers before something is destroyed: the kit's dark alert on the sheet
// host of `parent`'s window, with "Cancel" (also Escape) and a destructive confirming button. It
// does not block: `onConfirm` runs when the user confirms, unless `parent` is gone by then.
class ConfirmationAlert {
public:
    static AlertSheet* ask(QWidget* parent, const QString& title, const QString& message, const QString& confirmText,
        std::function<void()> onConfirm);
};
