#pragma once

#include <QString>

class UserDefaults;

// The identifier of this installation that every upload call sends as "device_uuid": a UUID
// made on first use and kept under "uploadDeviceUUID" in the defaults store, so the backend
// finds this machine's uploads again after a restart.
class UploadDeviceIdentifier {
public:
    static inline const QString kKey = QStringLiteral("uploadDeviceUUID");

    static QString value(UserDefaults& defaults);
    // The standard defaults store's.
    static QString value();
};
