#include "screens/settings/StoredStateNotice.h"

#include "foundation/UserDefaults.h"
#include "screens/settings/LinkText.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QVBoxLayout>

StoredStateNotice::StoredStateNotice(UserDefaults& defaults, QWidget* parent) : QWidget(parent), defaults_(defaults)
{
    auto* lines = new QVBoxLayout(this);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(8);
    text_ = (new TextLabel(QString(), Theme::systemFont(13), QColor(0xff, 0xc8, 0x6b)))->wrapped();
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lines->addWidget(text_);
    dismiss_ = new LinkText(tr("Dismiss"), 12, Theme::withOpacity(Qt::white, 0.5));
    lines->addWidget(dismiss_, 0, Qt::AlignLeft);
    connect(dismiss_, &LinkText::clicked, this, [this] { defaults_.dismissNotice(); });
    connect(&defaults_, &UserDefaults::noticeChanged, this, &StoredStateNotice::follow);
    follow();
}

void StoredStateNotice::follow()
{
    const QString notice = defaults_.notice();
    text_->setText(notice);
    dismiss_->setVisible(defaults_.canDismissNotice());
    setVisible(!notice.isEmpty());
}
