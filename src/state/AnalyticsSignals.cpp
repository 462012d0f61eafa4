#include "state/AnalyticsSignals.h"

#include "foundation/Shared.h"

AnalyticsSignals::AnalyticsSignals(Sender sender) : sender_(std::move(sender)) {}

AnalyticsSignals& AnalyticsSignals::shared() { return Shared<AnalyticsSignals>::instance(); }

void AnalyticsSignals::send(const QString& name, const QHash<QString, QString>& parameters) const
{
    if (sender_)
        sender_(name, parameters);
}
