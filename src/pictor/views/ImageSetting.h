#pragma once

#include "pictor/networking/DownloadTask.h"
#include "pictor/views/ImageSettable.h"
#include "pictor/core/PictorError.h"
#include "pictor/core/Result.h"
#include "pictor/retrieval/RetrieveImageResult.h"
#include "pictor/retrieval/Source.h"

#include <functional>
#include <memory>
#include <optional>

namespace pictor {

// Loads a source into one image slot through the shared retrieval manager: shows the
// placeholder, gives the load a new request identifier stored on the object (so the latest load
// wins), wires progress and progressive images to that identifier, and applies the result on the
// GUI thread only while the object still waits for it. Every load completes exactly once: with
// its result, emptySource at once for no source, or notCurrentSourceTask when a newer load (or
// the object's destruction) overtook it. Called on the GUI thread.
class ImageSetting {
public:
    using SettingResult = Result<RetrieveImageResult, PictorError>;
    using Completion = std::function<void(SettingResult)>;
    using ProgressBlock = std::function<void(qint64 received, qint64 expected)>;

    // Returns the download of the load; null when none was started (a cache hit, no source).
    static std::shared_ptr<DownloadTask> setImage(const std::shared_ptr<ImageSettable>& target, const std::optional<Source>& source,
                                                  const std::shared_ptr<Placeholder>& placeholder, PictorParsedOptionsInfo options,
                                                  ProgressBlock progress = {}, Completion completion = {});
    // Cancels the slot's running download; its load then completes with the cancellation.
    static void cancelDownloadTask(QObject* object, const ImageTaskSlot& slot = ImageTaskSlot::named(QStringLiteral("image")));
    static std::optional<quint64> taskIdentifier(QObject* object, const ImageTaskSlot& slot = ImageTaskSlot::named(QStringLiteral("image")));
    static std::shared_ptr<DownloadTask> imageTask(QObject* object, const ImageTaskSlot& slot = ImageTaskSlot::named(QStringLiteral("image")));

private:
    static void complete(const std::shared_ptr<ImageSettable>& target, quint64 identifier, const Source& source,
                         const PictorParsedOptionsInfo& options, const std::shared_ptr<Indicator>& indicator,
                         SettingResult result, const Completion& completion);
};

} // namespace pictor
