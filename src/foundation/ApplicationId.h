#pragma once

#include <QString>

// Who this program is to the desktop: the reverse-DNS id that names its installed launcher
// entry, icon and metadata, and the desktop file name its windows announce so that docks and
// compositors match them with that entry. Set once, in the build (QUORVELLE_APP_ID).
class ApplicationId {
public:
    static QString id();
    // The id with ".desktop": the launcher entry's file name.
    static QString desktopFileName();
    // The name users read wherever the program names itself (the launcher entry's Name, the
    // settings page, the tray), whatever the executable is called.
    static QString displayName();
};
