#include "ui/NavigationHost.h"

#include "ui/AppearanceAware.h"

#include <QStackedLayout>

NavigationHost::NavigationHost(QWidget* root, QWidget* parent) : QWidget(parent), stack_(new QStackedLayout(this))
{
    stack_->setContentsMargins(0, 0, 0, 0);
    push(root);
}

NavigationHost::~NavigationHost()
{
    setShownPage(nullptr);
}

QWidget* NavigationHost::currentPage() const
{
    return pages_.isEmpty() ? nullptr : pages_.last().data();
}

void NavigationHost::push(QWidget* page)
{
    if (!page || pages_.contains(page))
        return;
    pages_.append(page);
    stack_->addWidget(page);
    stack_->setCurrentWidget(page);
    setShownPage(isVisible() ? page : nullptr);
    Q_EMIT currentPageChanged(page);
}

void NavigationHost::pop()
{
    popTo(int(pages_.size()) - 1);
}

void NavigationHost::popToRoot()
{
    popTo(1);
}

void NavigationHost::popThrough(QWidget* page)
{
    const qsizetype index = page ? pages_.indexOf(page) : -1;
    if (index > 0)
        popTo(int(index));
}

void NavigationHost::popTo(int depth)
{
    if (depth < 1 || depth >= pages_.size())
        return;
    // The leaving top page disappears before anything else changes.
    setShownPage(nullptr);
    while (pages_.size() > depth) {
        QPointer<QWidget> page = pages_.takeLast();
        if (!page)
            continue;
        stack_->removeWidget(page);
        page->hide();
        // Later: the page may be the one whose button asked for the pop.
        page->deleteLater();
    }
    QWidget* top = currentPage();
    if (top)
        stack_->setCurrentWidget(top);
    setShownPage(isVisible() ? top : nullptr);
    Q_EMIT currentPageChanged(top);
}

void NavigationHost::setShownPage(QWidget* page)
{
    if (appearedPage_ == page)
        return;
    if (QPointer<QWidget> leaving = appearedPage_) {
        appearedPage_ = nullptr;
        AppearanceAware::tell(leaving, false);
    }
    appearedPage_ = page;
    if (page)
        AppearanceAware::tell(page, true);
}

void NavigationHost::showEvent(QShowEvent*)
{
    setShownPage(currentPage());
}

void NavigationHost::hideEvent(QHideEvent*)
{
    setShownPage(nullptr);
}
