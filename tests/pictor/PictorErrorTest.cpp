#include "pictor/core/PictorError.h"

#include <gtest/gtest.h>

using namespace pictor;

namespace {

struct ErrorCase {
    PictorError error;
    PictorError::Stage stage;
    qint64 code;
    std::optional<QString> description;
};

TEST(PictorErrorTest, EveryStageHasItsCodeAndText)
{
    const QList<ErrorCase> cases = {
        {PictorError::emptyRequest(), PictorError::Stage::requestError, 1001, QStringLiteral("The request is empty or `nil`.")},
        {PictorError::taskCancelled(QStringLiteral("T"), 7), PictorError::Stage::requestError, 1003,
         QStringLiteral("The session task was cancelled. Task: T, cancel token: 7.")},
        {PictorError::invalidHTTPStatusCode(404, QStringLiteral("R")), PictorError::Stage::responseError, 2002,
         QStringLiteral("The HTTP status code in response is invalid. Code: 404, response: R.")},
        {PictorError::cancelledByDelegate(QStringLiteral("R")), PictorError::Stage::responseError, 2006,
         QStringLiteral("The downloading task is cancelled by the downloader delegate. Response: R.")},
        {PictorError::imageNotExisting(QStringLiteral("abc")), PictorError::Stage::cacheError, 3006,
         QStringLiteral("The image is not in cache, but you requires it should only be from cache by enabling the "
                        "`.onlyFromCache` option. Key: abc.")},
        {PictorError::cannotCreateCacheFile(QStringLiteral("U"), QStringLiteral("k"), 12, QStringLiteral("E")),
         PictorError::Stage::cacheError, 3009,
         QStringLiteral("Cannot create cache file at url: U, key: k, data length: 12. Underlying foundation error: E.")},
        {PictorError::cannotSetCacheFileAttribute(QStringLiteral("p"), QStringLiteral("a"), QStringLiteral("E")),
         PictorError::Stage::cacheError, 3010,
         QStringLiteral("Cannot set file attribute for the cache file at path: p, attributes: a.Underlying foundation error: E.")},
        {PictorError::missingLivePhotoResourceOnDisk(QStringLiteral("r")), PictorError::Stage::cacheError, 3012,
         QStringLiteral("The live photo resource 'r' is missing in the cache. Usually a re-download can fix this issue.")},
        {PictorError::processingFailed(QStringLiteral("P"), QStringLiteral("I")), PictorError::Stage::processorError, 4001,
         QStringLiteral("Processing image failed. Processor: P. Processing item: I.")},
        {PictorError::emptySource(), PictorError::Stage::imageSettingError, 5001, QStringLiteral("The input resource is empty.")},
        {PictorError::notCurrentSourceTask(std::nullopt, std::nullopt, QStringLiteral("S")), PictorError::Stage::imageSettingError,
         5002, std::nullopt},
        {PictorError::notCurrentSourceTask(std::nullopt, QStringLiteral("E"), QStringLiteral("S")), PictorError::Stage::imageSettingError,
         5002,
         QStringLiteral("Retrieving resource failed, and this resource is not the one currently expected. Error: E. Resource: S.")},
        {PictorError::notCurrentLivePhotoSourceTask(QStringLiteral("R"), QStringLiteral("E"), QStringLiteral("S")),
         PictorError::Stage::imageSettingError, 5005,
         QStringLiteral("Retrieving live photo resource succeeded, but this source is not the one currently expected. Result: R. "
                        "Resource: S.")},
        {PictorError::livePhotoResultError(std::nullopt, QStringLiteral("E"), QStringLiteral("S")), PictorError::Stage::imageSettingError,
         5006, QStringLiteral("An error occurred while processing live photo. Source: S. Result: nil. Error: E")},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(c.error.stage(), c.stage);
        EXPECT_EQ(c.error.errorCode(), c.code);
        EXPECT_EQ(c.error.errorDescription(), c.description);
        EXPECT_STRNE(c.error.what(), "");
    }
}

TEST(PictorErrorTest, PredicatesMatchOnlyTheirReason)
{
    const PictorError notFound = PictorError::invalidHTTPStatusCode(404, QStringLiteral("R"));
    EXPECT_TRUE(notFound.isInvalidResponseStatusCode());
    EXPECT_TRUE(notFound.isInvalidResponseStatusCode(404));
    EXPECT_FALSE(notFound.isInvalidResponseStatusCode(500));
    EXPECT_FALSE(PictorError::emptyRequest().isInvalidResponseStatusCode(404));

    EXPECT_TRUE(PictorError::taskCancelled(QStringLiteral("T"), 1).isTaskCancelled());
    EXPECT_FALSE(PictorError::livePhotoTaskCancelled(QStringLiteral("S")).isTaskCancelled());
    EXPECT_FALSE(PictorError::asyncTaskContextCancelled().isTaskCancelled());

    EXPECT_TRUE(PictorError::notCurrentSourceTask(std::nullopt, std::nullopt, QStringLiteral("S")).isNotCurrentTask());
    EXPECT_FALSE(PictorError::notCurrentLivePhotoSourceTask(std::nullopt, std::nullopt, QStringLiteral("S")).isNotCurrentTask());

    EXPECT_TRUE(PictorError::urlSessionError(QStringLiteral("E"), true).isConstrainedNetworkError());
    EXPECT_FALSE(PictorError::urlSessionError(QStringLiteral("E")).isConstrainedNetworkError());
}

} // namespace
