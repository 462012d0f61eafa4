#include "support/CatalogueSession.h"

#include "foundation/Clock.h"
#include "platform/Http.h"

#include <QFile>
#include <QJsonDocument>

#include <gtest/gtest.h>

CatalogueSession::CatalogueSession(const SeedEdit& editSeed)
{
    auto options = SampleCatalogueFixture::testOptions();
    if (editSeed) {
        QFile stock(options.seedFile);
        EXPECT_TRUE(stock.open(QIODevice::ReadOnly));
        QJsonObject seed = QJsonDocument::fromJson(stock.readAll()).object();
        editSeed(seed);
        options.seedFile = folder_.file(QStringLiteral("seed.json"));
        QFile edited(options.seedFile);
        EXPECT_TRUE(edited.open(QIODevice::WriteOnly));
        edited.write(QJsonDocument(seed).toJson());
    }
    fixture_ = std::make_unique<SampleCatalogueFixture>(options);
    APIService::Settings settings;
    settings.baseURL = fixture_->config().backendBaseUrl.toString();
    settings.bearerKey = fixture_->config().backendKey;
    api_ = std::make_unique<APIService>(settings, Clock::system(), Http::shared());
}

QString CatalogueSession::path(const QString& endpoint) { return QStringLiteral("/functions/v1/") + endpoint; }

QString CatalogueSession::lastQuery(const QString& endpoint, const QString& name) const
{
    const auto request = fixture_->server().lastRequest(path(endpoint));
    return request ? request->queryValue(name).value_or(QString()) : QString();
}
