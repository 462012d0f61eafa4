#include "platform/QtScreens.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QTimer>

namespace {
// What compositors send as the maker or model of an output they know nothing about.
bool isPlaceholder(const QString& part)
{
    return part.isEmpty() || part.compare(QLatin1String("Unknown"), Qt::CaseInsensitive) == 0
        || part.compare(QLatin1String("headless"), Qt::CaseInsensitive) == 0;
}
} // namespace

QtScreens::QtScreens(QObject* parent) : Screens(parent), coalesce_(new QTimer(this))
{
    // A zero interval fires once the current burst of window-system events has been handled.
    coalesce_->setSingleShot(true);
    coalesce_->setInterval(0);
    connect(coalesce_, &QTimer::timeout, this, &Screens::parametersChanged);

    if (!qGuiApp)
        return;
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        scheduleChange();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &QtScreens::scheduleChange);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &QtScreens::scheduleChange);
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

void QtScreens::watch(QScreen* screen)
{
    // Unique connections, so a screen announced twice is still watched once.
    connect(screen, &QScreen::geometryChanged, this, &QtScreens::scheduleChange, Qt::UniqueConnection);
    connect(screen, &QScreen::availableGeometryChanged, this, &QtScreens::scheduleChange, Qt::UniqueConnection);
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, &QtScreens::scheduleChange, Qt::UniqueConnection);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, &QtScreens::scheduleChange, Qt::UniqueConnection);
}

void QtScreens::scheduleChange()
{
    if (!coalesce_->isActive())
        coalesce_->start();
}

QList<ScreenInfo> QtScreens::screens() const
{
    QList<ScreenInfo> result;
    if (!qGuiApp)
        return result;
    for (const QScreen* screen : QGuiApplication::screens())
        result << infoFor(screen);
    return withDistinctNames(std::move(result));
}

std::optional<ScreenInfo> QtScreens::mainScreen() const
{
    const QScreen* primary = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    if (!primary)
        return std::nullopt;
    // Taken from the full list, so the name carries the same suffix as there.
    const quint32 id = infoFor(primary).displayId;
    for (const ScreenInfo& info : screens()) {
        if (info.displayId == id)
            return info;
    }
    return std::nullopt;
}

ScreenInfo QtScreens::infoFor(const QScreen* screen)
{
    ScreenInfo info;
    const QString product = productName(screen->manufacturer(), screen->model(), QGuiApplication::platformName());
    // Empty for virtual and headless screens; named by their place later.
    info.localizedName = product;
    info.persistenceName = !product.isEmpty() ? product : !screen->name().isEmpty() ? screen->name() : QStringLiteral("Display");
    info.geometry = screen->geometry();
    info.visibleGeometry = screen->availableGeometry();
    info.devicePixelRatio = screen->devicePixelRatio();
    info.displayId = ScreenInfo::stableDisplayId(screen->name(), screen->manufacturer(), screen->model(), screen->serialNumber());
    return info;
}

QString QtScreens::productName(const QString& manufacturer, const QString& model, QStringView platform)
{
    if (platform == QLatin1String("wayland") && isPlaceholder(manufacturer) && isPlaceholder(model))
        return {};
    return QString(manufacturer + QLatin1Char(' ') + model).trimmed();
}

QList<ScreenInfo> QtScreens::withDistinctNames(QList<ScreenInfo> screens)
{
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (screens[i].localizedName.isEmpty())
            screens[i].localizedName = QStringLiteral("Display %1").arg(i + 1);
    }
    for (QString ScreenInfo::*name : {&ScreenInfo::localizedName, &ScreenInfo::persistenceName}) {
        QHash<QString, int> seen;
        for (ScreenInfo& info : screens) {
            const int count = ++seen[info.*name];
            if (count > 1)
                info.*name += QStringLiteral(" (%1)").arg(count);
        }
    }
    return screens;
}
