#pragma once

#include <sample-catalogue/SampleCatalogue.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <httplib.h>

// A plain TLS client for the sample catalogue tests: trusts only the test certificate and sends
// the headers a backend call carries unless told otherwise.
class CatalogueClient {
public:
    explicit CatalogueClient(const samplecatalogue::SampleCatalogue& server)
        : client_("127.0.0.1", server.port()), bearerKey_(server.options().bearerKey.toStdString())
    {
        client_.set_ca_cert_path(server.options().certificateFile.toStdString());
        client_.enable_server_certificate_verification(true);
    }

    httplib::Headers backendHeaders() const
    {
        return {{"Authorization", "Bearer " + bearerKey_},
                {"Accept", "application/json"},
                {"Content-Type", "application/json"}};
    }

    httplib::Result backend(const std::string& endpointAndQuery) { return get("/functions/v1/" + endpointAndQuery, backendHeaders()); }
    httplib::Result backendPost(const std::string& endpoint, const std::string& body)
    {
        return client_.Post("/functions/v1/" + endpoint, backendHeaders(), body, "application/json");
    }
    httplib::Result get(const std::string& path, const httplib::Headers& headers = {}) { return client_.Get(path, headers); }
    httplib::Result post(const std::string& path, const std::string& body)
    {
        return client_.Post(path, body, "application/json");
    }

    httplib::SSLClient& raw() { return client_; }

    static QJsonObject json(const httplib::Result& result)
    {
        return result ? QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object() : QJsonObject();
    }

private:
    httplib::SSLClient client_;
    std::string bearerKey_;
};
