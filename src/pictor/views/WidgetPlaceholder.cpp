#include "pictor/views/WidgetPlaceholder.h"

#include "pictor/views/ImageView.h"

namespace pictor {

void WidgetPlaceholder::add(ImageView& view)
{
    if (!widget_)
        return;
    widget_->setParent(&view);
    view.addFillingChild(widget_);
    widget_->show();
}

void WidgetPlaceholder::remove(ImageView& view)
{
    if (!widget_ || widget_->parentWidget() != &view)
        return;
    widget_->hide();
    widget_->setParent(nullptr);
}

} // namespace pictor
