#pragma once

#include <QUrl>

// A newer version found in the update feed: where its file is downloaded from.
struct UpdateInfo {
    QUrl downloadURL;

    bool operator==(const UpdateInfo&) const = default;
};
