#include "screens/library/PlaylistSheet.h"

#include "ui/FormControls.h"
#include "ui/SheetHost.h"
#include "ui/Theme.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QKeyEvent>
#include <QVBoxLayout>

PlaylistSheet::PlaylistSheet(QSize size, QWidget* parent)
    : QWidget(parent), size_(size), title_(new QLabel(this)), header_(new QHBoxLayout), body_(new QVBoxLayout)
{
    setFixedSize(size_);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Text, Qt::white);
    setPalette(palette);
    setFocusPolicy(Qt::StrongFocus);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    title_->setFont(Theme::font(Theme::TextStyle::Headline));
    title_->setTextFormat(Qt::PlainText);
    header_->setContentsMargins(16, 12, 16, 12);
    header_->setSpacing(FormControls::kButtonSpacing);
    header_->addWidget(title_, 1);
    column->addLayout(header_);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.12);"));
    column->addWidget(divider);
    body_->setContentsMargins(0, 0, 0, 0);
    body_->setSpacing(0);
    column->addLayout(body_, 1);
}

void PlaylistSheet::setTitle(const QString& title)
{
    // The header's buttons take at most half the width.
    title_->setText(QFontMetrics(title_->font()).elidedText(title, Qt::ElideMiddle, size_.width() / 2));
    title_->setToolTip(title);
}

void PlaylistSheet::addHeaderButton(QPushButton* button) { header_->addWidget(button); }

void PlaylistSheet::setDefaultButton(QPushButton* button) { default_ = button; }

void PlaylistSheet::dismiss()
{
    auto* host = qobject_cast<SheetHost*>(parentWidget());
    if (host && host->sheet() == this)
        host->dismiss();
}

void PlaylistSheet::keyPressEvent(QKeyEvent* event)
{
    // Fields pass Return on to their container, as they do in dialogs.
    const bool confirm = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (confirm && default_ && default_->isEnabled() && default_->isVisible())
        default_->click();
    else
        QWidget::keyPressEvent(event);
}

void PlaylistSheet::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), Theme::appBackgroundColor()); }
