#pragma once

#include "backend/APIService.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TempFolder.h"

#include <QJsonObject>

#include <functional>
#include <memory>

// The user folders in a temporary folder, a sample catalogue (from the stock seed, or from a
// copy a test edits) and a backend client pointed at it with its response cache in memory.
class CatalogueSession {
public:
    using SeedEdit = std::function<void(QJsonObject& seed)>;

    explicit CatalogueSession(const SeedEdit& editSeed = {});

    bool isRunning() const { return fixture_->isRunning(); }
    samplecatalogue::SampleCatalogue& server() { return fixture_->server(); }
    APIService& api() { return *api_; }
    const TempFolder& folder() const { return folder_; }

    // The server's path of a backend endpoint ("platform-stats" -> "/functions/v1/platform-stats").
    static QString path(const QString& endpoint);
    int requests(const QString& endpoint) const { return fixture_->server().requestCount(path(endpoint)); }
    // The query value `name` of the endpoint's last request.
    QString lastQuery(const QString& endpoint, const QString& name) const;

private:
    TempFolder folder_;
    std::unique_ptr<SampleCatalogueFixture> fixture_;
    std::unique_ptr<APIService> api_;
};
