#pragma once

#include <QString>

namespace signalry {

// The two folders the client keeps files in: the user's Caches folder ($XDG_CACHE_HOME, else
// ~/.cache) for the signal cache, and the configuration folder ($XDG_CONFIG_HOME, else
// ~/.config) followed by the application's name for the analytics defaults suite.
// A test moves both under a temporary folder with StorageLocations::Override.
class StorageLocations {
public:
    static QString caches();
    static QString defaultsFolder();

    // While alive: caches → root/caches, defaults → root/config.
    class Override {
    public:
        explicit Override(const QString& root);
        ~Override();
        Override(const Override&) = delete;
        Override& operator=(const Override&) = delete;

    private:
        QString previous_;
    };
};

} // namespace signalry
