#include "state/HomePageService.h"

#include "backend/APIService.h"
#include "backend/HomePageResponse.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "state/AssignChanged.h"

#include <QPointer>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {
void logService(const QString& message) { logLine(QStringLiteral("🔵"), QStringLiteral("HomePageService"), message); }

// The first user-visible character upper-cased (which may give several characters, "ß" ->
// "SS"); the rest of the word unchanged.
QString capitalised(const QString& word)
{
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, word);
    const qsizetype firstEnd = graphemes.toNextBoundary();
    const qsizetype split = firstEnd < 0 ? word.size() : firstEnd;
    return word.first(split).toUpper() + word.sliced(split);
}

// Orders texts by the Unicode scalar values of their NFC forms (so "Z..." sorts before "a...").
bool scalarLess(const QString& a, const QString& b)
{
    const QList<uint> left = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> right = b.normalized(QString::NormalizationForm_C).toUcs4();
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end());
}
} // namespace

HomePageService::HomePageService(QObject* parent) : HomePageService(APIService::shared(), parent) {}

HomePageService::HomePageService(APIService& api, QObject* parent) : QObject(parent), api_(api) {}

HomePageService& HomePageService::shared() { return Shared<HomePageService>::instance(); }

QCoro::Task<> HomePageService::loadHomePage()
{
    if (isLoaded_) {
        logService(QStringLiteral("Already loaded, skipping..."));
        co_return;
    }
    if (isLoading_) {
        logService(QStringLiteral("Already loading, skipping..."));
        co_return;
    }
    setLoading(true);
    QPointer<HomePageService> self(this);
    HomePageResponse response;
    try {
        response = co_await api_.getHomePage();
    } catch (...) {
        if (self)
            setLoading(false);
        throw;
    }
    if (self)
        publish(response);
}

void HomePageService::publish(const HomePageResponse& response)
{
    heroCarousel_ = response.heroCarousel.data;
    Q_EMIT heroCarouselChanged();
    sections_ = assembleSections(response);
    Q_EMIT sectionsChanged();
    if (assignChanged(isLoaded_, true))
        Q_EMIT isLoadedChanged();
    setLoading(false);
}

QList<HomePageSection> HomePageService::assembleSections(const HomePageResponse& response)
{
    QStringList keys = response.sections.keys();
    std::sort(keys.begin(), keys.end(), scalarLess);
    QList<HomePageSection> sections;
    for (const QString& key : std::as_const(keys)) {
        const HomeSectionData& block = response.sections[key];
        if (block.data.isEmpty())
            continue;
        sections.append(HomePageSection{QUuid::createUuid(), block.title.value_or(titleFromKey(key)),
            block.subtitle.value_or(QString()), block.data});
    }
    return sections;
}

QString HomePageService::titleFromKey(const QString& key)
{
    QString spaced = key;
    spaced.replace(QLatin1Char('_'), QLatin1Char(' '));
    QStringList words = spaced.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& word : words)
        word = capitalised(word);
    return words.join(QLatin1Char(' '));
}

void HomePageService::setLoading(bool loading)
{
    if (assignChanged(isLoading_, loading))
        Q_EMIT isLoadingChanged();
}

void HomePageService::setPopularSectionLoaded(bool loaded)
{
    if (assignChanged(isPopularSectionLoaded_, loaded))
        Q_EMIT isPopularSectionLoadedChanged();
}

void HomePageService::setShowingLoader(bool showing)
{
    if (assignChanged(isShowingLoader_, showing))
        Q_EMIT isShowingLoaderChanged();
}

void HomePageService::setShowingReadyMessage(bool showing)
{
    if (assignChanged(isShowingReadyMessage_, showing))
        Q_EMIT isShowingReadyMessageChanged();
}

void HomePageService::setPopularWallpapers(QList<WallpaperResponseItem> wallpapers)
{
    // Items have no equality of their own; every list handed in counts as new.
    popularWallpapers_ = std::move(wallpapers);
    Q_EMIT popularWallpapersChanged();
}
