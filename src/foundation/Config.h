#pragma once

#include <QString>
#include <QUrl>

// The deployment values: compiled-in defaults that point at the sample catalogue on 127.0.0.1,
// each overridden by a QUORVELLE_* environment variable. There is no configuration file.
struct Config {
    // Reads the environment once; tests build their own value and install it with
    // Shared<Config>::Override.
    Config();

    static const Config& current();

    QUrl backendBaseUrl;        // QUORVELLE_BACKEND_URL    ("https://host/functions/v1")
    QString backendKey;         // QUORVELLE_BACKEND_KEY    (bearer key of every backend call)
    QUrl analyticsUrl;          // QUORVELLE_ANALYTICS_URL  (ingest base address)
    QString analyticsAppId;     // QUORVELLE_ANALYTICS_APP_ID
    QUrl updateFeedUrl;         // QUORVELLE_UPDATE_FEED_URL
    QString caCertificateFile;  // QUORVELLE_CA_CERT        (extra CA trusted beside the system's)

    static constexpr int kDefaultPort = 48443;
};
