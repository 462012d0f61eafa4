#pragma once

#include "pictor/networking/TrustConfiguration.h"

#include <memory>

class QObject;

namespace pictor {

class SessionManager;

// The network managers every downloader's transfers run on: one per trust configuration (each
// with a network per host), so that Qt's pool of open connections, which is the network's, never
// lets a connection accepted under one trust serve a downloader with another. A manager lives while a downloader of its trust or a
// transfer started under it holds it, and is let go (with its idle connections) after the last.
// All run on one thread; their networks are deleted, their threads with them, when the
// application object goes.
class SessionManagers {
public:
    // The object whose thread runs every transfer: the GUI thread, whose loop always runs, even
    // when first asked from a pool thread or a thread that never runs an event loop.
    static QObject* home();
    // The trust's manager, made when none is held. Call on home()'s thread.
    static std::shared_ptr<SessionManager> managerFor(const TrustConfiguration& trust);
};

} // namespace pictor
