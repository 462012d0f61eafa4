#pragma once

#include <QPointer>
#include <QTextDocument>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace pictor {

// An image inside rich text: the image resource of a document, named as the text's <img src>
// names it, and the widget that shows the text, repainted when the image arrives.
struct TextAttachment {
    QPointer<QTextDocument> document;
    QUrl name;
    // Asked once per applied image for the widget to repaint (may answer null).
    std::function<QWidget*()> attributedView;
};

} // namespace pictor
