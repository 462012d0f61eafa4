#pragma once

#include <QString>

#include <optional>

// The application bundle, the Linux stand-in: a folder named "Quorvelle.app" holding the tree
// `cmake --install` produces (bin/quorvelle and its resources). Bundles are installed into the
// applications folder; opening a bundle runs its program. A value type; running() describes the
// program of this process, and tests build their own.
struct ApplicationBundle {
    static constexpr QLatin1String kName{"Quorvelle.app"};
    // The program inside every bundle, relative to the bundle's folder.
    static constexpr QLatin1String kProgram{"bin/quorvelle"};

    QString path;                        // the bundle's folder
    QString name = QString(kName);       // the bundle's folder name, which an update must keep
    std::optional<QString> shortVersion; // the version shown to users ("1.2.0"), when known
    std::optional<QString> build;        // the build number, when known

    // This process: the folder above the program's bin/ folder, with the compiled-in version.
    static ApplicationBundle running();
    // Where bundles are installed: the "Applications" folder in the user's home.
    static QString defaultApplicationsFolder();
    static QString programPath(const QString& bundlePath);
    // The data the program ships: "share/quorvelle" in the bundle, as in any prefix the program
    // is installed into ("/usr" of the Debian package), and in the build tree.
    QString dataFolder() const { return path + QStringLiteral("/share/quorvelle"); }
};
