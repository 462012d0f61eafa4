#pragma once

#include "backend/APIService.h"
#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "model/WallpaperModel.h"
#include "support/TempFolder.h"

#include <QJsonArray>
#include <QSet>

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

    // The stored rows of the list `key` in order, as JSON values.
    QJsonArray storedArray(const QString& key) { return JsonReader::parse(defaults().storedArray(key).text).as<QJsonArray>(); }
    // Stores the records as the rows of the list `key` in place of its rows, each under its member
    // `idField`; one without it, or repeating an earlier one's, under a row key of its own.
    void store(const QString& key, const QJsonArray& array, const QString& idField = QStringLiteral("key"))
    {
        SettingsChange::ListChange rows;
        QSet<QString> keys;
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QJsonValue id = array.at(i).toObject().value(idField);
            QString rowKey = id.isString() ? id.toString() : QString::number(id.toInteger());
            if (id.isUndefined() || keys.contains(rowKey))
                rowKey = QStringLiteral("row-%1").arg(i);
            keys.insert(rowKey);
            rows.put.append({rowKey, i * kRowGap, JsonWriter::toBytes(array.at(i))});
        }
        for (const StoredRow& row : defaults().rows(key))
            if (!keys.contains(row.key))
                rows.removed.append(row.key);
        ASSERT_TRUE(defaults().changeRows(key, rows));
    }
    // Stores the records as earlier versions did: one data value under the key.
    void storeEarlier(const QString& key, const QJsonArray& array) { defaults().setData(key, JsonWriter::toBytes(array)); }

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
