#include "UpdateFeedEndpoints.h"

#include "Router.h"

#include <QFile>
#include <QFileInfo>

namespace samplecatalogue {

namespace {
const char* const kDefaultFeed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="https://127.0.0.1/xml-namespaces/updates">
  <channel>
    <title>Quorvelle</title>
    <item>
      <title>Version 0.0.0</title>
      <sparkle:shortVersionString>0.0.0</sparkle:shortVersionString>
      <enclosure url="{base_url}/updates/Quorvelle.zip" sparkle:version="0" sparkle:shortVersionString="0.0.0" type="application/octet-stream"/>
    </item>
  </channel>
</rss>
)";
} // namespace

void UpdateFeedEndpoints::install(Router& router, const QString& updatesFolder, const QString& baseUrl)
{
    router.open(HttpMethod::Get, QStringLiteral("/appcast\\.xml"), [updatesFolder, baseUrl](const CatalogueRequest&) {
        QFile file(updatesFolder + QStringLiteral("/appcast.xml"));
        QByteArray feed = kDefaultFeed;
        if (!updatesFolder.isEmpty() && file.exists()) {
            if (!file.open(QIODevice::ReadOnly))
                return CatalogueReply::error(500, QStringLiteral("The feed cannot be read"));
            feed = file.readAll();
        }
        return CatalogueReply{200, "application/xml", feed.replace("{base_url}", baseUrl.toUtf8()), {}};
    });
    // Plain file names only: nothing outside the folder is ever served.
    router.open(HttpMethod::Get, QStringLiteral(R"(/updates/([A-Za-z0-9_][A-Za-z0-9._-]*))"), [updatesFolder](const CatalogueRequest& request) {
        const QString path = updatesFolder + u'/' + request.captures.value(0);
        if (updatesFolder.isEmpty() || !QFileInfo(path).isFile())
            return CatalogueReply::error(404, QStringLiteral("No such update"));
        return CatalogueReply::fromFile(path, "application/octet-stream");
    });
}

} // namespace samplecatalogue
