#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class OnboardingPrimaryButton;
class PromotionalSheetCard;
class VideoPlayerPool;

// The welcome sheet of a new user: a promotional card 440 wide, square, with its looping banner
// video, a greeting, a headline, a description shown in full, and one button. The button runs
// the presenter's action and then closes the sheet; the card's close button only closes it.
// Closing means calling `close`, which clears the presenter's flag. GUI thread.
class OnboardingSheet : public QWidget {
    Q_OBJECT

public:
    struct Texts {
        QString subtitle;
        QString title;
        QString description;
        QString buttonText;
    };

    OnboardingSheet(const Texts& texts, const std::optional<QUrl>& videoURL, std::function<void()> onButtonClick,
        std::function<void()> close, QWidget* parent = nullptr);
    OnboardingSheet(const Texts& texts, const std::optional<QUrl>& videoURL, std::function<void()> onButtonClick,
        std::function<void()> close, VideoPlayerPool& players, QWidget* parent = nullptr);

    PromotionalSheetCard* card() const { return card_; }
    OnboardingPrimaryButton* primaryButton() const { return button_; }

    QSize sizeHint() const override;

private:
    QWidget* createWelcomeBlock(const Texts& texts);

    std::function<void()> onButtonClick_;
    std::function<void()> close_;
    OnboardingPrimaryButton* button_ = nullptr;
    PromotionalSheetCard* card_;
};
