#pragma once

#include "ui/PressableWidget.h"

#include <QColor>

#include <functional>
#include <optional>

class UrlOpener;

// A pill-shaped link of the settings page: a symbol chosen by an icon key ("discord" a speech
// bubble, "sparkles" sparkles, anything else a globe) and a text, outlined in white; while
// hovered the pill fills white and its content turns black. A press runs `onTap` when given,
// else opens `url` when it forms an address, else does nothing.
class CommunityButton : public PressableWidget {
    Q_OBJECT

public:
    CommunityButton(const QString& icon, const QString& text, std::optional<QString> url,
        std::function<void()> onTap, UrlOpener& opener, QWidget* parent = nullptr);

    static QString symbolFor(const QString& icon);
    const QString& symbol() const { return symbol_; }
    const std::optional<QString>& url() const { return url_; }
    void setUrl(std::optional<QString> url) { url_ = std::move(url); }
    QColor contentColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void press();

    QString symbol_;
    QString text_;
    std::optional<QString> url_;
    std::function<void()> onTap_;
    UrlOpener& opener_;
};
