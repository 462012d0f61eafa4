#include "pictor/core/PictorError.h"

namespace pictor {

PictorError::PictorError(Reason reason, QStringList parts, Extra extra)
    : reason_(reason), parts_(std::move(parts)), number_(extra.number), constrained_(extra.constrained),
      hasResult_(extra.hasResult), hasError_(extra.hasError)
{
    what_ = errorDescription().value_or(QStringLiteral("Pictor error %1").arg(errorCode())).toUtf8();
}

PictorError PictorError::withOptionals(Reason reason, const std::optional<QString>& result,
                                       const std::optional<QString>& error, const QString& source)
{
    return PictorError(reason, {result.value_or(QStringLiteral("nil")), error.value_or(QStringLiteral("nil")), source},
                       {.hasResult = result.has_value(), .hasError = error.has_value()});
}

PictorError PictorError::emptyRequest() { return PictorError(Reason::emptyRequest, {}); }
PictorError PictorError::invalidURL(const QString& request) { return PictorError(Reason::invalidURL, {request}); }
PictorError PictorError::taskCancelled(const QString& task, qint64 token)
{
    return PictorError(Reason::taskCancelled, {task}, {.number = token});
}
PictorError PictorError::livePhotoTaskCancelled(const QString& source) { return PictorError(Reason::livePhotoTaskCancelled, {source}); }
PictorError PictorError::asyncTaskContextCancelled() { return PictorError(Reason::asyncTaskContextCancelled, {}); }
PictorError PictorError::invalidURLResponse(const QString& response) { return PictorError(Reason::invalidURLResponse, {response}); }
PictorError PictorError::invalidHTTPStatusCode(int statusCode, const QString& response)
{
    return PictorError(Reason::invalidHTTPStatusCode, {response}, {.number = statusCode});
}
PictorError PictorError::urlSessionError(const QString& error, bool constrainedNetwork)
{
    return PictorError(Reason::URLSessionError, {error}, {.constrained = constrainedNetwork});
}
PictorError PictorError::dataModifyingFailed(const QString& task) { return PictorError(Reason::dataModifyingFailed, {task}); }
PictorError PictorError::noURLResponse(const QString& task) { return PictorError(Reason::noURLResponse, {task}); }
PictorError PictorError::cancelledByDelegate(const QString& response) { return PictorError(Reason::cancelledByDelegate, {response}); }
PictorError PictorError::fileEnumeratorCreationFailed(const QString& url) { return PictorError(Reason::fileEnumeratorCreationFailed, {url}); }
PictorError PictorError::invalidFileEnumeratorContent(const QString& url) { return PictorError(Reason::invalidFileEnumeratorContent, {url}); }
PictorError PictorError::invalidURLResource(const QString& error, const QString& key, const QString& url)
{
    return PictorError(Reason::invalidURLResource, {error, key, url});
}
PictorError PictorError::cannotLoadDataFromDisk(const QString& url, const QString& error)
{
    return PictorError(Reason::cannotLoadDataFromDisk, {url, error});
}
PictorError PictorError::cannotCreateDirectory(const QString& path, const QString& error)
{
    return PictorError(Reason::cannotCreateDirectory, {path, error});
}
PictorError PictorError::imageNotExisting(const QString& key) { return PictorError(Reason::imageNotExisting, {key}); }
PictorError PictorError::cannotConvertToData(const QString& object, const QString& error)
{
    return PictorError(Reason::cannotConvertToData, {object, error});
}
PictorError PictorError::cannotSerializeImage(const QString& image, const QString& original, const QString& serializer)
{
    return PictorError(Reason::cannotSerializeImage, {image, original, serializer});
}
PictorError PictorError::cannotCreateCacheFile(const QString& fileURL, const QString& key, qint64 dataLength, const QString& error)
{
    return PictorError(Reason::cannotCreateCacheFile, {fileURL, key, error}, {.number = dataLength});
}
PictorError PictorError::cannotSetCacheFileAttribute(const QString& filePath, const QString& attributes, const QString& error)
{
    return PictorError(Reason::cannotSetCacheFileAttribute, {filePath, attributes, error});
}
PictorError PictorError::diskStorageIsNotReady(const QString& cacheURL) { return PictorError(Reason::diskStorageIsNotReady, {cacheURL}); }
PictorError PictorError::missingLivePhotoResourceOnDisk(const QString& resource)
{
    return PictorError(Reason::missingLivePhotoResourceOnDisk, {resource});
}
PictorError PictorError::processingFailed(const QString& processor, const QString& item)
{
    return PictorError(Reason::processingFailed, {processor, item});
}
PictorError PictorError::emptySource() { return PictorError(Reason::emptySource, {}); }
PictorError PictorError::notCurrentSourceTask(const std::optional<QString>& result, const std::optional<QString>& error, const QString& source)
{
    return withOptionals(Reason::notCurrentSourceTask, result, error, source);
}
PictorError PictorError::dataProviderError(const QString& provider, const QString& error)
{
    return PictorError(Reason::dataProviderError, {provider, error});
}
PictorError PictorError::alternativeSourcesExhausted(const QString& propagationErrors)
{
    return PictorError(Reason::alternativeSourcesExhausted, {propagationErrors});
}
PictorError PictorError::notCurrentLivePhotoSourceTask(const std::optional<QString>& result, const std::optional<QString>& error,
                                                       const QString& source)
{
    return withOptionals(Reason::notCurrentLivePhotoSourceTask, result, error, source);
}
PictorError PictorError::livePhotoResultError(const std::optional<QString>& result, const std::optional<QString>& error, const QString& source)
{
    return withOptionals(Reason::livePhotoResultError, result, error, source);
}

PictorError::Stage PictorError::stage() const
{
    return Stage(errorCode() / 1000 - 1);
}

std::optional<QString> PictorError::errorDescription() const
{
    const auto part = [this](int i) { return parts_.value(i); };
    switch (reason_) {
    case Reason::emptyRequest:
        return QStringLiteral("The request is empty or `nil`.");
    case Reason::invalidURL:
        return "The request contains an invalid or empty URL. Request: " + part(0) + ".";
    case Reason::taskCancelled:
        return "The session task was cancelled. Task: " + part(0) + ", cancel token: " + QString::number(number_) + ".";
    case Reason::livePhotoTaskCancelled:
        return "The live photo download task was cancelled. Source: " + part(0);
    case Reason::asyncTaskContextCancelled:
        return QStringLiteral("The async task context was cancelled. This usually happens when the task is cancelled before it starts.");
    case Reason::invalidURLResponse:
        return "The URL response is invalid: " + part(0);
    case Reason::invalidHTTPStatusCode:
        return "The HTTP status code in response is invalid. Code: " + QString::number(number_) + ", response: " + part(0) + ".";
    case Reason::URLSessionError:
        return "A URL session error happened. The underlying error: " + part(0);
    case Reason::dataModifyingFailed:
        return "The data modifying delegate returned `nil` for the downloaded data. Task: " + part(0) + ".";
    case Reason::noURLResponse:
        return "No URL response received. Task: " + part(0) + ".";
    case Reason::cancelledByDelegate:
        return "The downloading task is cancelled by the downloader delegate. Response: " + part(0) + ".";
    case Reason::fileEnumeratorCreationFailed:
        return "Cannot create file enumerator for URL: " + part(0) + ".";
    case Reason::invalidFileEnumeratorContent:
        return "Cannot get contents from the file enumerator at URL: " + part(0) + ".";
    case Reason::invalidURLResource:
        return "Cannot get URL resource values or data for the given URL: " + part(2) + ". Cache key: " + part(1) +
               ". Underlying error: " + part(0);
    case Reason::cannotLoadDataFromDisk:
        return "Cannot load data from disk at URL: " + part(0) + ". Underlying error: " + part(1);
    case Reason::cannotCreateDirectory:
        return "Cannot create directory at given path: Path: " + part(0) + ". Underlying error: " + part(1);
    case Reason::imageNotExisting:
        return "The image is not in cache, but you requires it should only be from cache by enabling the `.onlyFromCache` option. Key: " +
               part(0) + ".";
    case Reason::cannotConvertToData:
        return "Cannot convert the input object to a `Data` object when storing it to disk cache. Object: " + part(0) +
               ". Underlying error: " + part(1);
    case Reason::cannotSerializeImage:
        return "Cannot serialize an image due to the cache serializer returning `nil`. Image: " + part(0) + ", original data: " + part(1) +
               ", serializer: " + part(2) + ".";
    case Reason::cannotCreateCacheFile:
        return "Cannot create cache file at url: " + part(0) + ", key: " + part(1) + ", data length: " + QString::number(number_) +
               ". Underlying foundation error: " + part(2) + ".";
    case Reason::cannotSetCacheFileAttribute:
        return "Cannot set file attribute for the cache file at path: " + part(0) + ", attributes: " + part(1) +
               ".Underlying foundation error: " + part(2) + ".";
    case Reason::diskStorageIsNotReady:
        return "The disk storage is not ready to use yet at URL: '" + part(0) +
               "'. This is usually caused by extremely lack of disk space. Ask users to free up some space and restart the app.";
    case Reason::missingLivePhotoResourceOnDisk:
        return "The live photo resource '" + part(0) + "' is missing in the cache. Usually a re-download can fix this issue.";
    case Reason::processingFailed:
        return "Processing image failed. Processor: " + part(0) + ". Processing item: " + part(1) + ".";
    case Reason::emptySource:
        return QStringLiteral("The input resource is empty.");
    case Reason::notCurrentSourceTask:
    case Reason::notCurrentLivePhotoSourceTask: {
        const QString what = reason_ == Reason::notCurrentSourceTask ? QStringLiteral("resource") : QStringLiteral("live photo resource");
        if (hasResult_)
            return "Retrieving " + what + " succeeded, but this source is not the one currently expected. Result: " + part(0) +
                   ". Resource: " + part(2) + ".";
        if (hasError_)
            return "Retrieving " + what + " failed, and this resource is not the one currently expected. Error: " + part(1) +
                   ". Resource: " + part(2) + ".";
        return std::nullopt;
    }
    case Reason::dataProviderError:
        return "Image data provider fails to provide data. Provider: " + part(0) + ", error: " + part(1);
    case Reason::alternativeSourcesExhausted:
        return "Image setting from alternative sources failed: " + part(0);
    case Reason::livePhotoResultError:
        return "An error occurred while processing live photo. Source: " + part(2) + ". Result: " + part(0) + ". Error: " + part(1);
    }
    return std::nullopt;
}

} // namespace pictor
