#include "menubar/StatusItem.h"

#include "foundation/Log.h"
#include "menubar/MenuSymbols.h"
#include "ui/Symbols.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>

namespace {
// Trays draw on dark panels; a light picture reads on all of them.
const QColor kPictureColor(0xE8, 0xE8, 0xE8);

QImage loadPicture(const QString& path, qreal ratio)
{
    if (path.endsWith(QLatin1String(".svg")))
        return Symbols::tinted(path, kPictureColor, StatusItem::kPictureSize, ratio);
    QImageReader reader(path);
    QImage picture = reader.read();
    if (picture.isNull())
        return {};
    const int pixels = qRound(StatusItem::kPictureSize * ratio);
    picture = picture.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(ratio);
    return picture;
}
} // namespace

StatusItem::StatusItem(QMenu* popupMenu, QMenu* contextMenu, QObject* parent)
    : QObject(parent), popupMenu_(popupMenu), trayIcon_(new QSystemTrayIcon(picture(), this))
{
    trayIcon_->setToolTip(QCoreApplication::applicationName());
    trayIcon_->setContextMenu(contextMenu);
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            openPopupMenu();
    });
    if (!isTrayAvailable())
        logLine(QStringLiteral("ℹ️"), QStringLiteral("MenuBarManager"),
            QStringLiteral("No system tray available - the menu opens from the main window only"));
    trayIcon_->show();
}

StatusItem::~StatusItem() = default;

bool StatusItem::isTrayAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

QStringList StatusItem::pictureCandidates()
{
    const QString shared = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quorvelle/");
    return {QStringLiteral(":/menubar/logo-menu.svg"), shared + QStringLiteral("logo-min.png"),
        shared + QStringLiteral("Resources/logo-min.png")};
}

QIcon StatusItem::picture()
{
    QIcon icon;
    for (const QString& candidate : pictureCandidates()) {
        if (!QFileInfo::exists(candidate))
            continue;
        for (const qreal ratio : {1.0, 2.0}) {
            const QImage image = loadPicture(candidate, ratio);
            if (!image.isNull())
                icon.addPixmap(QPixmap::fromImage(image));
        }
        if (!icon.isNull())
            return icon;
    }
    logLine(QStringLiteral("Warning: logo-min.png not found, using fallback icon"));
    for (const qreal ratio : {1.0, 2.0})
        icon.addPixmap(QPixmap::fromImage(MenuSymbols::image(QStringLiteral("play.circle.fill"), kPictureColor, kPictureSize, ratio)));
    return icon;
}

void StatusItem::openPopupMenu()
{
    if (!popupMenu_)
        return;
    const QRect item = trayIcon_->geometry();
    if (item.isEmpty()) {
        popupMenu_->popup(QCursor::pos());
        return;
    }
    // Below the item on a top panel, above it on a bottom one.
    const QScreen* screen = QGuiApplication::screenAt(item.center());
    const bool bottomPanel = screen && item.center().y() > screen->geometry().center().y();
    const QSize menu = popupMenu_->sizeHint();
    popupMenu_->popup(bottomPanel ? QPoint(item.left(), item.top() - menu.height()) : item.bottomLeft());
}
