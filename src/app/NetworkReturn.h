#pragma once

#include <QObject>

// Tells when the network comes back, as the system reports its reachability
// (QNetworkInformation); silent where no reachability backend is present. GUI thread.
class NetworkReturn : public QObject {
    Q_OBJECT
public:
    // `watchSystem` false: only what is emitted by hand (tests) is heard.
    explicit NetworkReturn(bool watchSystem = true, QObject* parent = nullptr);

Q_SIGNALS:
    // The network is reachable again after it was not.
    void cameBack();
};
