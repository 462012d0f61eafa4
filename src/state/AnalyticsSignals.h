#pragma once

#include <QHash>
#include <QString>

#include <functional>

// Where screens send their analytics signals. The application installs the analytics client's
// signal operation at start; without one (tests that install none) signals go nowhere.
// GUI thread; one shared instance.
class AnalyticsSignals {
public:
    using Sender = std::function<void(const QString& name, const QHash<QString, QString>& parameters)>;

    explicit AnalyticsSignals(Sender sender = {});

    static AnalyticsSignals& shared();

    void send(const QString& name, const QHash<QString, QString>& parameters = {}) const;

private:
    Sender sender_;
};
