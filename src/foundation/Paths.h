#pragma once

#include <QString>

// The one place that knows the roots of the user's folders (XDG on Linux):
// "Caches" = $XDG_CACHE_HOME, "Application Support" = $XDG_DATA_HOME, the configuration root
// ($XDG_CONFIG_HOME) for the user-defaults files, the temporary directory, the user's private
// runtime folder ($XDG_RUNTIME_DIR, else the temporary directory) and home.
// A test points every root into a temporary folder with Paths::Override.
class Paths {
public:
    static QString caches();
    static QString applicationSupport();
    static QString configuration();
    static QString temporary();
    static QString runtime();
    static QString home();

    // "Quorvelle" under Caches, Application Support and the configuration root: the
    // application's own folders (the last is the profile's: its settings and its lock).
    static QString appCaches();
    static QString appSupport();
    static QString appConfiguration();

    // Creates the folder when missing; false (and a log line) when it cannot.
    static bool ensureFolder(const QString& path);
    // Creates the folder and its parents when missing. False, with the reason in `reason` (a
    // file standing where a folder goes, the system's refusal), when it cannot.
    static bool makeFolder(const QString& path, QString* reason = nullptr);
    // As makeFolder, and the folder is its owner's alone: created 0700, or an existing one's
    // rights for group and others taken away (the owner's own, read-only say, stay as they are).
    // For what no other user of the machine should read (settings, library, analytics, own
    // videos). False, with the reason, for a folder that belongs to another user.
    static bool makePrivateFolder(const QString& path, QString* reason = nullptr);
    // Makes a file its owner's alone (0600).
    static bool makePrivateFile(const QString& path);

    // Every root moves under `root` (caches/, support/, config/, tmp/, home/) while alive.
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
