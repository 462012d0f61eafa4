#include "app/MainWindow.h"

#include "app/AppRootView.h"
#include "app/MainWindowSize.h"
#include "ui/DarkAppearance.h"

#include <QVBoxLayout>

MainWindow::MainWindow(QWidget* parent) : QWidget(parent, Qt::Window), rootContainer_(new QWidget(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    rootContainer_->setObjectName(QStringLiteral("rootContainer"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(rootContainer_);
    auto* rootLayout = new QVBoxLayout(rootContainer_);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    configure();
}

void MainWindow::setVisible(bool visible)
{
    // A launch at login keeps the window hidden, often for the whole session: its pages, their
    // images and players are built when it first shows, not before.
    if (visible && !rootView_) {
        rootView_ = new AppRootView(rootContainer_);
        rootContainer_->layout()->addWidget(rootView_);
    }
    QWidget::setVisible(visible);
}

void MainWindow::configure()
{
    DarkAppearance::apply(this);
    DarkAppearance::apply(rootContainer_);
    // A fixed size is what keeps the user from resizing the window.
    setFixedSize(MainWindowSize::current());
    setWindowTitle(QString());
}
