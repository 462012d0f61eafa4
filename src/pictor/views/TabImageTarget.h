#pragma once

#include "pictor/views/ImageSettable.h"

#include <QPointer>
#include <QTabWidget>

namespace pictor {

// A tab's icon as a load target. The load belongs to the tab's page, so it follows the tab when
// tabs move and is refused once the page goes; the image is kept on the page.
class TabImageTarget : public ImageSettable {
public:
    TabImageTarget(QTabWidget* tabs, QWidget* page) : tabs_(tabs), page_(page) {}

    QObject* object() const override { return page_; }
    ImageTaskSlot slot() const override { return ImageTaskSlot::named(QStringLiteral("tabIcon")); }
    void setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&) override;
    std::optional<Image> image() const override;

private:
    QPointer<QTabWidget> tabs_;
    QPointer<QWidget> page_;
};

} // namespace pictor
