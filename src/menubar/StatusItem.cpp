#include "menubar/StatusItem.h"

#include "foundation/ApplicationId.h"
#include "foundation/Log.h"
#include "menubar/MenuSymbols.h"
#include "menubar/NamedIconEngine.h"
#include "platform/ApplicationBundle.h"
#include "ui/Symbols.h"

#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {
const QColor kLightPicture(0xE8, 0xE8, 0xE8);
const QColor kDarkPicture(0x1E, 0x1E, 0x1E);

// Drawn at its size, not scaled from another: a small panel's picture stays sharp.
QImage loadPicture(const QString& path, const QColor& color, int size)
{
    if (path.endsWith(QLatin1String(".svg")))
        return Symbols::tinted(path, color, size, 1.0);
    QImageReader reader(path);
    reader.setScaledSize(QSize(size, size));
    return reader.read();
}
} // namespace

StatusItem::StatusItem(QMenu* popupMenu, QMenu* contextMenu, QObject* parent)
    : QObject(parent), popupMenu_(popupMenu), trayIcon_(new QSystemTrayIcon(picture(kLightPicture), this)),
      pictureColor_(kLightPicture)
{
    trayIcon_->setToolTip(ApplicationId::displayName());
    trayIcon_->setContextMenu(contextMenu);
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            openPopupMenu();
    });
    if (!isTrayAvailable())
        logLine(QStringLiteral("ℹ️"), QStringLiteral("MenuBarManager"),
            QStringLiteral("No system tray available - the menu opens from the main window only"));
    trayIcon_->show();
    // Most panels are dark; the picture turns dark once the tray shows a light one. Only an X11
    // tray embeds the item where its panel can be seen; elsewhere the desktop's preferred scheme
    // stands for the panel's colour.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        auto* scheme = new DesktopColorScheme(this);
        connect(scheme, &DesktopColorScheme::preferenceChanged, this, [this, scheme] { followColorScheme(*scheme); });
        return;
    }
    auto* panelCheck = new QTimer(this);
    panelCheck->setInterval(kPanelCheckMs);
    connect(panelCheck, &QTimer::timeout, this, &StatusItem::followPanel);
    panelCheck->start();
    QTimer::singleShot(0, this, &StatusItem::followPanel);
}

QColor StatusItem::pictureColorOn(const QColor& panel)
{
    return panel.lightnessF() > 0.5 ? kDarkPicture : kLightPicture;
}

std::optional<QColor> StatusItem::panelColor() const
{
    const QRect item = trayIcon_->geometry();
    QScreen* screen = item.isEmpty() ? nullptr : QGuiApplication::screenAt(item.center());
    if (!screen)
        return std::nullopt;
    // The picture is smaller than the tray's slot: the slot's corners show the panel.
    const QRect local = item.translated(-screen->geometry().topLeft());
    const QImage shown = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage();
    if (shown.width() < 2 || shown.height() < 2)
        return std::nullopt;
    const QList<QPoint> corners{{0, 0}, {shown.width() - 1, 0}, {0, shown.height() - 1}, {shown.width() - 1, shown.height() - 1}};
    double red = 0, green = 0, blue = 0;
    for (const QPoint& corner : corners) {
        const QColor color = shown.pixelColor(corner);
        red += color.redF();
        green += color.greenF();
        blue += color.blueF();
    }
    const double count = double(corners.size());
    return QColor::fromRgbF(float(red / count), float(green / count), float(blue / count));
}

QColor StatusItem::pictureColorFor(DesktopColorScheme::Preference preference)
{
    return preference == DesktopColorScheme::Preference::light ? kDarkPicture : kLightPicture;
}

void StatusItem::followPanel()
{
    if (const std::optional<QColor> panel = panelColor())
        showPictureIn(pictureColorOn(*panel));
}

void StatusItem::followColorScheme(const DesktopColorScheme& scheme)
{
    // A preference withdrawn leaves the picture as it is.
    if (const std::optional<DesktopColorScheme::Preference> preference = scheme.preference())
        showPictureIn(pictureColorFor(*preference));
}

void StatusItem::showPictureIn(const QColor& color)
{
    if (color == pictureColor_)
        return;
    pictureColor_ = color;
    trayIcon_->setIcon(picture(color));
}

StatusItem::~StatusItem() = default;

bool StatusItem::isTrayAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

QStringList StatusItem::pictureCandidates()
{
    const QString shared = ApplicationBundle::running().dataFolder() + u'/';
    return {QStringLiteral(":/menubar/logo-menu.svg"), shared + QStringLiteral("logo-min.png"),
        shared + QStringLiteral("Resources/logo-min.png")};
}

QString StatusItem::themeIconName() { return QIcon::hasThemeIcon(ApplicationId::id()) ? ApplicationId::id() : QString(); }

QIcon StatusItem::picture(const QColor& color)
{
    QIcon pictures;
    for (const QString& candidate : pictureCandidates()) {
        if (!QFileInfo::exists(candidate))
            continue;
        for (const int size : kPictureSizes) {
            const QImage image = loadPicture(candidate, color, size);
            if (!image.isNull())
                pictures.addPixmap(QPixmap::fromImage(image));
        }
        if (!pictures.isNull())
            break;
    }
    if (pictures.isNull()) {
        logLine(QStringLiteral("Warning: logo-min.png not found, using fallback icon"));
        for (const int size : kPictureSizes)
            pictures.addPixmap(QPixmap::fromImage(MenuSymbols::image(QStringLiteral("play.circle.fill"), color, size, 1.0)));
    }
    return QIcon(new NamedIconEngine(themeIconName(), pictures));
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
