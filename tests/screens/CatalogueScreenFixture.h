#pragma once

#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "platform/Http.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>

// A screen on the sample catalogue: user folders in a temporary folder, the backend client and
// the application state installed as the shared ones, and the log captured. A test of a silent
// catalogue passes a short time-out, so that it fails quickly.
class CatalogueScreenFixture : public ::testing::Test {
protected:
    static constexpr int kTimeoutMs = 30'000;

    explicit CatalogueScreenFixture(int timeoutMs = kTimeoutMs)
    {
        APIService::Settings settings;
        settings.baseURL = catalogue_.config().backendBaseUrl.toString();
        settings.bearerKey = catalogue_.config().backendKey;
        settings.requestTimeoutMs = timeoutMs;
        settings.resourceTimeoutMs = timeoutMs;
        api_ = std::make_unique<APIService>(settings, Clock::system(), Http::shared());
        apiOverride_ = std::make_unique<Shared<APIService>::Override>(*api_);
        home_ = std::make_unique<HomePageService>(*api_);
        store_ = std::make_unique<AppStore>(*api_, *home_, Delays::real());
        storeOverride_ = std::make_unique<Shared<AppStore>::Override>(*store_);
    }

    // Statistics (the asset host) and categories, as a running application has them.
    void loadStore()
    {
        waitForTask(store_->initializeIfNeeded());
        waitForTask(store_->loadCategoriesIfNeeded());
        ASSERT_TRUE(store_->baseUrl().has_value());
    }

    samplecatalogue::SampleCatalogue& server() { return catalogue_.server(); }
    // Faults of the catalogue: an error status, a late answer, a body that is not JSON.
    static samplecatalogue::Fault failing(int status)
    {
        samplecatalogue::Fault fault;
        fault.status = status;
        return fault;
    }
    static samplecatalogue::Fault delayed(int ms)
    {
        samplecatalogue::Fault fault;
        fault.delayMs = ms;
        return fault;
    }
    static samplecatalogue::Fault garbled()
    {
        samplecatalogue::Fault fault;
        fault.invalidJson = true;
        return fault;
    }
    static QString path(const QString& endpoint) { return QStringLiteral("/functions/v1/") + endpoint; }
    int requests(const QString& endpoint) { return server().requestCount(path(endpoint)); }
    // The "query" text of the endpoint's last request.
    QString lastQuery(const QString& endpoint)
    {
        const auto request = server().lastRequest(path(endpoint));
        return request ? QJsonDocument::fromJson(request->body).object().value(QLatin1String("query")).toString() : QString();
    }
    qsizetype logCount(const QString& fragment) const
    {
        qsizetype count = 0;
        for (const QString& line : log_.lines())
            count += line.contains(fragment) ? 1 : 0;
        return count;
    }

    TempFolder folder_;
    SampleCatalogueFixture catalogue_;
    std::unique_ptr<APIService> api_;
    std::unique_ptr<Shared<APIService>::Override> apiOverride_;
    std::unique_ptr<HomePageService> home_;
    std::unique_ptr<AppStore> store_;
    std::unique_ptr<Shared<AppStore>::Override> storeOverride_;
    LogCapture log_;
};
