#include "ui/ConfirmationAlert.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

QMessageBox* ConfirmationAlert::ask(QWidget* parent, const QString& title, const QString& message,
    const QString& confirmText, std::function<void()> onConfirm)
{
    auto* alert = new QMessageBox(QMessageBox::Warning, title, message, QMessageBox::NoButton, parent);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setText(title);
    alert->setInformativeText(message);
    QPushButton* cancel = alert->addButton(QCoreApplication::translate("ConfirmationAlert", "Cancel"), QMessageBox::RejectRole);
    QPushButton* confirm = alert->addButton(confirmText, QMessageBox::DestructiveRole);
    alert->setDefaultButton(cancel);
    alert->setEscapeButton(cancel);
    QObject::connect(alert, &QMessageBox::buttonClicked, alert, [confirm, onConfirm = std::move(onConfirm), owner = QPointer<QWidget>(parent)](QAbstractButton* clicked) {
        if (clicked == confirm && owner && onConfirm)
            onConfirm();
    });
    alert->open();
    return alert;
}
