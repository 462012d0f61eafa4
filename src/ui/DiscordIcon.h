#pragma once

#include <QCoro/QCoroTask>
#include <QImage>
#include <QUrl>
#include <QWidget>

#include <stop_token>

class Http;
class Spinner;

// The community chat icon, fetched once from the asset host and drawn as a white silhouette
// in 24 by 24, two pixels above its slot's centre. While it loads a small wheel turns; when it
// cannot be loaded the white "link" symbol stands in, without another attempt.
class DiscordIcon : public QWidget {
    Q_OBJECT

public:
    enum class Phase { Loading, Loaded, Failed };
    static constexpr int kSide = 24;

    // The icon of the current asset host, through the shared transfer stack.
    explicit DiscordIcon(QWidget* parent = nullptr);
    DiscordIcon(const QUrl& url, Http& http, QWidget* parent = nullptr);
    // Ends a transfer still under way.
    ~DiscordIcon() override;

    static QUrl defaultUrl();

    Phase phase() const { return phase_; }
    QSize sizeHint() const override;

signals:
    void phaseChanged(DiscordIcon::Phase phase);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QCoro::Task<> load(QUrl url, Http& http, std::stop_token stop);
    void finish(const QImage& icon);

    Phase phase_ = Phase::Loading;
    QImage icon_;
    Spinner* spinner_;
    std::stop_source stop_;
};
