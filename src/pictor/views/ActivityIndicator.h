#pragma once

#include "pictor/views/Indicator.h"
#include "pictor/views/SpinnerView.h"

#include <QPointer>

namespace pictor {

// The spinner indicator. Starts nest: it spins from the first start until as many stops have
// come, so overlapping loads keep it visible until the last one ends. GUI thread only.
class ActivityIndicator : public Indicator {
public:
    ActivityIndicator();
    ~ActivityIndicator() override;

    void startAnimatingView() override;
    void stopAnimatingView() override;
    QWidget* view() const override { return spinner_; }
    IndicatorSizeStrategy sizeStrategy(const ImageView&) const override { return IndicatorSizeStrategy::intrinsicSize(); }
    int animatingCount() const { return animatingCount_; }

private:
    QPointer<SpinnerView> spinner_;
    int animatingCount_ = 0;
};

} // namespace pictor
