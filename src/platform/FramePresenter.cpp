#include "platform/FramePresenter.h"

FramePresenter::~FramePresenter() = default;
