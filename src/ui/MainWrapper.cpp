#include "ui/MainWrapper.h"

#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kHomeHorizontal = 50;
constexpr int kHomeVertical = 10;

int nonNegative(qreal padding) { return std::isnan(padding) ? 0 : qRound(std::max<qreal>(padding, 0)); }
} // namespace

MainWrapper::MainWrapper(QWidget* content, qreal baseHorizontalPadding, qreal baseVerticalPadding,
    MainWrapperStyle style, QWidget* parent)
    : QWidget(parent), content_(content)
{
    auto* column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(padding(style, baseHorizontalPadding, baseVerticalPadding));
    column->addWidget(content);
}

QMargins MainWrapper::padding(MainWrapperStyle style, qreal baseHorizontalPadding, qreal baseVerticalPadding)
{
    if (style == MainWrapperStyle::Home)
        return {kHomeHorizontal, kHomeVertical, kHomeHorizontal, kHomeVertical};
    const int horizontal = nonNegative(baseHorizontalPadding);
    const int vertical = nonNegative(baseVerticalPadding);
    return {horizontal, vertical, horizontal, vertical};
}
