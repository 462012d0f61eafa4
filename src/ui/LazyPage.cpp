#include "ui/LazyPage.h"

#include <QVBoxLayout>

LazyPage::LazyPage(std::function<QWidget*()> make, QWidget* parent) : QWidget(parent), make_(std::move(make))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
}

void LazyPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (content_ || !make_)
        return;
    content_ = make_();
    make_ = nullptr;
    layout()->addWidget(content_);
}
