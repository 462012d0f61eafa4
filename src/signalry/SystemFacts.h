#pragma once

#include <QString>

namespace signalry {

// What the default payload says about the machine, the system and the application: read once
// on first use and kept for the life of the process.
struct SystemFacts {
    QString systemName;        // /etc/os-release NAME, else "Linux"
    QString majorVersion;      // VERSION_ID parts, "0" where missing
    QString minorVersion;
    QString patchVersion;
    QString modelName;         // DMI product name, else the machine field of uname
    QString architecture;      // the running processor's architecture
    QString localeIdentifier;  // "en_US"
    QString region;            // "US"
    QString appLanguage;       // "en"
    QString preferredLanguage; // first UI language, cut at "-" or "_"
    QString appVersion;        // QCoreApplication::applicationVersion(), else "0"
    QString buildNumber;       // the application object's "buildNumber" property, else "0"

    static const SystemFacts& current();
    static SystemFacts read();

    // The fields of an os-release file (NAME, VERSION_ID); quotes removed.
    struct OsRelease {
        QString name;
        QString versionId;
    };
    static OsRelease parseOsRelease(const QByteArray& content);
    // The first of the given languages cut at "-" or "_", or "zz" without any.
    static QString preferredLanguageOf(const QStringList& uiLanguages);
};

} // namespace signalry
