#include "pictor/views/ActivityIndicator.h"

namespace pictor {

ActivityIndicator::ActivityIndicator() : spinner_(new SpinnerView) { spinner_->hide(); }

ActivityIndicator::~ActivityIndicator() { delete spinner_; }

void ActivityIndicator::startAnimatingView()
{
    if (animatingCount_ == 0 && spinner_) {
        spinner_->startAnimation();
        spinner_->show();
    }
    ++animatingCount_;
}

void ActivityIndicator::stopAnimatingView()
{
    const int remaining = animatingCount_ - 1;
    animatingCount_ = std::max(0, remaining);
    if (remaining > 0 || !spinner_)
        return;
    spinner_->stopAnimation();
    spinner_->hide();
}

} // namespace pictor
