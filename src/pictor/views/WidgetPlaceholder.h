#pragma once

#include "pictor/views/Placeholder.h"

#include <QPointer>
#include <QWidget>

namespace pictor {

// A widget laid over the whole image view while the image loads. The widget stays its creator's:
// the view only borrows it, and one its owner destroys meanwhile is simply gone.
class WidgetPlaceholder : public Placeholder {
public:
    explicit WidgetPlaceholder(QWidget* widget) : widget_(widget) {}

    void add(ImageView& view) override;
    void remove(ImageView& view) override;
    QWidget* widget() const { return widget_; }

private:
    QPointer<QWidget> widget_;
};

} // namespace pictor
