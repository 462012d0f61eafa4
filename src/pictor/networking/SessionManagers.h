#pragma once

#include "pictor/networking/TrustConfiguration.h"

class QNetworkAccessManager;
class QObject;

namespace pictor {

// The network managers every downloader's transfers run on: one per trust configuration, so that
// Qt's pool of open connections, which is the manager's, never lets a connection accepted under
// one trust serve a downloader with another. All live on one thread for the life of the process:
// Qt's network thread winds up a manager's connections only after it is deleted, and a connection
// still busy then is left behind, unreachable, at exit; a manager that stays keeps them in reach.
class SessionManagers {
public:
    // The object whose thread runs every transfer: the GUI thread, whose loop always runs, even
    // when first asked from a pool thread or a thread that never runs an event loop.
    static QObject* home();
    // Made on first use. Call on home()'s thread.
    static QNetworkAccessManager* managerFor(const TrustConfiguration& trust);
};

} // namespace pictor
