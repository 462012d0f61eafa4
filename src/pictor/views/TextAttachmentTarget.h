#pragma once

#include "pictor/views/ImageSettable.h"
#include "pictor/views/TextAttachment.h"

namespace pictor {

// A text attachment as a load target: its image is the document's resource; the text is laid
// out again and its widget repainted once an image (or the failure image) is applied, never for
// placeholders or progressive images. Each resource name is a slot of the document.
class TextAttachmentTarget : public ImageSettable {
public:
    explicit TextAttachmentTarget(TextAttachment attachment) : attachment_(std::move(attachment)) {}

    QObject* object() const override { return attachment_.document; }
    ImageTaskSlot slot() const override { return ImageTaskSlot::named(QStringLiteral("attachment:") + attachment_.name.toString()); }
    void setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&) override;
    std::optional<Image> image() const override;
    void showPlaceholder(const std::shared_ptr<Placeholder>& placeholder, bool keepCurrent, const PictorParsedOptionsInfo& options) override;
    void didApplyResult() override;

private:
    TextAttachment attachment_;
};

} // namespace pictor
