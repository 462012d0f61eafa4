#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <utility>

// What came back from one HTTP exchange: any reply that carried a status, whatever the status.
// Transfer failures never become a response; they are thrown as HttpError.
struct HttpResponse {
    int status = 0;
    QList<std::pair<QByteArray, QByteArray>> headers; // in the order the server sent them
    QByteArray body;
    QUrl url; // the final address, after any redirect that was followed

    bool isSuccess() const { return status >= 200 && status <= 299; }

    // The first value of a header, names compared without case; empty when absent.
    QByteArray header(QByteArrayView name) const
    {
        for (const auto& [key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};
