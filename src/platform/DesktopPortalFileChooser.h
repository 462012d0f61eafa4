#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QDBusMessage;

// The desktop's own file chooser, reached through the desktop portal's FileChooser interface on
// the session bus: it follows the user's theme. Present only where a portal runs or can be
// started; a caller without one (or whose call fails, or that the portal ends other than by the
// user's cancel) shows a dialog of its own. GUI thread; one shared instance.
class DesktopPortalFileChooser : public QObject {
    Q_OBJECT

public:
    static inline const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
    static inline const QString kInterface = QStringLiteral("org.freedesktop.portal.FileChooser");
    static inline const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

    enum class Outcome { Picked, Cancelled, Failed };
    // A named set of glob patterns ("*.mp4").
    struct Filter {
        QString name;
        QStringList patterns;
    };
    // Runs once per request: the picked file's local path with Picked, an empty one otherwise.
    using Done = std::function<void(Outcome outcome, const QString& path)>;

    // The user's session bus.
    explicit DesktopPortalFileChooser(QObject* parent = nullptr);
    explicit DesktopPortalFileChooser(QDBusConnection bus, QObject* parent = nullptr);

    static DesktopPortalFileChooser& shared();

    // A portal runs on the bus now, or the bus starts one when asked.
    bool isAvailable() const;
    // Asks for one existing file, offering only `filter`. `parentWindow` is the X11 id of the
    // window the chooser belongs to (0 for none).
    void openFile(quintptr parentWindow, const QString& title, const Filter& filter, Done done);

private Q_SLOTS:
    void handleResponse(uint response, const QVariantMap& results, const QDBusMessage& message);

private:
    void listen(const QString& handle);
    void finish(const QString& handle, Outcome outcome, const QString& path = {});

    QDBusConnection bus_;
    quint64 requests_ = 0;
    // The callers waiting for an answer, by the request object the portal answers on.
    QHash<QString, Done> pending_;
};
