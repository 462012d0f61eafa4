#pragma once

#include <QString>
#include <QStringList>

#include <any>
#include <exception>
#include <optional>

namespace pictor {

// Every failure the image library reports: the stage that failed and, within it, the reason, with
// its fixed code and English description. Payload objects travel as their descriptions; the few
// values that callers test (status code, cancel token, constrained network) are kept as values,
// and so are the objects some reasons carry: an overtaken load's result (notCurrentSourceTask) and
// the failures of every source tried (alternativeSourcesExhausted, a QList<PropagationError>).
// Thrown by the asynchronous forms, carried inside a Result by the completion forms.
class PictorError : public std::exception {
public:
    enum class Stage { requestError, responseError, cacheError, processorError, imageSettingError };

    // The value of each reason is its error code.
    enum class Reason {
        emptyRequest = 1001,
        invalidURL,
        taskCancelled,
        livePhotoTaskCancelled,
        asyncTaskContextCancelled,
        invalidURLResponse = 2001,
        invalidHTTPStatusCode,
        URLSessionError,
        dataModifyingFailed,
        noURLResponse,
        cancelledByDelegate,
        fileEnumeratorCreationFailed = 3001,
        invalidFileEnumeratorContent,
        invalidURLResource,
        cannotLoadDataFromDisk,
        cannotCreateDirectory,
        imageNotExisting,
        cannotConvertToData,
        cannotSerializeImage,
        cannotCreateCacheFile,
        cannotSetCacheFileAttribute,
        diskStorageIsNotReady,
        missingLivePhotoResourceOnDisk,
        processingFailed = 4001,
        emptySource = 5001,
        notCurrentSourceTask,
        dataProviderError,
        alternativeSourcesExhausted,
        notCurrentLivePhotoSourceTask,
        livePhotoResultError,
    };

    static QString domain() { return QStringLiteral("com.quillmoth.Pictor.Error"); }

    // Request stage.
    static PictorError emptyRequest();
    static PictorError invalidURL(const QString& request);
    static PictorError taskCancelled(const QString& task, qint64 token);
    static PictorError livePhotoTaskCancelled(const QString& source);
    static PictorError asyncTaskContextCancelled();
    // Response stage.
    static PictorError invalidURLResponse(const QString& response);
    static PictorError invalidHTTPStatusCode(int statusCode, const QString& response);
    static PictorError urlSessionError(const QString& error, bool constrainedNetwork = false);
    static PictorError dataModifyingFailed(const QString& task);
    static PictorError noURLResponse(const QString& task);
    static PictorError cancelledByDelegate(const QString& response);
    // Cache stage.
    static PictorError fileEnumeratorCreationFailed(const QString& url);
    static PictorError invalidFileEnumeratorContent(const QString& url);
    static PictorError invalidURLResource(const QString& error, const QString& key, const QString& url);
    static PictorError cannotLoadDataFromDisk(const QString& url, const QString& error);
    static PictorError cannotCreateDirectory(const QString& path, const QString& error);
    static PictorError imageNotExisting(const QString& key);
    static PictorError cannotConvertToData(const QString& object, const QString& error);
    static PictorError cannotSerializeImage(const QString& image, const QString& original, const QString& serializer);
    static PictorError cannotCreateCacheFile(const QString& fileURL, const QString& key, qint64 dataLength, const QString& error);
    static PictorError cannotSetCacheFileAttribute(const QString& filePath, const QString& attributes, const QString& error);
    static PictorError diskStorageIsNotReady(const QString& cacheURL);
    static PictorError missingLivePhotoResourceOnDisk(const QString& resource);
    // Processor stage.
    static PictorError processingFailed(const QString& processor, const QString& item);
    // Image-setting stage. An absent result or error is passed as nullopt.
    static PictorError emptySource();
    static PictorError notCurrentSourceTask(const std::optional<QString>& result, const std::optional<QString>& error, const QString& source);
    static PictorError dataProviderError(const QString& provider, const QString& error);
    static PictorError alternativeSourcesExhausted(const QString& propagationErrors);
    static PictorError notCurrentLivePhotoSourceTask(const std::optional<QString>& result, const std::optional<QString>& error, const QString& source);
    static PictorError livePhotoResultError(const std::optional<QString>& result, const std::optional<QString>& error, const QString& source);

    Stage stage() const;
    Reason reason() const { return reason_; }
    qint64 errorCode() const { return qint64(reason_); }
    // Absent only for the not-current reasons that carry neither a result nor an error.
    std::optional<QString> errorDescription() const;
    const char* what() const noexcept override { return what_.constData(); }

    bool isTaskCancelled() const { return reason_ == Reason::taskCancelled; }
    bool isInvalidResponseStatusCode() const { return reason_ == Reason::invalidHTTPStatusCode; }
    bool isInvalidResponseStatusCode(qint64 statusCode) const { return isInvalidResponseStatusCode() && number_ == statusCode; }
    bool isNotCurrentTask() const { return reason_ == Reason::notCurrentSourceTask; }
    bool isConstrainedNetworkError() const { return reason_ == Reason::URLSessionError && constrained_; }
    // The cancel token of taskCancelled, the status code of invalidHTTPStatusCode.
    qint64 number() const { return number_; }
    // The object the error carries, when it is a T.
    template <typename T>
    const T* payload() const { return std::any_cast<T>(&payload_); }
    PictorError withPayload(std::any payload) const
    {
        PictorError carrying = *this;
        carrying.payload_ = std::move(payload);
        return carrying;
    }

private:
    struct Extra {
        qint64 number = 0;
        bool constrained = false;
        bool hasResult = false;
        bool hasError = false;
    };
    PictorError(Reason reason, QStringList parts) : PictorError(reason, std::move(parts), Extra()) {}
    PictorError(Reason reason, QStringList parts, Extra extra);
    static PictorError withOptionals(Reason reason, const std::optional<QString>& result,
                                     const std::optional<QString>& error, const QString& source);

    Reason reason_;
    QStringList parts_;
    qint64 number_ = 0;
    bool constrained_ = false;
    // Which of result and error the not-current and live-photo reasons carry.
    bool hasResult_ = false;
    bool hasError_ = false;
    std::any payload_;
    QByteArray what_;
};

} // namespace pictor
