#include "screens/search/SearchOverlayHost.h"

#include "backend/APIService.h"
#include "screens/search/SearchOverlayService.h"
#include "screens/search/SearchOverlayView.h"
#include "state/AppStore.h"
#include "ui/BrowseContext.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>

SearchOverlayHost::SearchOverlayHost(SearchOverlayService& service, BrowseContext* context, QWidget* parent)
    : SearchOverlayHost(service, context, APIService::shared(), AppStore::shared(), parent)
{
}

SearchOverlayHost::SearchOverlayHost(SearchOverlayService& service, BrowseContext* context, APIService& api, AppStore& store,
    QWidget* parent)
    : QWidget(parent), service_(service), context_(context), api_(api), store_(store)
{
    hide();
    if (parent)
        parent->installEventFilter(this);
    connect(&service_, &SearchOverlayService::isPresentedChanged, this, &SearchOverlayHost::follow);
    connect(&opacity_, &AnimatedValue::valueChanged, this, [this](double value) {
        if (effect_)
            effect_->setOpacity(value);
    });
    connect(&opacity_, &QAbstractAnimation::finished, this, &SearchOverlayHost::fadeFinished);
    if (service_.isPresented())
        follow(true);
}

SearchOverlayHost::~SearchOverlayHost() = default;

SearchOverlayView* SearchOverlayHost::view() const { return view_; }

void SearchOverlayHost::follow(bool presented)
{
    if (presented == bool(view_))
        return;
    delete leaving_;
    if (presented) {
        cover();
        view_ = new SearchOverlayView(service_, context_, api_, store_, this);
        view_->setGeometry(rect());
        show();
        raise();
        view_->show();
        fade(1);
        return;
    }
    view_->closeOverlay();
    leaving_ = view_;
    view_ = nullptr;
    fade(0);
}

void SearchOverlayHost::fade(double to)
{
    if (opacity_.value() == to) {
        fadeFinished();
        return;
    }
    // The effect renders the whole overlay off screen: worn only while it fades.
    effect_ = new QGraphicsOpacityEffect(this);
    effect_->setOpacity(opacity_.value());
    setGraphicsEffect(effect_);
    opacity_.animateTo(to, AnimatedValue::Curve::easeInOut(kFadeMs));
}

void SearchOverlayHost::fadeFinished()
{
    setGraphicsEffect(nullptr);
    effect_ = nullptr;
    if (view_)
        return;
    delete leaving_;
    hide();
}

void SearchOverlayHost::cover()
{
    if (parentWidget())
        setGeometry(parentWidget()->rect());
}

bool SearchOverlayHost::event(QEvent* event)
{
    // A host made before its window was known follows the window it is put into.
    if (event->type() == QEvent::ParentChange && parentWidget()) {
        parentWidget()->installEventFilter(this);
        cover();
    }
    return QWidget::event(event);
}

bool SearchOverlayHost::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        cover();
    return QWidget::eventFilter(watched, event);
}

void SearchOverlayHost::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (SearchOverlayView* view : {view_.data(), leaving_.data()})
        if (view)
            view->setGeometry(rect());
}
