#include "WidgetFixture.h"

#include "pictor/views/LivePhotoLoading.h"
#include "pictor/views/LivePhotoView.h"

#include <QLabel>

using namespace pictor;

class LivePhotoViewTest : public WidgetFixture {
protected:
    LivePhotoSource photo(const QString& still = QStringLiteral("/image.png")) const
    {
        return LivePhotoSource::fromURLs({server.url(still), server.url(QStringLiteral("/movie.mp4"))});
    }
    struct Results {
        QList<Result<RetrieveLivePhotoResult, PictorError>> list;
        LivePhotoLoading::Completion record()
        {
            return [this](Result<RetrieveLivePhotoResult, PictorError> result) { list.append(std::move(result)); };
        }
    };
};

TEST_F(LivePhotoViewTest, ShowsTheStillAndPlaysTheMovieThroughTheGivenView)
{
    LivePhotoView view;
    QUrl played;
    view.setMovieViewFactory([&](const QUrl& movie, QWidget* parent) {
        played = movie;
        return new QLabel(QStringLiteral("movie"), parent);
    });
    EXPECT_FALSE(view.playMovie()) << "nothing to play yet";
    Results results;
    ASSERT_TRUE(LivePhotoLoading::setLivePhoto(&view, photo(), std::nullopt, results.record()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return results.list.size() == 1; }, 10000));
    ASSERT_TRUE(results.list[0].isSuccess()) << results.list[0].error().what();
    ASSERT_TRUE(view.image());
    EXPECT_EQ(view.image()->bitmap().size(), QSize(32, 24));
    ASSERT_TRUE(view.playMovie());
    EXPECT_TRUE(view.isPlayingMovie());
    EXPECT_TRUE(played.isLocalFile());
    view.setLivePhoto(std::nullopt);
    EXPECT_FALSE(view.isPlayingMovie());
}

TEST_F(LivePhotoViewTest, EveryLoadEndsOnceWhateverHappensToIt)
{
    Results results;
    LivePhotoView view;
    EXPECT_FALSE(LivePhotoLoading::setLivePhoto(&view, std::nullopt, std::nullopt, results.record()));
    ASSERT_EQ(results.list.size(), 1);
    EXPECT_EQ(results.list[0].error().reason(), PictorError::Reason::emptySource);

    // Overtaken, stopped, and a view destroyed meanwhile.
    LivePhotoLoading::setLivePhoto(&view, photo(QStringLiteral("/slow.png")), std::nullopt, results.record());
    std::optional<std::stop_source> stop = LivePhotoLoading::setLivePhoto(&view, photo(QStringLiteral("/slow.png?b")), std::nullopt, results.record());
    stop->request_stop();
    auto* gone = new LivePhotoView;
    LivePhotoLoading::setLivePhoto(gone, photo(QStringLiteral("/slow.png?c")), std::nullopt, results.record());
    delete gone;
    ASSERT_TRUE(QTest::qWaitFor([&] { return results.list.size() == 4; }, 10000));
    QTest::qWait(100);
    ASSERT_EQ(results.list.size(), 4);
    QList<PictorError::Reason> reasons;
    for (qsizetype i = 1; i < 4; ++i)
        reasons.append(results.list[i].error().reason());
    std::sort(reasons.begin(), reasons.end());
    EXPECT_EQ(reasons, (QList<PictorError::Reason>{PictorError::Reason::livePhotoTaskCancelled, PictorError::Reason::notCurrentLivePhotoSourceTask,
                                                   PictorError::Reason::notCurrentLivePhotoSourceTask}));
}
