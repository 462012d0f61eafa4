#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QSize>
#include <QUrl>

#include <memory>

class UserDefaults;

// Turns an applied wallpaper into the ordinary desktop picture of every display and the
// login-window picture: the frame at 2 s of the local video, written as a JPEG into
// "StaticWallpaper" of the temporary folder, handed to the desktop for each screen, and its path
// stored in the login window's own defaults domain. The desktop picture already falls back on
// its own (the desktop's tool, else a record per display), so a refusal here is final and goes
// to the caller. Lives on the GUI thread; decoding and encoding run on workers. Throws
// StaticWallpaperError (or the file system's FileError) to its callers, which log; writes no log
// lines itself.
class StaticWallpaperService : public QObject {
    Q_OBJECT

public:
    // The defaults domain of the login-window picture's stand-in ("login-window-picture.sqlite3").
    static inline const QString kLoginWindowDomain = QStringLiteral("login-window-picture");
    // The name earlier versions gave that domain, the first platform's own; what it holds is
    // brought over once.
    static inline const QString kFormerLoginWindowDomain = QStringLiteral("com.apple.loginwindow");
    static inline const QString kLoginWindowPictureKey = QStringLiteral("DesktopPicture");
    static constexpr double kFrameSeconds = 2.0;
    static constexpr QSize kLargestPicture{3840, 2160};
    static constexpr int kJpegQuality = 90;

    // The login-window domain on disk, with what its former name held brought over.
    explicit StaticWallpaperService(QObject* parent = nullptr);
    explicit StaticWallpaperService(UserDefaults& loginWindowDefaults, QObject* parent = nullptr);
    ~StaticWallpaperService() override;

    static StaticWallpaperService& shared();

    // Where the login-window picture is recorded (its failed writes are told to the user).
    UserDefaults& loginWindowDefaults() const { return loginWindow_; }

    static QString folderPath();
    // "<video name without extension>_static.jpg".
    static QString imageFileName(const QString& videoPath);

    // The frame becomes every screen's picture and the login-window picture; a display's refusal
    // is thrown (StaticWallpaperError wallpaperSettingFailed, with the desktop's reason).
    QCoro::Task<> setStaticWallpaper(QUrl videoUrl);

    // Writes the frame at 2 s (the last frame of a shorter video), upright and fitted within
    // 3840×2160, as a JPEG, replacing an earlier file of the same name whole; returns its URL.
    QCoro::Task<QUrl> extractFrameImage(QUrl videoUrl);
    // Every screen in order, stopping at the first refusal; then the login-window picture.
    QCoro::Task<> setDesktopPicture(QUrl imageUrl);

private:
    std::unique_ptr<UserDefaults> ownDefaults_;
    UserDefaults& loginWindow_;
};
