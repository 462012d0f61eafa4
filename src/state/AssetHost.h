#pragma once

#include <QString>

#include <optional>

// The host of the wallpaper files, as the platform statistics name it: a bare host name (or
// IPv4 address, or bracketed IPv6 address) with an optional port, without scheme, user, path
// or query. Asset URLs are built as "https://" + host + "/wallpaper/<key>/<file>", so anything
// else would point them somewhere unintended.
class AssetHost {
public:
    // The text unchanged when it is such a host, else nothing.
    static std::optional<QString> validated(const QString& text);

    // The host used while the platform statistics have named none: the backend's own host and
    // port from the deployment configuration.
    static QString fallback();
};
