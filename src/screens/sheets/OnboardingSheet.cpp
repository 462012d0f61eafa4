#include "screens/sheets/OnboardingSheet.h"

#include "screens/sheets/OnboardingPrimaryButton.h"
#include "screens/sheets/PromotionalSheetCard.h"
#include "ui/Theme.h"
#include "ui/VideoPlayerPool.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 440;
constexpr int kBannerPadding = 22;

QLabel* label(const QString& text, const QFont& font, const QColor& color, bool wraps = false)
{
    auto* made = new TextLabel(text, font, color);
    made->setWordWrap(wraps);
    return made;
}
} // namespace

OnboardingSheet::OnboardingSheet(const Texts& texts, const std::optional<QUrl>& videoURL, std::function<void()> onButtonClick,
    std::function<void()> close, QWidget* parent)
    : OnboardingSheet(texts, videoURL, std::move(onButtonClick), std::move(close), VideoPlayerPool::shared(), parent)
{
}

OnboardingSheet::OnboardingSheet(const Texts& texts, const std::optional<QUrl>& videoURL, std::function<void()> onButtonClick,
    std::function<void()> close, VideoPlayerPool& players, QWidget* parent)
    : QWidget(parent), onButtonClick_(std::move(onButtonClick)), close_(std::move(close))
{
    PromotionalSheetCard::Options options;
    options.videoURL = videoURL;
    options.width = kWidth;
    options.cornerRadius = 0;
    options.welcomeBannerPadding = kBannerPadding;
    options.onClose = [this] { close_(); };
    card_ = new PromotionalSheetCard(options, createWelcomeBlock(texts), nullptr, players);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(card_);
}

QSize OnboardingSheet::sizeHint() const { return card_->sizeHint(); }

QWidget* OnboardingSheet::createWelcomeBlock(const Texts& texts)
{
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(24, 0, 24, 32);
    column->setSpacing(40);

    auto* words = new QVBoxLayout;
    words->setSpacing(6);
    words->addWidget(label(texts.subtitle, Theme::systemFont(17), QColor(255, 214, 10)));
    words->addWidget(label(texts.title, Theme::systemFont(28, QFont::Bold), Qt::white));
    // Wrapped and never cut: the sheet grows with the description.
    words->addWidget(label(texts.description, Theme::systemFont(15), Theme::withOpacity(Qt::white, 0.9), true));
    column->addLayout(words);

    button_ = new OnboardingPrimaryButton(texts.buttonText);
    connect(button_, &OnboardingPrimaryButton::clicked, this, [this] {
        onButtonClick_();
        close_();
    });
    column->addWidget(button_, 0, Qt::AlignLeft);
    return block;
}
