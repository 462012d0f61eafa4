#pragma once

#include "model/WallpaperModel.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <optional>

class APIService;
class Http;
class MediaTools;

// Looks a partner-site wallpaper up at the backend and turns it into a record. A record that
// lacks its resolution or duration has them measured from the head of its remote video (only the
// first few megabytes are fetched, into a temporary file that goes again); what cannot be
// measured stays absent. GUI thread; the probe runs on a worker.
class PartnerSiteLoader {
public:
    // The resolution and duration texts measured from a video; none for what is not known.
    struct Facts {
        std::optional<QString> resolution;
        std::optional<QString> duration;
    };

    PartnerSiteLoader(APIService& api, Http& http, const MediaTools& media);

    // Throws the backend client's errors, or MessageError for an unusable partner number.
    QCoro::Task<WallpaperModel> load(QString id);
    // Never throws.
    QCoro::Task<Facts> probeVideoMetadata(QUrl video);

    static constexpr qint64 kProbeBytes = qint64(4) << 20;

private:
    APIService& api_;
    Http& http_;
    const MediaTools& media_;
};
