#pragma once

#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

// A question the user answers before something is destroyed: a window-modal alert with "Cancel"
// (also Escape) and a destructive confirming button. It does not block: `onConfirm` runs when
// the user confirms, unless `parent` is gone by then. The alert deletes itself when answered.
class ConfirmationAlert {
public:
    static QMessageBox* ask(QWidget* parent, const QString& title, const QString& message, const QString& confirmText,
        std::function<void()> onConfirm);
};
