#pragma once

#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "foundation/Paths.h"
#include "platform/Http.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <type_traits>

// Runs a task to its end, rethrowing what it threw; for tasks with or without a value.
template <typename T>
void runTask(QCoro::Task<T> task)
{
    if constexpr (std::is_void_v<T>) {
        waitForTask([](QCoro::Task<> inner) -> QCoro::Task<bool> {
            co_await std::move(inner);
            co_return true;
        }(std::move(task)));
    } else {
        waitForTask(std::move(task));
    }
}

// The error a task throws; the test fails when it throws none or another type.
template <typename Error, typename T>
std::optional<Error> failureOf(QCoro::Task<T> task)
{
    try {
        runTask(std::move(task));
    } catch (const Error& error) {
        return error;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "the task threw another error: " << other.what();
        return std::nullopt;
    }
    ADD_FAILURE() << "the task did not fail";
    return std::nullopt;
}

// A sample catalogue shared by the tests of a suite (reset before each test: stopping it waits for
// the client's idle connection), every user folder in a temporary folder, and a fresh client of
// the catalogue whose response cache file lives there, on a clock the test moves.
class CatalogueClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { catalogue() = std::make_unique<SampleCatalogueFixture>(); }
    static void TearDownTestSuite() { catalogue().reset(); }

    CatalogueClientTest() : catalogue_(*catalogue())
    {
        server().clearFaults();
        server().clearReplyShapes();
        server().clearRequests();
        api_ = client();
    }

    APIService::Settings settings() const
    {
        APIService::Settings settings;
        settings.baseURL = catalogue_.config().backendBaseUrl.toString();
        settings.bearerKey = catalogue_.config().backendKey;
        settings.cacheFilePath = cacheFile();
        return settings;
    }
    std::unique_ptr<APIService> client() { return client(settings()); }
    // A client with nothing cached: its response cache lives in memory only.
    std::unique_ptr<APIService> freshClient()
    {
        APIService::Settings memoryOnly = settings();
        memoryOnly.cacheFilePath.clear();
        return client(memoryOnly);
    }
    std::unique_ptr<APIService> client(const APIService::Settings& settings)
    {
        return std::make_unique<APIService>(settings, clock_, Http::shared());
    }

    static QString cacheFile() { return Paths::appCaches() + QStringLiteral("/api_cache.json"); }
    static QString path(const QString& endpoint) { return QStringLiteral("/functions/v1/") + endpoint; }
    QString address(const QString& endpoint) const { return catalogue_.config().backendBaseUrl.toString() + QLatin1Char('/') + endpoint; }

    samplecatalogue::SampleCatalogue& server() { return catalogue_.server(); }
    int requests(const QString& endpoint) { return catalogue_.server().requestCount(path(endpoint)); }
    samplecatalogue::CatalogueRequest lastRequest(const QString& endpoint)
    {
        return catalogue_.server().lastRequest(path(endpoint)).value_or(samplecatalogue::CatalogueRequest());
    }
    void setFault(const QString& endpoint, samplecatalogue::Fault fault) { server().setFault(path(endpoint), fault); }
    void setShape(const QString& endpoint, const QString& shape) { server().setReplyShape(path(endpoint), shape); }

    static std::unique_ptr<SampleCatalogueFixture>& catalogue()
    {
        static std::unique_ptr<SampleCatalogueFixture> shared;
        return shared;
    }

    TempFolder temp_;
    SampleCatalogueFixture& catalogue_;
    ManualClock clock_;
    std::unique_ptr<APIService> api_;
};
