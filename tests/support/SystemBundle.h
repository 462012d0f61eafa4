#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// OpenSSL's bundle of the system's authorities pointed at another file while it lives.
class SystemBundle {
public:
    explicit SystemBundle(const QString& file) : previous_(qgetenv("SSL_CERT_FILE"))
    {
        qputenv("SSL_CERT_FILE", QFile::encodeName(file));
    }
    ~SystemBundle()
    {
        if (previous_.isNull())
            qunsetenv("SSL_CERT_FILE");
        else
            qputenv("SSL_CERT_FILE", previous_);
    }
    SystemBundle(const SystemBundle&) = delete;
    SystemBundle& operator=(const SystemBundle&) = delete;

private:
    QByteArray previous_;
};
