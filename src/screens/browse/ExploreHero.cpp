#include "screens/browse/ExploreHero.h"

#include "screens/browse/ExploreHeroDiscordButton.h"
#include "state/AppStore.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QVBoxLayout>

ExploreHero::ExploreHero(AppStore& appStore, QWidget* parent)
    : HeroBackdrop(parent), appStore_(appStore), discord_(new ExploreHeroDiscordButton(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 40);
    column->setSpacing(16);
    column->addStretch(33);
    column->addWidget(new TextLabel(tr("Explore"), Theme::systemFont(40, QFont::Bold),
                          Theme::withOpacity(Qt::white, 0.85), this),
        0, Qt::AlignHCenter);
    auto* taglines = new QVBoxLayout;
    taglines->setSpacing(4);
    for (const QString& line : {tr("Let your wallpaper tell a story. No ads. No Limits."),
             tr("Made for Your Desktop.")}) {
        taglines->addWidget(new TextLabel(line, Theme::font(Theme::TextStyle::Title3, QFont::Normal),
                                Theme::withOpacity(Qt::white, 0.9), this),
            0, Qt::AlignHCenter);
    }
    column->addLayout(taglines);
    column->addSpacing(8);
    column->addWidget(discord_, 0, Qt::AlignHCenter);
    column->addStretch(67);
    connect(&appStore_, &AppStore::platformStatsChanged, this, &ExploreHero::followStats);
    followStats();
}

void ExploreHero::followStats()
{
    const auto& stats = appStore_.platformStats();
    setVideoAddress(stats ? stats->explorePageVideo : std::nullopt);
    discord_->setInviteUrl(stats ? stats->discordInviteUrl : std::nullopt);
}
