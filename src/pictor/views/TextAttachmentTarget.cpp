#include "pictor/views/TextAttachmentTarget.h"

#include <QImage>
#include <QVariant>

namespace pictor {

void TextAttachmentTarget::setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&)
{
    if (!attachment_.document)
        return;
    // An empty image rather than no resource: the document would otherwise go looking for the
    // name as a file.
    attachment_.document->addResource(QTextDocument::ImageResource, attachment_.name,
                                      image && image->hasBitmap() ? image->bitmap() : QImage());
}

std::optional<Image> TextAttachmentTarget::image() const
{
    if (!attachment_.document)
        return std::nullopt;
    const QImage stored = attachment_.document->resource(QTextDocument::ImageResource, attachment_.name).value<QImage>();
    return stored.isNull() ? std::nullopt : std::optional(Image(stored));
}

void TextAttachmentTarget::showPlaceholder(const std::shared_ptr<Placeholder>& placeholder, bool keepCurrent, const PictorParsedOptionsInfo& options)
{
    // Keeping leaves the attachment as it is, even when it shows nothing.
    if (!keepCurrent)
        setImage(placeholder ? placeholder->image() : std::nullopt, options);
}

void TextAttachmentTarget::didApplyResult()
{
    if (!attachment_.document)
        return;
    // The image's size may differ from what the text was laid out with.
    attachment_.document->markContentsDirty(0, attachment_.document->characterCount());
    if (QWidget* view = attachment_.attributedView ? attachment_.attributedView() : nullptr)
        view->update();
}

} // namespace pictor
