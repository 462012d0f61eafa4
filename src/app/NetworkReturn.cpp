#include "app/NetworkReturn.h"

#include <QNetworkInformation>

NetworkReturn::NetworkReturn(bool watchSystem, QObject* parent) : QObject(parent)
{
    if (!watchSystem || !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
        [this](QNetworkInformation::Reachability reachability) {
            if (reachability == QNetworkInformation::Reachability::Online)
                Q_EMIT cameBack();
        });
}
