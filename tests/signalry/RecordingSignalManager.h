#pragma once

#include "signalry/SignalManageable.h"

#include <QList>

#include <atomic>

// Stands in for the sender where a test checks what the entry points hand over, not the wire.
class RecordingSignalManager : public signalry::SignalManageable {
public:
    struct Signal {
        QString type;
        signalry::Parameters parameters;
        std::optional<double> floatValue;
        std::optional<QString> customUserID;
    };

    void enqueueSignal(const QString& signalType, const signalry::Parameters& parameters, std::optional<double> floatValue,
                       const std::optional<QString>& customUserID,
                       const std::shared_ptr<signalry::SignalryManagerConfiguration>&) override
    {
        recorded.append({signalType, parameters, floatValue, customUserID});
    }
    void sendNextBatch() override { ++sendRequests; }
    void appWillTerminate() override {}
    QString defaultUserIdentifier() const override { return QStringLiteral("recorded-user"); }

    QList<Signal> recorded;
    std::atomic<int> sendRequests{0};
};
