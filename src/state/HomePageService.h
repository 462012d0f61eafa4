#pragma once

#include "backend/WallpaperResponseItem.h"
#include "state/HomePageSection.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>

class APIService;
struct HomePageResponse;

// The home feed: loads the home page document once per run and publishes the hero carousel and
// the sections in a fixed order (sorted by their keys, empty ones left out). Also carries the
// flags the home screen and the root view share about the popular row, the start-up loader and
// the one-time ready message. GUI thread; one shared instance kept until exit.
class HomePageService : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<WallpaperResponseItem> heroCarousel READ heroCarousel NOTIFY heroCarouselChanged)
    Q_PROPERTY(QList<HomePageSection> sections READ sections NOTIFY sectionsChanged)
    Q_PROPERTY(bool isLoaded READ isLoaded NOTIFY isLoadedChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool isPopularSectionLoaded READ isPopularSectionLoaded WRITE setPopularSectionLoaded
                   NOTIFY isPopularSectionLoadedChanged)
    Q_PROPERTY(bool isShowingLoader READ isShowingLoader WRITE setShowingLoader NOTIFY isShowingLoaderChanged)
    Q_PROPERTY(bool isShowingReadyMessage READ isShowingReadyMessage WRITE setShowingReadyMessage
                   NOTIFY isShowingReadyMessageChanged)
    Q_PROPERTY(QList<WallpaperResponseItem> popularWallpapers READ popularWallpapers WRITE setPopularWallpapers
                   NOTIFY popularWallpapersChanged)

public:
    // Uses the shared backend client.
    explicit HomePageService(QObject* parent = nullptr);
    explicit HomePageService(APIService& api, QObject* parent = nullptr);

    static HomePageService& shared();

    // Loads and assembles the feed unless it is loaded or loading (each case prints its line and
    // returns). A failed request leaves the feed as it was and is rethrown to the caller.
    QCoro::Task<> loadHomePage();

    // The heading of an untitled section: underscores become spaces, empty words are dropped
    // and each word's first character is upper-cased ("new_arrivals" -> "New Arrivals").
    static QString titleFromKey(const QString& key);
    // The response's sections in key order (Unicode scalar values of the NFC forms), empty
    // sections left out, each with a fresh id.
    static QList<HomePageSection> assembleSections(const HomePageResponse& response);

    const QList<WallpaperResponseItem>& heroCarousel() const { return heroCarousel_; }
    const QList<HomePageSection>& sections() const { return sections_; }
    bool isLoaded() const { return isLoaded_; }
    bool isLoading() const { return isLoading_; }

    bool isPopularSectionLoaded() const { return isPopularSectionLoaded_; }
    void setPopularSectionLoaded(bool loaded);
    bool isShowingLoader() const { return isShowingLoader_; }
    void setShowingLoader(bool showing);
    bool isShowingReadyMessage() const { return isShowingReadyMessage_; }
    void setShowingReadyMessage(bool showing);
    // Plain flag, not published: whether the ready message was shown in this run.
    bool hasShownReadyMessage() const { return hasShownReadyMessage_; }
    void setHasShownReadyMessage(bool shown) { hasShownReadyMessage_ = shown; }
    const QList<WallpaperResponseItem>& popularWallpapers() const { return popularWallpapers_; }
    void setPopularWallpapers(QList<WallpaperResponseItem> wallpapers);

Q_SIGNALS:
    void heroCarouselChanged();
    void sectionsChanged();
    void isLoadedChanged();
    void isLoadingChanged();
    void isPopularSectionLoadedChanged();
    void isShowingLoaderChanged();
    void isShowingReadyMessageChanged();
    void popularWallpapersChanged();

private:
    void setLoading(bool loading);
    void publish(const HomePageResponse& response);

    APIService& api_;
    QList<WallpaperResponseItem> heroCarousel_;
    QList<HomePageSection> sections_;
    bool isLoaded_ = false;
    bool isLoading_ = false;
    bool isPopularSectionLoaded_ = false;
    bool isShowingLoader_ = true;
    bool isShowingReadyMessage_ = false;
    bool hasShownReadyMessage_ = false;
    QList<WallpaperResponseItem> popularWallpapers_;
};
