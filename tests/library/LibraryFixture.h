#pragma once

#include "backend/APIService.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "model/WallpaperModel.h"
#include "support/TempFolder.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <memory>

// A fresh standard defaults file in a temporary folder, reopened from disk as after a restart,
// and the records the library tests store.
class LibraryFixture : public ::testing::Test {
protected:
    UserDefaults& defaults() { return *defaults_; }
    // A new store on the same file, once the old one has written all it holds; the test then
    // builds a new service on it.
    void reopenDefaults()
    {
        defaults_.reset();
        defaults_ = std::make_unique<UserDefaults>();
    }

    static WallpaperModel wallpaper(std::optional<qint64> key, const QString& title = QStringLiteral("Lagoon"))
    {
        WallpaperModel model;
        model.id = QUuid::createUuid();
        model.key = key;
        model.title = title;
        model.category = QStringLiteral("Nature");
        model.createdAt = QStringLiteral("2025-06-08");
        return model;
    }

    // A backend client in memory only, for the like counter.
    static APIService::Settings backendAt(const QString& url)
    {
        APIService::Settings settings;
        settings.baseURL = url;
        return settings;
    }

    // The stored array under `key`, as JSON values.
    QJsonArray storedArray(const QString& key) { return JsonReader::parse(defaults().data(key)).as<QJsonArray>(); }
    void store(const QString& key, const QJsonArray& array) { defaults().setData(key, JsonWriter::toBytes(array)); }

    static QStringList titles(const QList<WallpaperModel>& wallpapers)
    {
        QStringList list;
        for (const WallpaperModel& model : wallpapers)
            list.append(model.title);
        return list;
    }

    TempFolder temp_;
    std::unique_ptr<UserDefaults> defaults_ = std::make_unique<UserDefaults>();
    LogCapture log_;
};
