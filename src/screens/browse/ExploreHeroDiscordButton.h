#pragma once

#include "ui/PressableWidget.h"

#include <QString>

class DiscordIcon;

// The capsule button of the Explore hero that opens the community chat's invite link: the chat
// icon and "Join Discord" in white on the chat's purple, slightly lighter and 2% larger while
// hovered. A link that is no URL makes the click do nothing.
class ExploreHeroDiscordButton : public PressableWidget {
    Q_OBJECT

public:
    // Used while the platform statistics name no invite link.
    static inline const QString kDefaultInviteUrl = QStringLiteral("https://discord.gg/quorvelle");

    explicit ExploreHeroDiscordButton(QWidget* parent = nullptr);

    // The statistics' link, or the built-in one when they give none.
    void setInviteUrl(const std::optional<QString>& url);
    const QString& inviteUrl() const { return inviteUrl_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void openInviteLink();
    QRectF capsule() const;

    QString inviteUrl_ = kDefaultInviteUrl;
    DiscordIcon* icon_;
};
