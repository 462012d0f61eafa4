#pragma once

#include "screens/browse/HeroBackdrop.h"

class AppStore;
class ExploreHeroDiscordButton;

// The top block of the Explore page: the catalogue's Explore video (or the gradient) behind the
// page title, two tagline lines and the community button. It follows the platform statistics
// for the video and the invite link.
class ExploreHero : public HeroBackdrop {
    Q_OBJECT

public:
    static constexpr qreal kHeightShare = 0.57;

    explicit ExploreHero(AppStore& appStore, QWidget* parent = nullptr);

    ExploreHeroDiscordButton* discordButton() const { return discord_; }

private:
    void followStats();

    AppStore& appStore_;
    ExploreHeroDiscordButton* discord_;
};
