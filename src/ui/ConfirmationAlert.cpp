#include "ui/ConfirmationAlert.h"

#include "ui/AlertSheet.h"

#include <QCoreApplication>
#include <QPointer>

AlertSheet* ConfirmationAlert::ask(QWidget* parent, const QString& title, const QString& message,
    const QString& confirmText, std::function<void()> onConfirm)
{
    auto confirmed = [onConfirm = std::move(onConfirm), owner = QPointer<QWidget>(parent)] {
        if (owner && onConfirm)
            onConfirm();
    };
    return AlertSheet::present(parent, title, message,
        {{QCoreApplication::translate("ConfirmationAlert", "Cancel"), AlertSheet::Role::Cancel, {}}, {confirmText, AlertSheet::Role::Destructive, confirmed}});
}
