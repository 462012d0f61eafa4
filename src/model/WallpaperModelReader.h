#pragma once

#include "model/WallpaperModel.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <optional>

// Reads stored wallpaper records straight from their compact JSON text, as this program writes
// them: no parsed document, no QUrl made and taken apart for an address that is already in its
// encoded form, and one copy of each display text that repeats (a category, a size, a length)
// shared by the records. A long list is read in a fraction of the time and memory. It takes only
// what it reads exactly as WallpaperModel::fromJson does; anything else (an escape, a null, an
// unknown or repeated key, a number with a fraction, a missing field, ...) gives nothing, and the
// record is left to the full decoder, which gives the same record or the same error. One reader
// per thread.
class WallpaperModelReader {
public:
    std::optional<WallpaperModel> read(QByteArrayView text);

private:
    // A display text, shared with the records read before that hold the same.
    std::optional<QString> sharedText(QByteArrayView raw);

    QHash<QByteArray, QString> shared_;
};
